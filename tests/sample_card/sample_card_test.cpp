// velmora-sample-card (tools/sample_card/): the recordings it writes are what the reader
// reads, FFmpeg reads them as one program with the three streams, names, lengths and
// last-write times follow the options, the output is reproducible, and the frame
// numbers and the tone come back out of the decoded streams.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_card/frame_code.h"
#include "tools/sample_card/nmea.h"
#include "tools/sample_card/route.h"
#include "tools/sample_card/sample_constants.h"

using namespace testsupport;
using namespace samplegen;

namespace {

int64_t LocalTime(int Y, int M, int D, int h, int m, int s) {
  struct tm tm {};
  tm.tm_year = Y - 1900;
  tm.tm_mon = M - 1;
  tm.tm_mday = D;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

std::string NameAt(int64_t t, int number) {
  time_t tt = static_cast<time_t>(t);
  struct tm tm {};
  localtime_r(&tt, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%Y%m%d_%H%M%S", &tm);
  char num[16];
  std::snprintf(num, sizeof num, "_%04d.ts", number);
  return std::string(buf) + num;
}

std::vector<std::string> ListTs(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ffprobe's "flat" output as key -> value (quotes removed).
std::map<std::string, std::string> Probe(const std::string& path) {
  std::string out;
  EXPECT_EQ(testsupport::Run("ffprobe -v error -count_packets -show_programs -show_streams -show_format -of flat '" + path + "'", &out), 0);
  std::map<std::string, std::string> m;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(pos, end - pos);
    size_t eq = line.find('=');
    if (eq != std::string::npos) {
      std::string v = line.substr(eq + 1);
      if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
      m[line.substr(0, eq)] = v;
    }
    pos = end + 1;
  }
  return m;
}

// The PES packets of one PID, reassembled as the reader does, with their PTS and DTS (ticks).
struct Pes {
  std::string es;
  int64_t pts = -1, dts = -1;
};
std::vector<Pes> ReadPes(const std::string& bytes, uint16_t wantPid) {
  std::vector<std::string> raw;
  for (size_t off = 0; off + 188 <= bytes.size(); off += 188) {
    auto p = reinterpret_cast<const uint8_t*>(bytes.data() + off);
    EXPECT_EQ(p[0], 0x47);
    int pid = ((p[1] & 0x1F) << 8) | p[2];
    if (pid != wantPid) continue;
    int afc = (p[3] >> 4) & 3;
    size_t start = afc == 1 ? 4 : afc == 3 ? 5u + p[4] : 188;
    if (p[1] & 0x40) raw.emplace_back();
    if (!raw.empty() && start < 188) raw.back().append(reinterpret_cast<const char*>(p) + start, 188 - start);
  }
  auto stamp = [](const uint8_t* b) {
    return (static_cast<int64_t>(b[0] & 0x0E) << 29) | (b[1] << 22) | ((b[2] & 0xFE) << 14) | (b[3] << 7) | (b[4] >> 1);
  };
  std::vector<Pes> out;
  for (const auto& r : raw) {
    auto b = reinterpret_cast<const uint8_t*>(r.data());
    EXPECT_TRUE(r.size() > 9 && b[0] == 0 && b[1] == 0 && b[2] == 1);
    Pes pes;
    int flags = b[7] >> 6;
    if (flags >= 2) pes.pts = stamp(b + 9);
    if (flags == 3) pes.dts = stamp(b + 14);
    pes.es = r.substr(9u + b[8]);
    out.push_back(pes);
  }
  return out;
}

std::string Xor(const std::string& sentence) { // NMEA checksum, computed here independently
  unsigned x = 0;
  for (size_t i = sentence.find('$') + 1; i < sentence.find('*'); ++i) x ^= static_cast<unsigned char>(sentence[i]);
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", x);
  return hex;
}

} // namespace

// Names, last-write times, read-only file, the program as ffprobe sees it, the stream
// layout the reader needs, and the telemetry texts.
TEST(SampleCard, WritesTheRecordingsAsTheCameraDoes) {
  TempDir dir;
  const std::string media = MakeSampleCard(dir.path(), "--files 3 --seconds 2 --size 320x240 --gop 15 "
                                                       "--start '2023-12-31 23:59:58' --first-number 7 "
                                                       "--read-only 2 --no-fix-seconds 1 --seed 5");
  const int64_t t0 = LocalTime(2023, 12, 31, 23, 59, 58);
  std::vector<std::string> expected;
  for (int k = 0; k < 3; ++k) expected.push_back(NameAt(t0 + 2 * k, 7 + k));
  ASSERT_EQ(ListTs(media), expected);
  for (int k = 0; k < 3; ++k) {
    struct stat st {};
    ASSERT_EQ(::stat((media + "/" + expected[k]).c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, t0 + 2 * (k + 1)) << expected[k];
    EXPECT_EQ((st.st_mode & S_IWUSR) == 0, k == 1) << expected[k];
  }

  const std::string first = media + "/" + expected[0];
  auto m = Probe(first);
  EXPECT_EQ(m["programs.program.0.program_num"], "1");
  EXPECT_EQ(m["programs.program.0.nb_streams"], "3");
  EXPECT_EQ(m["programs.program.0.pcr_pid"], "4113");
  EXPECT_EQ(m.count("programs.program.1.program_num"), 0u);
  EXPECT_EQ(m["streams.stream.0.codec_name"], "h264");
  EXPECT_EQ(m["streams.stream.0.id"], "0x1011");
  EXPECT_EQ(m["streams.stream.0.codec_tag"], "0x001b");
  EXPECT_EQ(m["streams.stream.0.width"], "320");
  EXPECT_EQ(m["streams.stream.0.height"], "240");
  EXPECT_EQ(m["streams.stream.0.nb_read_packets"], "60");
  EXPECT_NEAR(std::stod(m["streams.stream.0.duration"]), 2.0, 1e-6);
  EXPECT_EQ(m["streams.stream.1.codec_name"], "aac");
  EXPECT_EQ(m["streams.stream.1.profile"], "LC");
  EXPECT_EQ(m["streams.stream.1.sample_rate"], "48000");
  EXPECT_EQ(m["streams.stream.1.channels"], "1");
  EXPECT_EQ(m["streams.stream.1.codec_tag"], "0x000f");
  EXPECT_NEAR(std::stod(m["streams.stream.1.duration"]), 2.0, 0.05);
  EXPECT_EQ(m["streams.stream.2.codec_tag"], "0x00a0");
  EXPECT_EQ(m["streams.stream.2.id"], "0x1200");
  EXPECT_EQ(m["streams.stream.2.nb_read_packets"], "2");
  EXPECT_NEAR(std::stod(m["format.duration"]), 2.0, 0.05);

  // What the reader relies on: an access unit per PES with PTS from 0, 4-byte start
  // codes, SPS before each IDR every --gop frames.
  const std::string bytes = ReadFile(first);
  ASSERT_EQ(bytes.size() % 188, 0u);
  auto video = ReadPes(bytes, kVideoPid);
  ASSERT_EQ(video.size(), 60u);
  for (size_t i = 0; i < video.size(); ++i) {
    const std::string& es = video[i].es;
    EXPECT_EQ(video[i].pts, static_cast<int64_t>(i) * 3000);
    EXPECT_EQ(video[i].dts, -1) << "no DTS without B-frames";
    EXPECT_EQ(es.substr(0, 5), std::string("\0\0\0\1\x09", 5)) << "access unit delimiter first";
    bool key = i % 15 == 0;
    EXPECT_EQ(es.find(std::string("\0\0\0\1\x67", 5)) != std::string::npos, key) << i;
    EXPECT_EQ(es.find(std::string("\0\0\0\1\x65", 5)) != std::string::npos, key) << i;
    if (!key) {
      EXPECT_NE(es.find(std::string("\0\0\0\1\x41", 5)), std::string::npos) << i;
    }
  }
  EXPECT_EQ(ReadPes(bytes, kAudioPid).front().es.substr(0, 2), "\xFF\xF1");

  // Telemetry of the second file: card seconds 2 and 3, camera clock t0 + 2 and t0 + 3.
  auto texts = ReadPes(ReadFile(media + "/" + expected[1]), kTelemetryPid);
  ASSERT_EQ(texts.size(), 2u);
  for (int s = 0; s < 2; ++s) {
    EXPECT_EQ(texts[s].pts, s * 90000);
    EXPECT_EQ(texts[s].es, BuildTelemetryText(RouteAt(5, 2 + s), t0 + 2 + s, true));
  }
  const std::string& text = texts[0].es;
  size_t rmc = text.find("$GPRMC,"), star = text.find('*');
  ASSERT_NE(rmc, std::string::npos);
  EXPECT_EQ(text.substr(star + 1, 2), Xor(text.substr(rmc, star - rmc + 1)));
  EXPECT_NE(text.find(",A,2404."), std::string::npos) << text; // ddmm.mmmm near the start point
  EXPECT_NE(text.find(",N,1203"), std::string::npos) << text;  // dddmm.mmmm
  EXPECT_NE(text.find(",010124,"), std::string::npos) << text; // UTC date of the camera clock here
  // The first second of the card has no fix.
  auto firstTexts = ReadPes(bytes, kTelemetryPid);
  ASSERT_EQ(firstTexts.size(), 2u);
  EXPECT_NE(firstTexts[0].es.find(",V,"), std::string::npos);
  EXPECT_EQ(firstTexts[1].es, BuildTelemetryText(RouteAt(5, 1), t0 + 1, true));

  // The route starts at rest at the start point and moves on smoothly.
  RoutePoint a = RouteAt(5, 0), b = RouteAt(5, 60);
  EXPECT_NEAR(a.latitude, kStartLatitude, 1e-9);
  EXPECT_NEAR(a.longitude, kStartLongitude, 1e-9);
  EXPECT_EQ(a.speedKnots, 0);
  EXPECT_GT(b.speedKnots, 1);
  EXPECT_GT(std::hypot(b.latitude - a.latitude, b.longitude - a.longitude), 0.0005);
  EXPECT_NEAR(b.gZ, 1.0, 0.6);
}

// Same arguments, same bytes (here with B-frames at 60 fps); --no-telemetry leaves the
// stream out of the program; bad arguments exit with status 2.
TEST(SampleCard, IsReproducibleAndChecksItsArguments) {
  TempDir one, two;
  const std::string args = "--files 2 --seconds 1 --size 320x240 --fps 60 --bframes --seed 9";
  const std::string a = MakeSampleCard(one.path(), args), b = MakeSampleCard(two.path(), args);
  ASSERT_EQ(ListTs(a), ListTs(b));
  ASSERT_EQ(ListTs(a).size(), 2u);
  for (const auto& name : ListTs(a)) {
    const std::string x = ReadFile(a + "/" + name);
    EXPECT_GT(x.size(), 10000u);
    EXPECT_TRUE(x == ReadFile(b + "/" + name)) << name;
  }
  auto video = ReadPes(ReadFile(a + "/" + ListTs(a)[0]), kVideoPid);
  ASSERT_EQ(video.size(), 60u);
  EXPECT_EQ(video[0].dts, 0);
  EXPECT_LT(video[0].pts, 3000) << "time stamps start near 0";
  for (const auto& pes : video) {
    EXPECT_GE(pes.dts, 0) << "every video PES has a DTS with B-frames";
    EXPECT_LE(pes.dts, pes.pts);
  }

  TempDir three;
  const std::string c = MakeSampleCard(three.path(), "--files 1 --seconds 1 --size 160x120 --no-telemetry");
  auto m = Probe(c + "/" + ListTs(c)[0]);
  EXPECT_EQ(m["programs.program.0.nb_streams"], "2");

  const std::string tool = "'" + BinDir() + "velmora-sample-card' ";
  const std::string out = "--out '" + one.path() + "/bad' ";
  EXPECT_EQ(testsupport::Run(tool + "--help"), 0);
  for (const char* bad : {"--fps 25", "--size 321x240", "--size 1280", "--start '2024-13-01 00:00:00'",
                          "--start 2024-06-01", "--files 0", "--files 2 --read-only 3", "--seconds x", "--bogus",
                          "--first-number 9999 --files 2"})
    EXPECT_EQ(testsupport::Run(tool + out + bad + " 2>/dev/null"), 2) << bad;
  EXPECT_EQ(testsupport::Run(tool + "--files 1 2>/dev/null"), 2) << "--out is required";
  EXPECT_FALSE(std::filesystem::exists(one.path() + "/bad"));
}

// The frame numbers come back from pictures decoded by ffmpeg and converted to BGRA,
// RGB565 and grey at other sizes; the sound is the tone of sample_constants.h.
TEST(SampleCard, FrameNumbersAndToneReadBack) {
  TempDir dir;
  const std::string media = MakeSampleCard(dir.path(), "--files 2 --seconds 2 --size 320x240");
  const std::string second = media + "/" + ListTs(media)[1]; // card frames 60 to 119
  struct Format {
    const char* pixFmt;
    PixelLayout layout;
    int w, h, bpp;
  };
  for (const Format f : {Format{"bgra", PixelLayout::kBgra32, 160, 120, 4},
                         Format{"rgb565le", PixelLayout::kRgb565, 200, 150, 2},
                         Format{"gray", PixelLayout::kLuma8, 320, 240, 1}}) {
    std::string raw;
    ASSERT_EQ(testsupport::Run("ffmpeg -v error -i '" + second + "' -vf scale=" + std::to_string(f.w) + ":" + std::to_string(f.h) +
                      " -f rawvideo -pix_fmt " + f.pixFmt + " -",
                  &raw),
              0);
    const size_t frameBytes = static_cast<size_t>(f.w) * f.h * f.bpp;
    ASSERT_EQ(raw.size(), 60 * frameBytes) << f.pixFmt;
    for (size_t i = 0; i < 60; ++i)
      EXPECT_EQ(DecodeFrameNumber(reinterpret_cast<const uint8_t*>(raw.data()) + i * frameBytes, f.w, f.h,
                                  f.w * f.bpp, f.layout),
                static_cast<int>(60 + i))
          << f.pixFmt << " frame " << i;
  }

  // No pattern, or a damaged one, reads as -1.
  std::vector<uint8_t> picture(160 * 120 * 4, 128);
  EXPECT_EQ(DecodeFrameNumber(picture.data(), 160, 120, 640, PixelLayout::kBgra32), -1);
  DrawFrameNumber(picture.data(), 160, 120, 640, PixelLayout::kBgra32, 123456);
  EXPECT_EQ(DecodeFrameNumber(picture.data(), 160, 120, 640, PixelLayout::kBgra32), 123456);
  for (int y = 0; y < 12; ++y) // invert data cell 10
    for (int x = 10 * 160 / 26; x < 11 * 160 / 26; ++x)
      for (int c = 0; c < 3; ++c) picture[static_cast<size_t>(y * 640 + x * 4 + c)] ^= 0xFF;
  EXPECT_EQ(DecodeFrameNumber(picture.data(), 160, 120, 640, PixelLayout::kBgra32), -1);

  // The tone: level and frequency of the decoded sound, away from the ends.
  std::string pcm;
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -i '" + second + "' -map 0:a -f s16le -ac 1 -ar 48000 -", &pcm), 0);
  std::vector<int16_t> s(pcm.size() / 2);
  std::memcpy(s.data(), pcm.data(), s.size() * 2);
  ASSERT_GT(s.size(), 90000u);
  double sum = 0;
  int rising = 0;
  const size_t from = 4096, to = 4096 + 48000;
  for (size_t i = from; i < to; ++i) {
    sum += static_cast<double>(s[i]) * s[i];
    rising += s[i - 1] < 0 && s[i] >= 0;
  }
  const double rms = std::sqrt(sum / (to - from)) / 32768.0;
  EXPECT_NEAR(20 * std::log10(rms * std::sqrt(2.0)), kToneDbfs, 0.5);
  EXPECT_NEAR(rising, kToneHz, 2);
}
