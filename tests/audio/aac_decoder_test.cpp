#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "audio/aac_decoder.h"
#include "tests/audio/audio_rig.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;

namespace {


// Frequency by counting rising zero crossings, and peak level.
void Measure(const std::vector<int16_t>& s, double& hz, int& peak) {
  int crossings = 0;
  peak = 0;
  for (size_t i = 1; i < s.size(); ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) ++crossings;
    peak = std::max(peak, std::abs(static_cast<int>(s[i])));
  }
  hz = crossings * 48000.0 / static_cast<double>(s.size());
}

} // namespace

TEST(AacDecoder, AnyLayoutAndRateBecomesMono48k) {
  TempDir dir;
  struct Case {
    const char* name;
    const char* args; // ffmpeg audio encoding
  } cases[] = {
      {"mono48k", "-ac 1 -ar 48000"},
      {"stereo48k", "-ac 2 -ar 48000"},
      {"stereo44k", "-ac 2 -ar 44100"},
      {"mono22k", "-ac 1 -ar 22050"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = dir / (std::string(c.name) + ".ts");
    ASSERT_EQ(testsupport::Run(std::string("ffmpeg -v error -f lavfi -i sine=frequency=1000:sample_rate=48000 -t 2 "
                                           "-c:a aac ") + c.args + " -f mpegts '" + out + "'"),
              0);
    AacDecoder dec;
    ASSERT_TRUE(dec.Open());
    std::vector<int16_t> pcm;
    for (const auto& pes : audiorig::AudioFrames(out))
      EXPECT_TRUE(dec.Decode(reinterpret_cast<const uint8_t*>(pes.data()), pes.size(), pcm));
    // Two seconds of sound at 48000 Hz (the encoder adds up to two frames of delay).
    EXPECT_NEAR(static_cast<double>(pcm.size()), 96000, 3 * 1024 * 48000.0 / 22050);
    std::vector<int16_t> middle(pcm.begin() + 4800, pcm.begin() + 4800 + 48000);
    double hz;
    int peak;
    Measure(middle, hz, peak);
    EXPECT_NEAR(hz, 1000, 3);
    EXPECT_GT(peak, 2000); // the source is at -18 dBFS; a stereo down-mix is a little quieter
  }
}

TEST(AacDecoder, DamagedInputIsReportedAndDecodingGoesOn) {
  AacDecoder dec;
  ASSERT_TRUE(dec.Open());
  std::vector<int16_t> pcm;
  std::string junk(3000, '\x5A');
  dec.Decode(reinterpret_cast<const uint8_t*>(junk.data()), junk.size(), pcm);
  EXPECT_TRUE(pcm.empty());
  TempDir dir;
  std::string out = dir / "a.ts";
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i sine=frequency=500:sample_rate=48000 -t 1 -c:a aac -ac 1 "
                             "-f mpegts '" + out + "'"),
            0);
  for (const auto& pes : audiorig::AudioFrames(out))
    dec.Decode(reinterpret_cast<const uint8_t*>(pes.data()), pes.size(), pcm);
  EXPECT_GT(pcm.size(), 40000u);
}
