#pragma once
// Shared pieces of the benchmarks: the cache of sample recordings, the
// project's programs, running commands and timing.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_command.h"

namespace bench {

inline std::string CacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  std::string base = xdg && *xdg ? xdg : std::string(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") + "/.cache";
  return base + "/velmora/bench";
}

// The folder this program was built into, with a trailing '/' (the sample
// tool, velmora-play and velmora-cli are built beside it).
inline std::string BinDir() {
  return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
}

using testsupport::Run;

// A card made once with velmora-sample-card and kept: returns its media folder.
inline std::string CachedCard(const std::string& name, const std::string& args) {
  std::string root = CacheFolder() + "/" + name;
  std::string media = root + "/DCIM/100MEDIA";
  if (std::filesystem::exists(media)) return media;
  std::fprintf(stderr, "making %s (once) ...\n", root.c_str());
  std::filesystem::remove_all(root + ".part");
  std::filesystem::create_directories(CacheFolder());
  std::string command = BinDir() + "velmora-sample-card --quiet --out '" + root + ".part' " + args;
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  std::filesystem::rename(root + ".part", root);
  return media;
}

// The single recording of a cached one-file card without telemetry.
inline std::string CachedRecording(const std::string& name, const std::string& args) {
  std::string media = CachedCard(name, "--files 1 --no-telemetry " + args);
  for (const auto& e : std::filesystem::directory_iterator(media)) return e.path().string();
  std::fprintf(stderr, "no recording in %s\n", media.c_str());
  std::exit(1);
}

inline std::vector<std::string> FilesOf(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

inline uint64_t TotalBytes(const std::vector<std::string>& files) {
  uint64_t n = 0;
  for (const auto& f : files) n += std::filesystem::file_size(f);
  return n;
}

// Reads the files once so that every run after works from the page cache.
inline void WarmUp(const std::vector<std::string>& files) {
  std::vector<char> buf(1 << 20);
  for (const auto& f : files) {
    FILE* in = std::fopen(f.c_str(), "rb");
    if (!in) continue;
    while (std::fread(buf.data(), 1, buf.size(), in) > 0) {
    }
    std::fclose(in);
  }
}

inline double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Wall seconds a shell command takes.
inline double TimeCommand(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "peer command failed: %s\n", command.c_str());
  return Seconds(start);
}

inline long PeakRssKb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

} // namespace bench
