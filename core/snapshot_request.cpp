#include "core/snapshot_request.h"

void SnapshotRequests::Place(const std::string& pathTemplate, int count) {
  std::lock_guard lock(mutex_);
  request_.pathTemplate = pathTemplate;
  request_.requested = count;
  request_.taken = 0;
}

SnapshotRequest SnapshotRequests::State() const {
  std::lock_guard lock(mutex_);
  return request_;
}

void SnapshotRequests::Taken(const SnapshotRequest& served) {
  std::lock_guard lock(mutex_);
  if (request_.pathTemplate != served.pathTemplate || request_.taken != served.taken) return; // replaced meanwhile
  --request_.requested;
  ++request_.taken;
}
