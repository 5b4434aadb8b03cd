#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_target.h"
#include "tests/support/run_command.h"

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with its content
// when the object goes.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + '/' + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
// The paths of a folder's entries, sorted by name.
std::vector<std::string> SortedFiles(const std::string& folder);
std::string ReadFile(const std::string& path);

// A clock that only moves when told to, or by the time its sleepers and waiters
// ask for: a sleep or a wait that times out advances it by its length at once.
class ManualClock : public platform::Clock {
public:
  int64_t NowMs() override { return now_.load(); }
  void SleepMs(int64_t ms) override;
  bool WaitFor(platform::AutoResetEvent& event, int64_t ms) override;
  void Advance(int64_t ms) { now_ += ms; }
  // Every wait and sleep asked for, in milliseconds, in order.
  std::vector<int64_t> Waits();

private:
  std::atomic<int64_t> now_{1000000};
  std::mutex mutex_;
  std::vector<int64_t> waits_;
};

// Installs a clock for the life of the object.
class ScopedClock {
public:
  explicit ScopedClock(platform::Clock& c) { platform::SetClock(&c); }
  ~ScopedClock() { platform::SetClock(nullptr); }
};

// A message target that records what is posted to it.
class MessageRecorder : public platform::MessageTarget {
public:
  struct Message {
    uint32_t number;
    uintptr_t wParam;
    intptr_t lParam;
  };
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  std::vector<Message> Messages();
  size_t Count(uint32_t number);
  // Waits until a message with the number has arrived (at most timeoutMs).
  bool WaitFor(uint32_t number, int timeoutMs = 30000);
  void Clear();

private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Message> messages_;
};

// The folder the project's programs were built into (set by CTest), with a trailing '/'.
std::string BinDir();

// Makes a card of sample recordings with the project's own camera (velmora-sample-card
// from BinDir(), tools/sample_card/): runs it with "--out outDir --quiet" and the extra
// arguments (shell syntax, e.g. "--files 2 --seconds 3 --size 320x240"; see the tool's
// --help) and returns outDir + "/DCIM/100MEDIA". Throws std::runtime_error with the
// tool's messages when it fails.
std::string MakeSampleCard(const std::string& outDir, const std::string& extraArgs = "");

} // namespace testsupport
