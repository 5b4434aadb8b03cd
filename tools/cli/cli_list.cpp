// velmora-cli list: the recordings of a folder as the player indexes them.
#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/find_file_path.h"
#include "tools/cli/commands.h"

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

int RunList(const std::vector<std::string>& args) {
  if (args.size() != 1 || (!args[0].empty() && args[0][0] == '-')) {
    std::fputs("Usage: velmora-cli list FOLDER\n", stderr);
    return 2;
  }
  std::string folder = args[0];
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    std::fprintf(stderr, "velmora-cli list: %s: %s\n", folder.c_str(), std::strerror(errno));
    return 1;
  }
  if (!S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "velmora-cli list: %s: not a folder\n", folder.c_str());
    return 1;
  }
  if (folder.back() != '/') folder += '/';
  CFindFilePath index;
  index.ScanNow(folder);
  std::printf("%-7s %-19s  %-19s  %9s  %-3s %s\n", "NUMBER", "START", "END", "DURATION", "RO", "PATH");
  for (const auto& e : index.Entries()) {
    std::printf("%7d %-19s  %-19s  %9s  %-3s %s\n", e.number, LocalTime(e.startTime).c_str(),
                LocalTime(e.endTime).c_str(), Duration(e.endTime - e.startTime).c_str(), e.readOnly ? "yes" : "no",
                e.path.c_str());
  }
  return 0;
}
