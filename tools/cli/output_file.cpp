#include "tools/cli/output_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tools/common/recordings.h"

namespace fs = std::filesystem;

namespace {

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string FolderOf(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? "." : parent.string();
}

} // namespace

bool OutputFile::MayWrite(const std::string& program, const std::string& target, bool overwrite,
                          const std::vector<std::string>& inputs) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    std::fprintf(stderr, "%s: %s: %s\n", program.c_str(), target.c_str(), std::strerror(errno));
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "%s: %s is a folder; name a file\n", program.c_str(), target.c_str());
    return false;
  }
  bool recording = false;
  struct stat targetFolder {};
  const bool haveFolder = ::stat(FolderOf(target).c_str(), &targetFolder) == 0;
  for (const auto& input : inputs) {
    struct stat in {}, inFolder {};
    if (::stat(input.c_str(), &in) == 0 && SameFile(in, st)) recording = true;
    if (haveFolder && HasRecordingExtension(target)) {
      // An input names a folder (its recordings) or a recording (its folder's).
      const std::string folder = ::stat(input.c_str(), &in) == 0 && S_ISDIR(in.st_mode) ? input : FolderOf(input);
      if (::stat(folder.c_str(), &inFolder) == 0 && SameFile(inFolder, targetFolder)) recording = true;
    }
  }
  if (HasRecordingExtension(target) && InCardMediaFolder(target)) recording = true;
  if (recording) {
    std::fprintf(stderr, "%s: %s is a recording; recordings are never replaced (choose another name)\n",
                 program.c_str(), target.c_str());
    return false;
  }
  if (!overwrite) {
    std::fprintf(stderr, "%s: %s exists; give --overwrite (-y) to replace it\n", program.c_str(), target.c_str());
    return false;
  }
  return true;
}

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
  const fs::path t(target_);
  path_ = (t.parent_path() / (".velmora-" + std::to_string(::getpid()) + "-" + t.filename().string())).string();
}

OutputFile::~OutputFile() {
  if (!committed_) Discard();
}

bool OutputFile::Commit(bool overwrite, std::string* reason) {
  const int r = overwrite ? ::rename(path_.c_str(), target_.c_str())
                          : ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
  if (r != 0) {
    *reason = errno == EEXIST ? "it appeared meanwhile; give --overwrite (-y) to replace it" : std::strerror(errno);
    return false;
  }
  committed_ = true;
  return true;
}

void OutputFile::Discard() {
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path_.c_str());
}
