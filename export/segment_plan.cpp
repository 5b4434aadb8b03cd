#include "export/segment_plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

#include "core/find_file_path.h"
#include "core/ts_demux.h"
#include "core/ts_file.h"
#include "platform/files.h"

ExportMode ExportModeFor(const std::string& output) {
  if (output.size() < 4) return ExportMode::StreamCopy;
  std::string tail = output.substr(output.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == ".avi" ? ExportMode::Avi : ExportMode::StreamCopy;
}

bool MarksInOrder(const MarkPoint& in, const MarkPoint& out) {
  if (!in.IsSet() || !out.IsSet()) return false;
  if (in.number != out.number) return in.number >= 0 && in.number < out.number;
  return in.position < out.position;
}

bool FileIdOf(const std::string& path, FileId* id, bool* regular) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  id->device = static_cast<uint64_t>(st.st_dev);
  id->inode = static_cast<uint64_t>(st.st_ino);
  if (regular) *regular = S_ISREG(st.st_mode);
  return true;
}

namespace {

// The folder of a path with its separator; "./" for a bare name.
std::string FolderOrCurrent(const std::string& path) {
  const std::string folder = platform::FolderOf(path);
  return folder.empty() ? std::string("./") : folder;
}

bool SegmentFileOf(const std::string& path, SegmentFile* f) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  f->path = path;
  f->number = CFindFilePath::FileNumber(path);
  f->id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  f->size = st.st_size;
  return true;
}

} // namespace

void SegmentPlan::BlockRange(int64_t size, bool isStart, int64_t startPos, bool isEnd, int64_t endPos,
                             int64_t* from, int64_t* to) {
  // Block k (k = 1, 2, ...) ends at min(k * kBlock, size).
  int64_t f = 0, t = size;
  if (isStart) f = startPos >= size ? size : startPos / kBlock * kBlock; // the first block ending past Mark In
  if (isEnd && endPos <= size) t = endPos > 0 ? (endPos - 1) / kBlock * kBlock : 0; // the last ending before Mark Out
  *from = f;
  *to = std::max(f, t);
}

SegmentPlan::Result SegmentPlan::Plan(const MarkPoint& in, const MarkPoint& out) {
  files_.clear();
  complete_ = false;
  missing_ = -1;
  startPos_ = in.position;
  endPos_ = out.position;
  if (!in.IsSet() || !out.IsSet()) return Result::MarksNotInOrder;

  SegmentFile start;
  if (!SegmentFileOf(in.file, &start)) return Result::StartMissing;
  SegmentFile end;
  const bool endFound = SegmentFileOf(out.file, &end);
  if (endFound && end.id == start.id) {
    if (in.position >= out.position) return Result::MarksNotInOrder;
  } else {
    // Different recordings: follow the numbers through one folder.
    if (!MarksInOrder(in, out) || in.number == out.number || start.number != in.number ||
        CFindFilePath::FileNumber(out.file) != out.number)
      return Result::MarksNotInOrder;
    FileId inFolder, outFolder;
    if (!FileIdOf(FolderOrCurrent(in.file), &inFolder) || !FileIdOf(FolderOrCurrent(out.file), &outFolder) ||
        !(inFolder == outFolder))
      return Result::MarksInDifferentFolders;
  }

  files_.push_back(start);
  if (endFound && end.id == start.id) {
    complete_ = true;
  } else {
    // One listing of the folder; the first file in directory order with the
    // wanted number follows, as the reader's neighbour lookup does.
    auto listing = platform::FindFiles(FolderOrCurrent(in.file) + "*.ts");
    for (int32_t n = in.number + 1; n <= out.number; ++n) {
      if (n == out.number) {
        if (endFound) {
          files_.push_back(end);
          complete_ = true;
        } else {
          missing_ = n;
        }
        break;
      }
      auto it = std::find_if(listing.begin(), listing.end(), [n](const platform::FoundFile& f) {
        return !f.isDirectory && CFindFilePath::FileNumber(f.path) == n;
      });
      SegmentFile next;
      if (it == listing.end() || !SegmentFileOf(it->path, &next)) {
        missing_ = n;
        break;
      }
      files_.push_back(next);
    }
  }
  for (size_t i = 0; i < files_.size(); ++i)
    BlockRange(files_[i].size, IsStart(i), startPos_, IsEnd(i), endPos_, &files_[i].from, &files_[i].to);
  return Result::Ok;
}

