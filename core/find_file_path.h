#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_target.h"

// One recording of a card or folder.
struct RecordingEntry {
  int32_t number = -1;   // sequence number from the name; -1 when it has none
  std::string path;      // full path
  int64_t startTime = 0; // seconds since 1970: end time minus the time stamps' span
  int64_t endTime = 0;   // last-write time of the file
  int32_t readOnly = 0;  // 1 when the file is write-protected (or its state unknown)
};

// The recordings of one folder, by sequence number, and the neighbours of a
// recording by number.
class CFindFilePath {
public:
  CFindFilePath() = default;
  virtual ~CFindFilePath();
  CFindFilePath(const CFindFilePath&) = delete;
  CFindFilePath& operator=(const CFindFilePath&) = delete;

  // Lists the folder of path on a thread of its own; posts WM_TS_TELEMETRY to
  // the panel when the listing starts and WM_TS_FILECHANGE when the sorted list
  // is complete. A path without a number lists nothing and posts nothing.
  bool ScanAsync(const std::string& path, platform::MessageTarget* panel);
  // Lists the folder of path on the calling thread; posts nothing.
  void ScanNow(const std::string& path);
  // Lists the player's own saved segments (".nts") beside the recordings
  // (".ts") in later scans. The player's card lists keep to ".ts".
  void ListSavedSegments(bool on) { withSaved_ = on; }
  // Ends a scan in progress early and waits for its thread.
  void StopScan();

  // A copy of the list (complete once WM_TS_FILECHANGE has been posted).
  std::vector<RecordingEntry> Entries() const;
  void Append(const RecordingEntry& entry);
  void Clear();

  // The entry delta places after (before) the one with this path in the list;
  // "" when the path is not listed or the list ends there.
  std::string ListNeighbour(const std::string& path, int delta) const;

  // The number between the last '_' and the last '.' of the path; -1 when
  // there is none or it is not all decimal digits.
  static int FileNumber(const std::string& path);
  // The recording numbered one less (one more) in the same folder, or "".
  static std::string PrevPath(const std::string& path);
  static std::string NextPath(const std::string& path);
  // The file's last-write time as local calendar time read back as Unix time.
  static int64_t LastWriteTime(const std::string& path);
  // The seconds the recording's video time stamps span, the one measure of a
  // recording's duration: the whole seconds of the last one minus those of the
  // first, on the video stream its program tables name (0x1011 when it has
  // none), across a wrap of the 33-bit clock. A recording whose stamps start
  // at 0 gives its last time stamp; one without stamps gives 0.
  static int SpanSeconds(const std::string& path);

private:
  static std::string NeighbourPath(const std::string& path, int delta);
  void ListFolder(const std::string& path, std::vector<RecordingEntry>& out);
  void Scan(platform::MessageTarget* panel);

  mutable std::mutex mutex_;
  std::vector<RecordingEntry> entries_;
  std::string path_;
  std::atomic<bool> running_{false};
  std::thread thread_;
  bool withSaved_ = false;
};
