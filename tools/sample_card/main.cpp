// velmora-sample-card: the project's own dash camera. Writes a card folder
// OUT/DCIM/100MEDIA/ of numbered transport-stream recordings (H.264, AAC, telemetry),
// as the player's reader reads them (H.265 video with --codec h265). Run with --help for the options.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "tools/sample_card/card_writer.h"
#include "tools/sample_card/sample_constants.h"

namespace {

constexpr int kBadArguments = 2;

void Usage(FILE* to) {
  std::fprintf(to,
      "Usage: velmora-sample-card --out DIR [options]\n"
      "Writes sample dash-camera recordings to DIR/DCIM/100MEDIA/, named\n"
      "YYYYMMDD_HHMMSS_NNNN.ts after each file's local start time and number.\n"
      "\n"
      "  --out DIR                 the card's root folder (required)\n"
      "  --files N                 number of recordings (1-1000, default %d)\n"
      "  --seconds S               length of each recording in seconds (1-3600, default %d)\n"
      "  --size WxH                picture size, even numbers, 128x96 to 4096x2304 (default %dx%d)\n"
      "  --fps 30|60               frame rate (default %d)\n"
      "  --gop N                   key frame interval in frames (1-600, default: one second)\n"
      "  --bframes                 use %d B-frames between reference frames (default: none)\n"
      "  --codec h264|h265         video codec: H.264 (libx264) or H.265 (libx265; default h264)\n"
      "  --start \"YYYY-MM-DD HH:MM:SS\"  local start time of the first recording\n"
      "                            (default \"%s\")\n"
      "  --first-number N          sequence number of the first recording (0-9999, default %d)\n"
      "  --no-telemetry            write no telemetry stream\n"
      "  --no-fix-seconds N        the card's first N seconds have no GPS fix (default 0)\n"
      "  --bitrate KBPS            constant video bit rate, as cameras record (100-100000;\n"
      "                            default: constant quality, far fewer bits)\n"
      "  --read-only K             make the K-th recording (1 = first) read-only\n"
      "  --seed N                  seed of the GPS route (0-4294967295, default %u)\n"
      "  --quiet                   print nothing on success\n"
      "  --help                    show this text\n"
      "  --version                 show the version\n"
      "\n"
      "The same arguments give the same bytes. Each file's last-write time is its end\n"
      "on the camera clock (start + length). Exit status: 0 done, 1 failed, 2 bad arguments.\n",
      samplegen::kDefaultFiles, samplegen::kDefaultSeconds, samplegen::kDefaultWidth, samplegen::kDefaultHeight,
      samplegen::kDefaultFps, samplegen::kBFrames, samplegen::kDefaultStart, samplegen::kDefaultFirstNumber,
      samplegen::kDefaultSeed);
}

[[noreturn]] void Bad(const std::string& message) {
  std::fprintf(stderr, "velmora-sample-card: %s\nTry 'velmora-sample-card --help'.\n", message.c_str());
  std::exit(kBadArguments);
}

long long ParseInt(std::string_view option, std::string_view text, long long lo, long long hi) {
  long long v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    Bad(std::string(option) + " needs a whole number, not '" + std::string(text) + "'");
  if (v < lo || v > hi)
    Bad(std::string(option) + " must be between " + std::to_string(lo) + " and " + std::to_string(hi) + ", not " +
        std::string(text));
  return v;
}

// "YYYY-MM-DD HH:MM:SS" in local time -> seconds since 1970.
bool ParseLocalTime(const std::string& text, int64_t* out) {
  int Y, M, D, h, m, s, used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &Y, &M, &D, &h, &m, &s, &used) != 6 ||
      static_cast<size_t>(used) != text.size())
    return false;
  if (Y < 1980 || Y > 2099 || M < 1 || M > 12 || D < 1 || D > 31 || h > 23 || m > 59 || s > 59 || h < 0 || m < 0 ||
      s < 0)
    return false;
  struct tm tm {};
  tm.tm_year = Y - 1900;
  tm.tm_mon = M - 1;
  tm.tm_mday = D;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  time_t t = std::mktime(&tm);
  if (t == static_cast<time_t>(-1) || tm.tm_mday != D || tm.tm_mon != M - 1) return false; // e.g. 31 April
  *out = static_cast<int64_t>(t);
  return true;
}

} // namespace