SegmentPlan::Result SegmentPlan::PlanWholeFile(const std::string& path) {
  files_.clear();
  missing_ = -1;
  SegmentFile f;
  complete_ = SegmentFileOf(path, &f);
  if (!complete_) return Result::StartMissing;
  f.from = 0;
  f.to = f.size;
  startPos_ = -1;
  endPos_ = f.size + 1;
  files_.push_back(f);
  return Result::Ok;
}

bool SegmentPlan::Belongs(size_t i, int64_t pos) const {
  const bool start = IsStart(i), end = IsEnd(i);
  if (start && end) return startPos_ < pos && pos < endPos_;
  if (start) return pos > startPos_;
  if (end) return pos < endPos_;
  return true;
}

int64_t SegmentPlan::TotalBytes() const {
  int64_t total = 0;
  for (const auto& f : files_) total += f.to - f.from;
  return total;
}

int64_t SegmentPlan::BytesBefore(size_t i, int64_t pos) const {
  int64_t done = 0;
  for (size_t j = 0; j < i && j < files_.size(); ++j) done += files_[j].to - files_[j].from;
  if (i < files_.size()) done += std::clamp(pos, files_[i].from, files_[i].to) - files_[i].from;
  return done;
}

bool FindProgramTables(const std::string& path, int64_t* tablesEnd, StreamPids* pids) {
  constexpr int64_t kLimit = 16 << 20;
  constexpr size_t kChunk = 64 * 1024;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  TsDemux tables;
  std::vector<uint8_t> buf;
  int64_t base = 0; // file offset of buf[0]
  size_t i = 0;
  bool found = false;
  while (!found && base + static_cast<int64_t>(buf.size()) < kLimit) {
    const size_t had = buf.size();
    buf.resize(had + kChunk);
    ssize_t got;
    do got = ::pread(fd, buf.data() + had, kChunk, base + static_cast<int64_t>(had));
    while (got < 0 && errno == EINTR);
    buf.resize(had + static_cast<size_t>(got > 0 ? got : 0));
    if (got <= 0) break;
    // A packet is taken when the sync byte of the packet after it is there too.
    while (i + kTsPacketSize < buf.size()) {
      if (buf[i] != kTsSync || buf[i + kTsPacketSize] != kTsSync) {
        ++i;
        continue;
      }
      TsPacket p;
      if (ParseTsPacket(buf.data() + i, p) && tables.LearnTables(p)) {
        *tablesEnd = base + static_cast<int64_t>(i) + kTsPacketSize;
        *pids = tables.Pids();
        found = true;
        break;
      }
      i += kTsPacketSize;
    }
    buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(i));
    base += static_cast<int64_t>(i);
    i = 0;
  }
  ::close(fd);
  return found;
}

bool StretchHasPictureStart(const SegmentPlan& plan, int videoPid) {
  for (const auto& f : plan.Files()) {
    if (f.to <= f.from) continue;
    TsFile file;
    if (!file.Open(f.path, false)) continue;
    file.SeekTo(f.from);
    file.DropWindow(false);
    // The stretch's bytes are whole blocks, so the reads end at f.to.
    bool found = false;
    while (!found && file.Position() < f.to && file.FillForward() > 0) {
      file.WalkForward(
          [&](const uint8_t* packet) {
            TsPacket p;
            found = ParseTsPacket(packet, p) && p.pid == videoPid && p.unitStart;
            return !found;
          },
          [] { return true; });
    }
    if (found) return true;
  }
  return false;
}
