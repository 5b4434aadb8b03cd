#include "core/find_file_path.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>

#include "core/messages.h"
#include "core/my_thread.h"
#include "core/ts_demux.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "platform/files.h"

namespace {

// The video PID of the camera's recordings, for files without program tables.
constexpr int kDefaultVideoPid = 0x1011;

} // namespace

CFindFilePath::~CFindFilePath() { StopScan(); }

bool CFindFilePath::ScanAsync(const std::string& path, platform::MessageTarget* panel) {
  StopScan();
  Clear();
  path_ = path;
  return StartThread(thread_, running_, [this, panel] {
    Scan(panel);
    running_ = false;
  });
}

void CFindFilePath::ScanNow(const std::string& path) {
  running_ = true;
  std::vector<RecordingEntry> list;
  ListFolder(path, list);
  std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
  std::lock_guard lock(mutex_);
  entries_ = std::move(list);
}

void CFindFilePath::StopScan() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void CFindFilePath::Scan(platform::MessageTarget* panel) {
  if (FileNumber(path_) < 0) return;
  platform::PostTo(panel, WM_TS_TELEMETRY);
  // The list is built aside and swapped in whole, so that a reader never sees it half made.
  std::vector<RecordingEntry> list;
  ListFolder(path_, list);
  std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
  {
    std::lock_guard lock(mutex_);
    entries_ = std::move(list);
  }
  platform::PostTo(panel, WM_TS_FILECHANGE);
}

void CFindFilePath::ListFolder(const std::string& path, std::vector<RecordingEntry>& out) {
  std::vector<platform::FoundFile> files = platform::FindFiles(platform::FolderOf(path) + "*.ts");
  if (withSaved_) {
    auto saved = platform::FindFiles(platform::FolderOf(path) + "*.nts");
    files.insert(files.end(), saved.begin(), saved.end());
  }
  for (const auto& file : files) {
    if (file.isDirectory) continue;
    RecordingEntry e;
    e.path = file.path;
    e.number = FileNumber(e.path);
    e.endTime = LastWriteTime(e.path);
    e.startTime = e.endTime - SpanSeconds(e.path);
    e.readOnly = file.readOnly ? 1 : 0;
    out.push_back(std::move(e));
    if (!running_) break;
  }
}

std::vector<RecordingEntry> CFindFilePath::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void CFindFilePath::Append(const RecordingEntry& entry) {
  std::lock_guard lock(mutex_);
  entries_.push_back(entry);
}

std::string CFindFilePath::ListNeighbour(const std::string& path, int delta) const {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].path != path) continue;
    const auto j = static_cast<ptrdiff_t>(i) + delta;
    if (j < 0 || j >= static_cast<ptrdiff_t>(entries_.size())) return {};
    return entries_[static_cast<size_t>(j)].path;
  }
  return {};
}

void CFindFilePath::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

int CFindFilePath::FileNumber(const std::string& path) {
  size_t u = path.rfind('_');
  size_t d = path.rfind('.');
  if (u == std::string::npos || d == std::string::npos || u == 0 || d == 0 || d <= u + 1) return -1;
  int64_t n = 0;
  for (size_t i = u + 1; i < d; ++i) {
    if (path[i] < '0' || path[i] > '9') return -1;
    n = n * 10 + (path[i] - '0');
    if (n > INT32_MAX) return -1;
  }
  return static_cast<int>(n);
}

std::string CFindFilePath::NeighbourPath(const std::string& path, int delta) {
  int n = FileNumber(path);
  if (n < 0) return {};
  int wanted = n + delta;
  // The pattern matches any name ending in the number ("*124.ts" also finds
  // ..._1124.ts); only the recording with exactly that number is a neighbour.
  for (const auto& file : platform::FindFiles(platform::FolderOf(path) + "*" + std::to_string(wanted) + ".ts"))
    if (!file.isDirectory && FileNumber(file.path) == wanted) return file.path;
  return {};
}

