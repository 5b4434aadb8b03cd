// CPU time to play 60 s of a 1080p30 recording at 1x in velmora-play on a virtual
// display (xvfb-run, 1920x1080x24, window of the picture's size, no audio), against
// `ffplay -an -autoexit` on the same file and display. The ratio is ffplay's CPU
// over ours (higher is better).
#include <cstdio>
#include <sstream>
#include <string>

#include "bench/bench_common.h"

namespace {

// User and system CPU seconds of one command run on its own virtual display.
bool CpuSeconds(const std::string& command, double& seconds) {
  const std::string script = "TIMEFORMAT='cpu %U %S'; { time " + command + " >/dev/null 2>&1; } 2>&1";
  std::string out;
  bench::Run("xvfb-run -a -s '-screen 0 1920x1080x24' bash -c \"" + script + "\"", &out);
  const size_t at = out.rfind("cpu ");
  if (at == std::string::npos) {
    std::fprintf(stderr, "no time from: %s\n%s\n", command.c_str(), out.c_str());
    return false;
  }
  std::istringstream in(out.substr(at + 4));
  double user = 0, system = 0;
  in >> user >> system;
  seconds = user + system;
  return true;
}

} // namespace

int main() {
  const std::string file =
      bench::CachedRecording("1080p30-60s", "--seconds 60 --size 1920x1080 --fps 30");
  double ours = 0, theirs = 0;
  if (!CpuSeconds("'" + bench::BinDir() + "velmora-play' --size 1920x1080 --no-audio --quit-after 60 '" + file + "'",
                  ours) ||
      !CpuSeconds("ffplay -v error -an -autoexit '" + file + "'", theirs))
    return 1;
  std::printf("play_cpu_seconds: %.2f s\n", ours);
  std::printf("ffplay_cpu_seconds: %.2f s\n", theirs);
  std::printf("play_cpu_ratio: %.3f\n", ours > 0 ? theirs / ours : 0.0);
  return 0;
}
