#pragma once
// Which recordings, and which bytes of each, make up the stretch between two
// marks. Recordings are read in 8192-byte blocks from their start; the data of
// a block belongs to the stretch when the position after it lies past Mark In
// (in the start recording) and before Mark Out (in the end recording). Every
// recording in between belongs whole.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/ts_format.h"
#include "export/mark_point.h"

// A file as the file system knows it (device and inode): two paths name the
// same file when their identities are equal, whatever links or spellings lead there.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// The identity of the file a path leads to (following links); false when it
// cannot be found. *regular tells whether it is a regular file.
bool FileIdOf(const std::string& path, FileId* id, bool* regular = nullptr);

// One recording of the stretch.
struct SegmentFile {
  std::string path;
  int32_t number = -1;
  FileId id;
  int64_t size = 0;  // when the stretch was planned
  int64_t from = 0;  // the bytes [from, to) of the file belong to the stretch
  int64_t to = 0;
};

class SegmentPlan {
public:
  static constexpr int64_t kBlock = 8192;

  enum class Result {
    Ok,
    MarksNotInOrder,        // unset, reversed, or a stretch over recordings without numbers
    MarksInDifferentFolders,
    StartMissing,           // the Mark In recording cannot be found
  };

  // Finds the recordings from Mark In's to Mark Out's: the start recording, then
  // in its folder the recording numbered one higher, and so on up to the end
  // recording. When a number is missing the plan stops before it (incomplete).
  Result Plan(const MarkPoint& in, const MarkPoint& out);

  const std::vector<SegmentFile>& Files() const { return files_; }
  // The plan reaches the end recording.
  bool Complete() const { return complete_; }
  // The number of the first recording that was not found (when incomplete).
  int32_t MissingNumber() const { return missing_; }
  int64_t StartPosition() const { return startPos_; }
  int64_t EndPosition() const { return endPos_; }
  // The bytes of the stretch, over all its recordings.
  int64_t TotalBytes() const;
  // Bytes of the stretch before position pos of file i.
  int64_t BytesBefore(size_t i, int64_t pos) const;

  bool IsStart(size_t i) const { return i == 0; }
  bool IsEnd(size_t i) const { return complete_ && i + 1 == files_.size(); }
  // Whether the data read up to position pos of file i belongs to the stretch.
  bool Belongs(size_t i, int64_t pos) const;
  // Whether reading file i up to pos has reached Mark Out.
  bool ReachedEnd(size_t i, int64_t pos) const { return IsEnd(i) && pos >= endPos_; }

  // The bytes [*from, *to) of a file of the given size whose blocks belong,
  // by the rule above.
  static void BlockRange(int64_t size, bool isStart, int64_t startPos, bool isEnd, int64_t endPos,
                         int64_t* from, int64_t* to);

  // Plans a single whole file (copying the playing recording).
  Result PlanWholeFile(const std::string& path);

private:
  std::vector<SegmentFile> files_;
  bool complete_ = false;
  int32_t missing_ = -1;
  int64_t startPos_ = 0;
  int64_t endPos_ = 0;
};

// Reads a recording from its start until the program tables are known.
// *tablesEnd receives the offset just past the packet that completed them.
// False when the first 16 MiB hold no tables (or the file cannot be read).
bool FindProgramTables(const std::string& path, int64_t* tablesEnd, StreamPids* pids);

// Whether a PES of the video stream begins in the bytes of the stretch (a
// picture starts there). Reads only as far as the first one.
bool StretchHasPictureStart(const SegmentPlan& plan, int videoPid);
