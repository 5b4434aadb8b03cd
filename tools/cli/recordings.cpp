#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "core/find_file_path.h"
#include "tools/cli/commands.h"

std::vector<std::string> RecordingsOf(const std::vector<std::string>& paths, bool* ok) {
  std::vector<std::string> files;
  for (const auto& path : paths) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      std::fprintf(stderr, "velmora-cli: %s: %s\n", path.c_str(), std::strerror(errno));
      if (ok) *ok = false;
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      files.push_back(path);
      continue;
    }
    CFindFilePath list;
    list.ScanNow(path + "/");
    for (const auto& e : list.Entries()) files.push_back(e.path);
  }
  return files;
}
