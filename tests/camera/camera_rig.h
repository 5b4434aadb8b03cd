#pragma once
// Stand-ins for the user, the play control panel and the disk service, shared
// by the card dialog's tests.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "camera/sd_set_logic.h"
#include "platform/disk_service.h"

namespace camerarig {

// Everything that happened, in order: "inform:TEXT", "confirm:TEXT", "stop",
// "unmount", "format:TYPE:LABEL", "mount".
using Log = std::vector<std::string>;

class ScriptedPrompts : public UserPrompts {
public:
  explicit ScriptedPrompts(Log& log) : log_(log) {}
  void Inform(const std::string& text) override { log_.push_back("inform:" + text); }
  bool Confirm(const std::string& text) override {
    log_.push_back("confirm:" + text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  std::deque<bool> answers;

private:
  Log& log_;
};

class FakePanel : public PlaybackHooks {
public:
  explicit FakePanel(Log& log) : log_(log) {}
  std::string PlayingPath() const override { return playing; }
  std::vector<std::string> ExportPaths() const override { return exports; }
  void StopPlayback() override {
    log_.push_back("stop");
    playing.clear();
  }
  std::string playing;
  std::vector<std::string> exports;

private:
  Log& log_;
};

class FakeDisks : public platform::DiskService {
public:
  explicit FakeDisks(Log& log) : log_(log) {}
  bool Available(std::string* why) override {
    if (!available) *why = "no bus";
    return available;
  }
  std::optional<platform::BlockDevice> FindByMountPoint(const std::string& mountPoint, std::string* why) override {
    if (device && !device->mountPoints.empty() && device->mountPoints[0] == mountPoint) return device;
    *why = "not mounted";
    return std::nullopt;
  }
  bool Unmount(const platform::BlockDevice&, std::string*) override {
    log_.push_back("unmount");
    return true;
  }
  bool Format(const platform::BlockDevice&, const std::string& type, const std::string& label,
              std::string* why) override {
    log_.push_back("format:" + type + ":" + label);
    if (!formatError.empty()) *why = formatError;
    return formatError.empty();
  }
  std::optional<std::string> Mount(const platform::BlockDevice& d, std::string*) override {
    log_.push_back("mount");
    return d.mountPoints[0];
  }
  bool available = true;
  std::optional<platform::BlockDevice> device;
  std::string formatError;

private:
  Log& log_;
};

// Presents folders as inserted cards for the life of the object.
class ScopedCards {
public:
  explicit ScopedCards(const std::string& roots) {
    if (const char* old = std::getenv("VELMORA_REMOVABLE_ROOTS")) old_ = old;
    ::setenv("VELMORA_REMOVABLE_ROOTS", roots.c_str(), 1);
  }
  ~ScopedCards() {
    if (old_) ::setenv("VELMORA_REMOVABLE_ROOTS", old_->c_str(), 1);
    else ::unsetenv("VELMORA_REMOVABLE_ROOTS");
  }

private:
  std::optional<std::string> old_;
};

// Makes a file that nobody can delete: an immutable file when running as root
// (where permissions do not stop a delete), else a file in a read-only folder.
// Returns false when neither works here; Release undoes it.
inline bool MakeUndeletable(const std::string& folder, const std::string& file) {
  if (::geteuid() != 0) return ::chmod(folder.c_str(), 0555) == 0;
  const int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags |= FS_IMMUTABLE_FL;
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

inline void Release(const std::string& folder, const std::string& file) {
  ::chmod(folder.c_str(), 0755);
  const int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0) return;
  int flags = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  ::close(fd);
}

} // namespace camerarig
