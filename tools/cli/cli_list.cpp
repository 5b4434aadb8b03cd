// velmora-cli list: the recordings of a folder or a card as the player indexes them.
#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/find_file_path.h"
#include "tools/cli/commands.h"
#include "tools/common/recordings.h"

namespace {

std::string LocalTime(int64_t t) {
  auto tt = static_cast<time_t>(t);
  struct tm local {};
  char text[32] = "?";
  if (::localtime_r(&tt, &local)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string Duration(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64 ":%02d:%02d", seconds / 3600, static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  return text;
}

} // namespace

int RunList(const CliCommand& self, const ParsedOptions& options) {
  const std::string program = ProgramOf(self);
  if (options.operands.size() != 1) return UsageError(self, options.operands.empty() ? "no folder given" : "one folder only");
  std::string folder = options.operands[0];
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", program.c_str(), folder.c_str(), std::strerror(errno));
    return 1;
  }
  if (!S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "%s: %s is not a folder\n", program.c_str(), folder.c_str());
    return 1;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const std::string media = MediaFolderOf(folder);
  CFindFilePath index;
  index.ListSavedSegments(true);
  if (!media.empty()) index.ScanNow(media + "/");
  std::vector<RecordingEntry> shown;
  for (const auto& e : index.Entries()) {
    const RecordingCheck check = CheckRecording(e.path);
    if (check.state == RecordingState::Playable || check.state == RecordingState::VideoNotSupported)
      shown.push_back(e);
    else
      std::fprintf(stderr, "%s: skipped %s: %s\n", program.c_str(), e.path.c_str(), check.reason.c_str());
  }
  if (shown.empty()) {
    std::fprintf(stderr, "%s: no recordings found in %s\n", program.c_str(), folder.c_str());
    return 1;
  }
  std::printf("%-7s %-19s  %-19s  %9s  %-3s %s\n", "NUMBER", "START", "END", "DURATION", "RO", "PATH");
  for (const auto& e : shown) {
    std::printf("%7d %-19s  %-19s  %9s  %-3s %s\n", e.number, LocalTime(e.startTime).c_str(),
                LocalTime(e.endTime).c_str(), Duration(e.endTime - e.startTime).c_str(), e.readOnly ? "yes" : "no",
                e.path.c_str());
  }
  return 0;
}
