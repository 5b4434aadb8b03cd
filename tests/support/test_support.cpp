#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/event.h"

namespace testsupport {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "velmora-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files and folders are part of some fixtures; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> SortedFiles(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void ManualClock::SleepMs(int64_t ms) {
  {
    std::lock_guard lock(mutex_);
    waits_.push_back(ms);
  }
  if (ms > 0) now_ += ms;
}

bool ManualClock::WaitFor(platform::AutoResetEvent& event, int64_t ms) {
  {
    std::lock_guard lock(mutex_);
    waits_.push_back(ms);
  }
  if (event.TryWait()) return true;
  if (ms > 0) now_ += ms;
  return false;
}

std::vector<int64_t> ManualClock::Waits() {
  std::lock_guard lock(mutex_);
  return waits_;
}

void MessageRecorder::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back({message, wParam, lParam});
  }
  cv_.notify_all();
}

std::vector<MessageRecorder::Message> MessageRecorder::Messages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

size_t MessageRecorder::Count(uint32_t number) {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const auto& m : messages_) n += m.number == number;
  return n;
}

bool MessageRecorder::WaitFor(uint32_t number, int timeoutMs) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    for (const auto& m : messages_)
      if (m.number == number) return true;
    return false;
  });
}

void MessageRecorder::Clear() {
  std::lock_guard lock(mutex_);
  messages_.clear();
}

std::string BinDir() {
  const char* dir = std::getenv("VELMORA_BIN_DIR");
  std::string s = dir ? dir : ".";
  if (s.back() != '/') s += '/';
  return s;
}

namespace {
std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}
} // namespace

std::string MakeSampleCard(const std::string& outDir, const std::string& extraArgs) {
  const std::string command = ShellQuote(BinDir() + "velmora-sample-card") + " --out " + ShellQuote(outDir) +
                              " --quiet " + extraArgs + " 2>&1";
  std::string output;
  int status = Run(command, &output);
  if (status != 0)
    throw std::runtime_error("velmora-sample-card failed (exit status " + std::to_string(status) + "): " + command +
                             "\n" + output);
  return outDir + "/DCIM/100MEDIA";
}

} // namespace testsupport
