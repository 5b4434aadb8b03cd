#pragma once
// What the player's benchmarks share: a virtual display, starting a player as a
// child process, and the screen as pixels.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_common.h"

namespace playerbench {

// Runs this program again on a virtual display of its own when there is no display.
inline void EnsureDisplay(char** argv) {
  if (std::getenv("DISPLAY") && *std::getenv("DISPLAY")) return;
  std::vector<const char*> args = {"xvfb-run", "-a", "-s", "-screen 0 1920x1080x24", argv[0]};
  for (char** a = argv + 1; *a; ++a) args.push_back(*a);
  args.push_back(nullptr);
  ::execvp("xvfb-run", const_cast<char* const*>(args.data()));
  std::perror("xvfb-run");
  std::exit(1);
}

// A child process; its CPU time and peak memory once it has been waited for.
struct Child {
  pid_t pid = -1;
  double cpuSeconds = 0;
  long peakRssKb = 0;
  int status = 0;

  bool Start(const std::vector<std::string>& argv) {
    pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
      std::vector<char*> a;
      for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
      a.push_back(nullptr);
      // No chatter from the players on the terminal.
      if (FILE* null = std::fopen("/dev/null", "w")) {
        ::dup2(::fileno(null), 1);
        ::dup2(::fileno(null), 2);
      }
      ::execvp(a[0], a.data());
      ::_exit(127);
    }
    return true;
  }
  bool Running() {
    if (pid < 0) return false;
    int st = 0;
    rusage ru{};
    const pid_t r = ::wait4(pid, &st, WNOHANG, &ru);
    if (r == 0) return true;
    Collect(st, ru);
    return false;
  }
  void Stop() {
    if (pid < 0) return;
    ::kill(pid, SIGTERM);
    Wait();
  }
  void Wait() {
    if (pid < 0) return;
    int st = 0;
    rusage ru{};
    if (::wait4(pid, &st, 0, &ru) == pid) Collect(st, ru);
  }

private:
  void Collect(int st, const rusage& ru) {
    status = st;
    cpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                 static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    peakRssKb = ru.ru_maxrss;
    pid = -1;
  }
};

// A program folder for velmora of its own: a copy of the program beside the
// resources it reads, with a Config.ini for the UI mode.
inline std::string PlayerFolder(int uiMode) {
  const std::string folder = bench::CacheFolder() + "/player-program/";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(bench::BinDir() + "velmora", folder + "velmora",
                             std::filesystem::copy_options::overwrite_existing);
  for (const char* r : {"Language", "map", "offset_min.bin"}) {
    const std::string from = bench::BinDir() + r;
    if (!std::filesystem::exists(from)) continue;
    std::filesystem::remove_all(folder + r);
    std::filesystem::copy(from, folder + r, std::filesystem::copy_options::recursive);
  }
  if (FILE* f = std::fopen((folder + "Config.ini").c_str(), "w")) {
    std::fprintf(f, "[Config]\nUIMode=%d\n", uiMode);
    std::fclose(f);
  }
  return folder;
}

} // namespace playerbench
