#include "core/find_file_path.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

#include "core/messages.h"
#include "core/my_thread.h"
#include "core/ts_demux.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "platform/files.h"

namespace {

constexpr int kLastPtsVideoPid = 0x1011;

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

int CFindFilePath::SpanSeconds(const std::string& path) {
  // The program tables and the first video time stamp, near the file's start.
  constexpr int64_t kForwardLimit = 4 << 20;
  TsFile file;
  if (!file.Open(path, false)) return 0;
  TsDemux demux;
  double first = -1;
  while (first < 0 && file.Position() < kForwardLimit && file.FillForward() > 0) {
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
          if (ParsePesHeader(p.payload, static_cast<size_t>(p.payloadLength), h) && h.hasPts) first = h.pts;
          return first < 0;
        },
        [] { return true; });
  }
  const int videoPid = demux.StreamsKnown() && demux.Pids().video >= 0 ? demux.Pids().video : kLastPtsVideoPid;
  const int last = LastPtsSeconds(path, videoPid);
  if (last <= 0) return 0;
  int from = first > 0 ? static_cast<int>(first) : 0;
  constexpr int kWrapSeconds = static_cast<int>((int64_t{1} << 33) / 90000); // 95443
  int span = last - from;
  if (span < 0) span += kWrapSeconds; // the clock wrapped inside the recording
  return span;
}

int CFindFilePath::LastPtsSeconds(const std::string& path, int videoPid) {
  TsFile file;
  if (!file.Open(path, true)) return 0;
  constexpr size_t kPesCapacity = 1 << 20;
  std::unique_ptr<uint8_t[]> pes(new uint8_t[kPesCapacity]);
  size_t count = 0; // bytes at the end of the buffer
  int result = 0;
  auto onPacket = [&](const uint8_t* packet) {
    TsPacket p;
    if (!ParseTsPacket(packet, p) || p.pid != videoPid) return true;
    if (count + static_cast<size_t>(p.payloadLength) <= kPesCapacity) {
      count += static_cast<size_t>(p.payloadLength);
      std::memcpy(pes.get() + kPesCapacity - count, p.payload, static_cast<size_t>(p.payloadLength));
    }
    if (!p.unitStart) return true;
    const uint8_t* start = pes.get() + kPesCapacity - count;
    PesHeader h;
    if (ParsePesHeader(start, count, h) && (h.ptsDtsFlags == 2 || h.ptsDtsFlags == 3) && h.hasPts)
      result = static_cast<int>(h.pts);
    count = 0;
    return result <= 0;
  };
  while (result <= 0 && file.FillBackward() > 0) file.WalkBackward(onPacket, [] { return true; });
  return result > 0 ? result : 0;
}
