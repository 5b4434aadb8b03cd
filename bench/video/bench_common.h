#pragma once
// What the video benchmarks share: sample recordings made once into a cache
// folder, the folder of the project's programs, and running a command.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace benchvideo {

// The folder this program was built into (where velmora-sample-card and velmora-play are).
inline std::string BinDir() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
}

// Runs a shell command; returns its exit status and what it printed on standard output.
inline int Run(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  const int status = ::pclose(pipe);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first recording of a sample card made with `args`, kept in
// ${XDG_CACHE_HOME:-~/.cache}/velmora/bench/NAME (made on first use).
inline std::string CachedRecording(const std::string& name, const std::string& args) {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  const std::string cache = (xdg && *xdg) ? xdg : std::string(home ? home : "/tmp") + "/.cache";
  const std::filesystem::path card = cache + "/velmora/bench/" + name;
  const std::filesystem::path media = card / "DCIM/100MEDIA";
  if (!std::filesystem::is_directory(media)) {
    std::fprintf(stderr, "making %s (once)...\n", card.c_str());
    const std::filesystem::path part = card.string() + ".part";
    std::filesystem::remove_all(part);
    std::filesystem::create_directories(card.parent_path());
    const std::string cmd = "'" + BinDir() + "velmora-sample-card' --quiet --no-telemetry --files 1 --out '" +
                            part.string() + "' " + args;
    if (Run(cmd) != 0) throw std::runtime_error("velmora-sample-card failed: " + cmd);
    std::filesystem::rename(part, card);
  }
  for (const auto& e : std::filesystem::directory_iterator(media)) return e.path().string();
  throw std::runtime_error("no recording in " + media.string());
}

} // namespace benchvideo
