#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/find_file_path.h"
#include "tools/cli/commands.h"
#include "tools/common/recordings.h"

std::vector<std::string> RecordingsOf(const std::string& program, const std::vector<std::string>& paths, bool* ok) {
  std::vector<std::string> files;
  for (const auto& path : paths) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      std::fprintf(stderr, "%s: %s: %s\n", program.c_str(), path.c_str(), std::strerror(errno));
      if (ok) *ok = false;
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      files.push_back(path);
      continue;
    }
    const std::string media = MediaFolderOf(path);
    if (media.empty()) {
      std::fprintf(stderr, "%s: no recordings found in %s\n", program.c_str(), path.c_str());
      if (ok) *ok = false;
      continue;
    }
    CFindFilePath list;
    list.ListSavedSegments(true);
    list.ScanNow(media + "/");
    for (const auto& e : list.Entries()) files.push_back(e.path);
  }
  return files;
}