int main(int argc, char** argv) {
  samplegen::CardOptions o;
  o.files = samplegen::kDefaultFiles;
  o.seconds = samplegen::kDefaultSeconds;
  o.width = samplegen::kDefaultWidth;
  o.height = samplegen::kDefaultHeight;
  o.fps = samplegen::kDefaultFps;
  o.seed = samplegen::kDefaultSeed;
  o.firstNumber = samplegen::kDefaultFirstNumber;
  std::string start = samplegen::kDefaultStart;

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasInlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        hasInlineValue = true;
      }
    }
    auto needValue = [&]() -> std::string {
      if (hasInlineValue) return value;
      if (i + 1 >= argc) Bad(arg + " needs a value");
      return argv[++i];
    };
    auto noValue = [&]() {
      if (hasInlineValue) Bad(arg + " takes no value");
    };
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("velmora-sample-card %s\n", VELMORA_VERSION);
      return 0;
    } else if (arg == "--out") {
      o.out = needValue();
      if (o.out.empty()) Bad("--out needs a folder");
    } else if (arg == "--files") {
      o.files = static_cast<int>(ParseInt(arg, needValue(), 1, 1000));
    } else if (arg == "--seconds") {
      o.seconds = static_cast<int>(ParseInt(arg, needValue(), 1, 3600));
    } else if (arg == "--size") {
      std::string v = needValue();
      size_t x = v.find('x');
      if (x == std::string::npos) Bad("--size needs WxH, for example 1280x720, not '" + v + "'");
      o.width = static_cast<int>(ParseInt("--size width", v.substr(0, x), 128, 4096));
      o.height = static_cast<int>(ParseInt("--size height", v.substr(x + 1), 96, 2304));
      if (o.width % 2 || o.height % 2) Bad("--size needs an even width and height, not " + v);
    } else if (arg == "--fps") {
      std::string v = needValue();
      if (v != "30" && v != "60") Bad("--fps must be 30 or 60, not '" + v + "'");
      o.fps = v == "30" ? 30 : 60;
    } else if (arg == "--gop") {
      o.gop = static_cast<int>(ParseInt(arg, needValue(), 1, 600));
    } else if (arg == "--bframes") {
      noValue();
      o.bframes = true;
    } else if (arg == "--codec") {
      std::string v = needValue();
      if (v != "h264" && v != "h265") Bad("--codec must be h264 or h265, not '" + v + "'");
      o.h265 = v == "h265";
    } else if (arg == "--start") {
      start = needValue();
    } else if (arg == "--first-number") {
      o.firstNumber = static_cast<int>(ParseInt(arg, needValue(), 0, 9999));
    } else if (arg == "--no-telemetry") {
      noValue();
      o.telemetry = false;
    } else if (arg == "--no-fix-seconds") {
      o.noFixSeconds = static_cast<int>(ParseInt(arg, needValue(), 0, 3600000));
    } else if (arg == "--read-only") {
      o.readOnly = static_cast<int>(ParseInt(arg, needValue(), 1, 1000));
    } else if (arg == "--bitrate") {
      o.bitrateKbps = static_cast<int>(ParseInt(arg, needValue(), 100, 100000));
    } else if (arg == "--seed") {
      o.seed = static_cast<uint32_t>(ParseInt(arg, needValue(), 0, 4294967295LL));
    } else if (arg == "--quiet" || arg == "-q") {
      noValue();
      o.quiet = true;
    } else {
      Bad("unknown argument '" + std::string(argv[i]) + "'");
    }
  }
  if (o.out.empty()) Bad("--out DIR is required");
  if (!ParseLocalTime(start, &o.start)) Bad("--start needs \"YYYY-MM-DD HH:MM:SS\" (a valid local time), not '" + start + "'");
  if (o.readOnly > o.files)
    Bad("--read-only " + std::to_string(o.readOnly) + " is beyond the " + std::to_string(o.files) + " recordings");
  if (o.firstNumber + o.files - 1 > 9999)
    Bad("--first-number " + std::to_string(o.firstNumber) + " with " + std::to_string(o.files) +
        " recordings goes past 9999");

  std::string error;
  if (!samplegen::WriteCard(o, &error)) {
    std::fprintf(stderr, "velmora-sample-card: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
