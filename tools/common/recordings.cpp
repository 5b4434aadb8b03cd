#include "tools/common/recordings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/ts_demux.h"
#include "core/ts_file.h"
#include "platform/files.h"

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  return platform::WildcardMatch("*" + tail, text);
}

bool HasFiles(const std::string& folder, const char* pattern) {
  for (const auto& f : platform::FindFiles(folder + "/" + pattern))
    if (!f.isDirectory) return true;
  return false;
}

} // namespace

RecordingCheck CheckRecording(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {RecordingState::Unreadable, std::strerror(errno)};
  struct stat st {};
  const bool statOk = ::fstat(fd, &st) == 0;
  const int err = errno;
  ::close(fd);
  if (!statOk) return {RecordingState::Unreadable, std::strerror(err)};
  if (S_ISDIR(st.st_mode)) return {RecordingState::Unreadable, "is a folder"};
  if (st.st_size == 0) return {RecordingState::Empty, "empty file"};

  constexpr int64_t kLimit = 16 << 20;
  TsFile file;
  if (!file.Open(path, false)) return {RecordingState::Unreadable, std::strerror(errno)};
  TsDemux tables;
  bool known = false;
  while (!known && file.Position() < kLimit && file.FillForward() > 0) {
    file.WalkForward(
        [&](const uint8_t* packet) {
          TsPacket p;
          known = ParseTsPacket(packet, p) && tables.LearnTables(p);
          return !known;
        },
        [] { return true; });
  }
  if (!known) return {RecordingState::NotTransportStream, "not a transport stream (no program tables)"};
  if (tables.Pids().video < 0) return {RecordingState::VideoNotSupported, "video format not supported"};
  return {};
}

bool HasRecordingExtension(const std::string& path) {
  return EndsWithNoCase(path, ".ts") || EndsWithNoCase(path, ".nts");
}

std::string MediaFolderOf(const std::string& folder) {
  if (HasFiles(folder, "*.ts") || HasFiles(folder, "*.nts")) return folder;
  const std::string name = std::filesystem::path(folder).filename().string();
  std::vector<std::string> dcims;
  if (platform::WildcardMatch("DCIM", name)) dcims.push_back(folder);
  for (const auto& d : platform::FindFiles(folder + "/DCIM"))
    if (d.isDirectory) dcims.push_back(d.path);
  for (const auto& dcim : dcims) {
    auto matches = platform::FindFiles(dcim + "/*MEDIA");
    std::sort(matches.begin(), matches.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& media : matches)
      if (media.isDirectory && HasFiles(media.path, "*.ts")) return media.path;
  }
  return {};
}

bool InCardMediaFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) return false;
  const std::filesystem::path media = p.parent_path();
  return platform::WildcardMatch("*MEDIA", media.filename().string()) &&
         platform::WildcardMatch("DCIM", media.parent_path().filename().string());
}
