#pragma once
#include <mutex>
#include <string>

// A snapshot request: the video thread takes "requested" pictures, numbering
// them from taken + 1, into files named after the template.
struct SnapshotRequest {
  std::string pathTemplate;
  int requested = 0;
  int taken = 0;
};

// The snapshot request of a channel, shared by the user-interface thread, which
// places it, and the video thread, which serves it picture by picture.
class SnapshotRequests {
public:
  // Replaces the request: count pictures into files named after the template.
  void Place(const std::string& pathTemplate, int count);
  // The request as a unit.
  SnapshotRequest State() const;
  // Records one picture taken: requested - 1, taken + 1, unless a new request came meanwhile.
  void Taken(const SnapshotRequest& served);

private:
  mutable std::mutex mutex_;
  SnapshotRequest request_;
};
