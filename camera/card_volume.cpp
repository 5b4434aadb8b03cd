#include "camera/card_volume.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;

// Undoes the \xHH escapes of udev's /dev/disk/by-label names.
std::string UnescapeUdev(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      out += static_cast<char>(std::strtol(std::string(s.substr(i + 2, 2)).c_str(), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string LabelOf(const std::string& root) {
  struct stat st {};
  if (::stat(root.c_str(), &st) == 0) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/dev/disk/by-label", ec)) {
      struct stat dev {};
      if (::stat(e.path().c_str(), &dev) == 0 && S_ISBLK(dev.st_mode) && dev.st_rdev == st.st_dev)
        return UnescapeUdev(e.path().filename().string());
    }
  }
  std::string name = fs::path(root).parent_path().filename().string();
  return name.empty() ? root : name;
}

bool HoldsDcim(const std::string& root) {
  for (const auto& f : platform::FindFiles(root + "*"))
    if (f.isDirectory && platform::EqualsNoCase(f.name, "DCIM")) return true;
  return false;
}

// An absolute, clean path ending in '/' (no symbolic links resolved).
std::string CleanFolder(std::string_view path) {
  std::string p(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  std::error_code ec;
  fs::path abs = fs::absolute(fs::path(p), ec).lexically_normal();
  std::string s = abs.string();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

// The real path (links resolved) of a folder, ending in '/'; empty when it does not exist.
std::string RealFolder(std::string_view path) {
  std::error_code ec;
  fs::path real = fs::canonical(fs::path(std::string(path)), ec);
  if (ec) return {};
  std::string s = real.string();
  if (s.back() != '/') s += '/';
  return s;
}

void ClearFolder(int dirFd, dev_t device, ClearResult& result) {
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    ++result.failed;
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string_view name(e->d_name);
    if (name != "." && name != "..") names.emplace_back(name);
  }
  for (const std::string& name : names) {
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ++result.failed;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (st.st_dev != device) { // something mounted inside the card
        ++result.failed;
        continue;
      }
      const int sub = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub < 0) {
        ++result.failed;
        continue;
      }
      ClearFolder(sub, device, result);
      if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0) ++result.removed;
      else ++result.failed;
    } else if (::unlinkat(dirFd, name.c_str(), 0) == 0) {
      ++result.removed;
    } else {
      ++result.failed;
    }
  }
  ::closedir(dir); // closes dirFd
}

} // namespace

std::vector<CardVolume> ListCardVolumes() {
  std::vector<CardVolume> volumes;
  for (const std::string& root : platform::RemovableRoots()) {
    bool seen = false;
    for (const CardVolume& v : volumes) seen = seen || v.root == root;
    struct stat st {};
    if (seen || ::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    CardVolume v;
    v.root = root;
    v.label = LabelOf(root);
    struct statvfs vfs {};
    if (::statvfs(root.c_str(), &vfs) == 0) v.size = static_cast<uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    v.hasDcim = HoldsDcim(root);
    volumes.push_back(std::move(v));
  }
  return volumes;
}

int PreferredVolume(const std::vector<CardVolume>& volumes) {
  for (size_t i = 0; i < volumes.size(); ++i)
    if (volumes[i].hasDcim) return static_cast<int>(i);
  return volumes.empty() ? -1 : 0;
}

std::string SizeText(uint64_t bytes) {
  static constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes);
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  if (unit == 0) std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  else std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string DescribeVolume(const CardVolume& v) {
  return v.label + ", " + SizeText(v.size) + ", " + v.root;
}

bool PathIsOn(std::string_view path, std::string_view root) {
  if (path.empty() || root.empty()) return false;
  const std::string folder = CleanFolder(root);
  std::string file = CleanFolder(path); // a trailing '/' lets the root itself match
  return file.compare(0, folder.size(), folder) == 0;
}

bool IsCardRoot(std::string_view root, std::string* why) {
  auto refuse = [why](const char* reason) {
    if (why) *why = reason;
    return false;
  };
  if (root.empty()) return refuse("no card is chosen");
  const std::string clean = CleanFolder(root);
  bool listed = false;
  for (const std::string& r : platform::RemovableRoots()) listed = listed || CleanFolder(r) == clean;
  if (!listed) return refuse("the folder is not the root of a removable card");
  struct stat st {};
  std::string noSlash = clean.size() > 1 ? clean.substr(0, clean.size() - 1) : clean;
  if (::lstat(noSlash.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return refuse("the card's folder is not there any more");
  const std::string real = RealFolder(clean);
  if (real.empty() || real == "/") return refuse("the system's root folder is not a card");
  const std::string home = RealFolder(platform::HomeFolder());
  if (!home.empty() && home.compare(0, real.size(), real) == 0)
    return refuse("the folder holds the home folder");
  return true;
}

ClearResult ClearCard(std::string_view root) {
  ClearResult result;
  std::string path(root);
  while (path.size() > 1 && path.back() == '/') path.pop_back(); // so that a link as root is not followed
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    ++result.failed;
    return result;
  }
  struct stat st {};
  ::fstat(fd, &st);
  ClearFolder(fd, st.st_dev, result);
  return result;
}
