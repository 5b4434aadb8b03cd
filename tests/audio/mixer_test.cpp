#include <gtest/gtest.h>

#include "audio/mixer.h"
#include "tests/audio/audio_rig.h"

TEST(Mixer, ControlRangesMapLinearlyOntoTheVolume) {
  struct Case {
    long raw, min, max;
    uint32_t volume;
  } cases[] = {
      {0, 0, 100, 0},          {100, 0, 100, 65535},     {50, 0, 100, 32768},
      {-10239, -10239, 400, 0}, {400, -10239, 400, 65535}, {0, 0, 31, 0},
      {31, 0, 31, 65535},      {200, 0, 100, 65535},     {-5, 0, 100, 0}, // outside the range: clamped
      {7, 7, 7, 0},            // an empty range reads 0
  };
  for (const auto& c : cases) EXPECT_EQ(CMixer::ToVolume(c.raw, c.min, c.max), c.volume) << c.raw << " " << c.max;

  // Every raw value of a range comes back through the volume unchanged.
  for (auto [min, max] : {std::pair<long, long>{0, 31}, {0, 87}, {0, 65536}, {-10239, 400}})
    for (long raw = min; raw <= max; raw += std::max(1L, (max - min) / 997))
      ASSERT_EQ(CMixer::FromVolume(CMixer::ToVolume(raw, min, max), min, max), raw) << min << ".." << max;
  EXPECT_EQ(CMixer::FromVolume(70000, 0, 100), 100) << "volumes above 65535 count as 65535";
}

TEST(Mixer, VolumeSliderPositions) {
  struct Case {
    uint32_t volume;
    int position;
  } reads[] = {{65535, 0}, {65529, 0}, {65528, 1}, {2427, 26}, {2426, 27}, {0, 27}, {90000, 0}};
  for (const auto& c : reads) EXPECT_EQ(CMixer::SliderPosition(c.volume), c.position) << c.volume;
  for (int p = 0; p < CMixer::kSliderPositions; ++p)
    EXPECT_EQ(CMixer::SliderPosition(CMixer::SliderVolume(p)), p) << "a position set reads back the same";
  EXPECT_EQ(CMixer::SliderVolume(0), 65529u);
  EXPECT_EQ(CMixer::SliderVolume(27), 0u);
}

// Without any card (an ALSA configuration that defines none) the volume reads
// 0 and setting it does nothing, whichever device is asked for.
TEST(Mixer, WithoutACardTheVolumeReadsZeroAndCannotBeSet) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir / "asound.conf", "");
  audiorig::ScopedEnv config("ALSA_CONFIG_PATH", dir / "asound.conf");
  for (const char* device : {"default", "hw:0", "hw:99"}) {
    CMixer mixer(device);
    EXPECT_TRUE(mixer.IsReady()) << device;
    EXPECT_FALSE(mixer.HasControl()) << device;
    EXPECT_EQ(mixer.GetVolume(), 0u) << device;
    mixer.SetVolume(40000);
    EXPECT_EQ(mixer.GetVolume(), 0u) << device;
  }
}