std::string CFindFilePath::PrevPath(const std::string& path) { return NeighbourPath(path, -1); }
std::string CFindFilePath::NextPath(const std::string& path) { return NeighbourPath(path, +1); }

int64_t CFindFilePath::LastWriteTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  // UTC to local calendar time and back, with daylight saving decided for that date.
  time_t t = st.st_mtim.tv_sec;
  struct tm local {};
  if (!::localtime_r(&t, &local)) return static_cast<int64_t>(t);
  local.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&local));
}

namespace {

// The video stream's PID as the program tables name it (0x1011 when the file
// has none near its start) and its first time stamp in seconds (-1: none).
struct FirstVideoStamp {
  int videoPid = kDefaultVideoPid;
  double seconds = -1;
};

FirstVideoStamp ReadFirstVideoStamp(const std::string& path) {
  constexpr int64_t kForwardLimit = 4 << 20;
  FirstVideoStamp out;
  TsFile file;
  if (!file.Open(path, false)) return out;
  TsDemux demux;
  while (out.seconds < 0 && file.Position() < kForwardLimit && file.FillForward() > 0) {
    file.WalkForward(
        [&](const uint8_t* packet) {
          TsPacket p;
          if (!ParseTsPacket(packet, p)) return true;
          if (!demux.StreamsKnown()) {
            demux.LearnTables(p);
            return true;
          }
          if (p.pid != demux.Pids().video || !p.unitStart) return true;
          PesHeader h;
          if (ParsePesHeader(p.payload, static_cast<size_t>(p.payloadLength), h) && h.hasPts) out.seconds = h.pts;
          return out.seconds < 0;
        },
        [] { return true; });
  }
  if (demux.StreamsKnown() && demux.Pids().video >= 0) out.videoPid = demux.Pids().video;
  return out;
}

// The time stamp in seconds of the last video PES on videoPid that carries
// one; -1 when there is none. The file's tail is walked forward, to its very
// last packet, and taken four times longer until a stamp is found. A PES
// header always lies in the payload of the packet that starts the PES.
double ReadLastVideoStamp(const std::string& path, int videoPid) {
  constexpr int64_t kFirstTail = 64 << 10;
  constexpr int64_t kTailLimit = 16 << 20;
  TsFile file;
  if (!file.Open(path, false)) return -1;
  const int64_t size = file.Size();
  double last = -1;
  auto onPacket = [&](const uint8_t* packet) {
    TsPacket p;
    if (!ParseTsPacket(packet, p) || p.pid != videoPid || !p.unitStart) return true;
    PesHeader h;
    if (ParsePesHeader(p.payload, static_cast<size_t>(p.payloadLength), h) && h.hasPts) last = h.pts;
    return true;
  };
  for (int64_t tail = kFirstTail;; tail *= 4) {
    const int64_t from = tail < size ? size - tail : 0;
    file.DropWindow(false);
    file.SeekTo(from);
    while (file.FillForward() > 0) file.WalkForward(onPacket, [] { return true; });
    if (const uint8_t* trailing = file.TrailingPacket()) onPacket(trailing);
    if (last >= 0 || from == 0 || tail >= kTailLimit) return last;
  }
}

} // namespace

int CFindFilePath::SpanSeconds(const std::string& path) {
  const FirstVideoStamp first = ReadFirstVideoStamp(path);
  const double last = ReadLastVideoStamp(path, first.videoPid);
  if (last < 0) return 0;
  // Whole seconds of the last stamp minus whole seconds of the first.
  const int from = first.seconds > 0 ? static_cast<int>(first.seconds) : 0;
  constexpr int kWrapSeconds = static_cast<int>((int64_t{1} << 33) / 90000); // 95443
  int span = static_cast<int>(last) - from;
  if (span < 0) span += kWrapSeconds; // the clock wrapped inside the recording
  return span;
}
