#include "app/logic/card_finder.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/files.h"

namespace {

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<platform::FoundFile> SortedFolders(const std::string& pattern) {
  std::vector<platform::FoundFile> found = platform::FindFiles(pattern);
  std::erase_if(found, [](const platform::FoundFile& f) { return !f.isDirectory; });
  std::sort(found.begin(), found.end(),
            [](const platform::FoundFile& a, const platform::FoundFile& b) { return a.name < b.name; });
  return found;
}

bool HoldsRecordings(const std::string& folder) {
  for (const auto& f : platform::FindFiles(folder + "/*.ts"))
    if (!f.isDirectory) return true;
  return false;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The local path of a "file://" address (percent escapes decoded); "" for an
// address of another host.
std::string PathOfFileUrl(const std::string& url) {
  std::string rest = url.substr(7);
  if (!rest.empty() && rest[0] != '/') {
    const size_t slash = rest.find('/');
    const std::string host = rest.substr(0, slash);
    if (host != "localhost" || slash == std::string::npos) return {};
    rest = rest.substr(slash);
  }
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 && HexValue(rest[i + 2]) >= 0) {
      path += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

} // namespace

std::string FindCardFolder(const std::vector<std::string>& roots) {
  for (std::string root : roots) {
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    for (const auto& dcim : SortedFolders(root + "/DCIM"))
      for (const auto& media : SortedFolders(dcim.path + "/*MEDIA"))
        if (HoldsRecordings(media.path)) return media.path + "/";
  }
  return {};
}

std::string FindCardFolder() { return FindCardFolder(platform::RemovableRoots()); }

std::vector<RecordingEntry> CardRecordings(const std::string& folder) {
  std::vector<platform::FoundFile> files = platform::FindFiles(folder + "*.ts");
  std::erase_if(files, [](const platform::FoundFile& f) { return f.isDirectory; });
  if (files.empty()) return {};
  CFindFilePath list;
  list.ScanNow(files.front().path);
  return list.Entries();
}

std::string StartFileFromArguments(const std::vector<std::string>& args) {
  if (args.empty()) return {};
  if (args.size() == 1) {
    if (args[0].rfind("file://", 0) == 0) return PathOfFileUrl(args[0]);
    if (IsFile(args[0])) return args[0];
  }
  std::string joined;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) joined += ' ';
    joined += args[i];
  }
  std::erase(joined, '"');
  return joined;
}
