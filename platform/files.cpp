#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool ReadSmallFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

// Undoes the octal escapes (\040 and so on) of a mountinfo field.
std::string Unescape(std::string_view s) {
  auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() &&
        octal(s[i + 1]) && octal(s[i + 2]) && octal(s[i + 3])) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Whether the block device major:minor is removable: its disk reports
// removable media, or it hangs off a USB or MMC bus.
bool IsRemovableDevice(const std::string& majMin) {
  std::string sysPath = "/sys/dev/block/" + majMin;
  char real[PATH_MAX];
  if (!::realpath(sysPath.c_str(), real)) return false;
  std::string dev(real);
  if (dev.find("/usb") != std::string::npos || dev.find("/mmc") != std::string::npos) return true;
  std::string flag;
  // A partition's removable flag sits on its parent disk.
  for (std::string dir = dev; dir.size() > sizeof("/sys/devices");) {
    if (ReadSmallFile(dir + "/removable", flag)) return !flag.empty() && flag[0] == '1';
    dir.resize(dir.rfind('/'));
  }
  return false;
}

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

} // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

std::string FolderOf(std::string_view path) {
  const size_t sep = LastSeparator(path);
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string NameOf(std::string_view path) {
  const size_t sep = LastSeparator(path);
  return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

std::vector<FoundFile> FindFiles(std::string_view pattern) {
  std::vector<FoundFile> found;
  size_t sep = LastSeparator(pattern);
  std::string folder = sep == std::string_view::npos ? "." : std::string(pattern.substr(0, sep));
  if (folder.empty()) folder = "/";
  std::string_view mask = sep == std::string_view::npos ? pattern : pattern.substr(sep + 1);
  std::string prefix = sep == std::string_view::npos ? "" : std::string(pattern.substr(0, sep + 1));

  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return found;
  int dfd = ::dirfd(dir);
  while (dirent* e = ::readdir(dir)) {
    std::string_view name(e->d_name);
    if (name == "." || name == ".." || !WildcardMatch(mask, name)) continue;
    struct stat st {};
    if (::fstatat(dfd, e->d_name, &st, 0) != 0) continue; // vanished or a dangling link
    FoundFile f;
    f.name = std::string(name);
    f.path = prefix + f.name;
    f.isDirectory = S_ISDIR(st.st_mode);
    f.readOnly = (st.st_mode & S_IWUSR) == 0;
    f.lastWriteTime = static_cast<int64_t>(st.st_mtim.tv_sec);
    f.size = static_cast<uint64_t>(st.st_size);
    found.push_back(std::move(f));
  }
  ::closedir(dir);
  return found;
}

std::string ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string exe(buf, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string ResourceFolder(const std::string& programFolder) {
  std::string folder = programFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  auto holdsLanguages = [](const std::string& f) {
    struct stat st {};
    return ::stat((f + "Language").c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  };
  if (holdsLanguages(folder)) return folder;
  const std::string shared = folder + "../share/velmora/";
  if (!holdsLanguages(shared)) return folder;
  char resolved[PATH_MAX];
  if (!::realpath(shared.c_str(), resolved)) return shared;
  std::string out(resolved);
  return out.back() == '/' ? out : out + '/';
}

bool EnsureFolderFor(std::string_view filePath) {
  size_t sep = LastSeparator(filePath);
  if (sep == std::string_view::npos || sep == 0) return true;
  std::string folder(filePath.substr(0, sep));
  for (char& c : folder)
    if (c == '\\') c = '/';
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  // Create each successive prefix in turn, the folder itself last.
  for (size_t pos = folder.find('/', 1); ; pos = folder.find('/', pos + 1)) {
    std::string prefix = folder.substr(0, pos);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) { /* tried; checked below */ }
    if (pos == std::string::npos) break;
  }
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return WithSlash(home);
  if (passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return WithSlash(pw->pw_dir);
  return "/";
}

std::string MountTable() {
  std::string text;
  ReadSmallFile("/proc/self/mountinfo", text);
  return text;
}

std::vector<std::string> RemovableRoots() {
  std::vector<std::string> roots;
  if (const char* extra = std::getenv("VELMORA_REMOVABLE_ROOTS")) {
    std::string_view list(extra);
    while (!list.empty()) {
      size_t colon = list.find(':');
      std::string_view item = list.substr(0, colon);
      if (!item.empty()) roots.push_back(WithSlash(std::string(item)));
      if (colon == std::string_view::npos) break;
      list.remove_prefix(colon + 1);
    }
  }
  std::istringstream lines(MountTable());
  std::string line;
  while (std::getline(lines, line)) {
    // id parent major:minor root mount-point options [optional fields] - type source super-options
    std::istringstream fields(line);
    std::string id, parent, majMin, root, mountPoint;
    if (!(fields >> id >> parent >> majMin >> root >> mountPoint)) continue;
    if (majMin.rfind("0:", 0) == 0) continue; // not a block device
    if (IsRemovableDevice(majMin)) roots.push_back(WithSlash(Unescape(mountPoint)));
  }
  return roots;
}

} // namespace platform
