#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One entry of a wildcard directory search.
struct FoundFile {
  std::string path;      // full path: the searched folder, '/', the name
  std::string name;
  bool isDirectory = false;
  bool readOnly = false; // the owner-write permission bit is clear
  int64_t lastWriteTime = 0; // seconds since 1970, UTC
  uint64_t size = 0;
};

// Matches a name against a pattern of '*' (any run) and '?' (one character),
// without regard to ASCII case, as on the camera's FAT card. "*.*" matches every name.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// Lists the entries of a folder that match a pattern: "FOLDER/PATTERN", where
// either '/' or '\' may separate the two. "." and ".." are never listed.
// The order is the directory's own.
std::vector<FoundFile> FindFiles(std::string_view pattern);

// The position of the last '/' or '\' in a path, or npos.
size_t LastSeparator(std::string_view path);
// The folder part of a path with its separator ("" when the path has none).
std::string FolderOf(std::string_view path);
// The part of a path after its last separator (the whole path when it has none).
std::string NameOf(std::string_view path);

// The executable's folder, with a trailing '/'.
std::string ProgramFolder();

// Where the read-only resources (Language/, map/, offset_min.bin) of a program
// in programFolder live: beside it when a "Language" folder is there (a build
// tree, a copy unpacked into one folder), else in "../share/velmora/" when that
// holds a "Language" folder (an installed copy, bin/ and share/ of one prefix),
// else the program folder itself. With a trailing '/'.
std::string ResourceFolder(const std::string& programFolder);

// Makes sure the folder that holds a file exists, creating every missing level.
// A path with no folder part, or directly under '/', needs nothing. Returns
// whether the folder exists afterwards.
bool EnsureFolderFor(std::string_view filePath);

// The home folder of the user, with a trailing '/'.
std::string HomeFolder();

// The roots of the mounted removable volumes (USB or memory-card readers), each
// with a trailing '/'. The folders listed in the environment variable
// VELMORA_REMOVABLE_ROOTS (separated by ':') come first, so that tests and the
// demo can present a folder as an inserted card.
std::vector<std::string> RemovableRoots();

// The raw text of /proc/self/mountinfo (what a volume watcher compares).
std::string MountTable();

} // namespace platform
