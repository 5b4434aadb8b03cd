#include <gtest/gtest.h>

#include <filesystem>

#include "camera/usrset.h"
#include "tests/support/test_support.h"

using testsupport::ReadFile;
using testsupport::Run;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

int Camera(const std::string& args, std::string* out) {
  return Run(testsupport::BinDir() + "velmora-cli camera " + args + " 2>&1", out);
}

} // namespace

TEST(CliCamera, WritesTheFileAndShowsItBack) {
  TempDir card;
  std::string out;
  EXPECT_EQ(Camera(card.path(), &out), 1);
  EXPECT_NE(out.find("usrset.dat is missing"), std::string::npos) << out;

  ASSERT_EQ(Camera(card.path() + " --write --time 2012-09-03T14:05", &out), 0) << out;
  const UsrSetBytes want = {0x8A, 0x51, 0x5D, 0x25, 0x02, 0x09, 0x1B, 0x85,
                            0x70, 0x50, 0x02, 0x04, 0x84, 0x02, 0x00, 0xFD};
  EXPECT_EQ(ReadFile(card / "usrset.dat"), std::string(want.begin(), want.end()));

  // Changes start from the card's file; names and values in any case, '_' for a space.
  ASSERT_EQ(Camera(card.path() + " --write --no-time unit_of_speed=mph REC_RESOLUTION=1280x720_60FPS 'Time_Zone=5:45'", &out), 0) << out;
  ASSERT_EQ(Camera(card.path(), &out), 0) << out;
  for (const char* line : {"Unit Of Speed: MPH\n", "REC_Resolution: 1280x720 60fps\n", "Time_Zone: 5:45\n",
                           "Frequency: 60Hz\n", "Set_Time: off\n", "Data_Time: 1980/01/01 00:00\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << out;

  // Without a time the current time is written and the box is cleared.
  ASSERT_EQ(Camera(card.path() + " --write", &out), 0) << out;
  EXPECT_EQ(out.find("Data_Time: 1980/"), std::string::npos) << out;
}

TEST(CliCamera, RefusesUnknownNamesAndValuesAndSaysWhyAFileIsDamaged) {
  TempDir card;
  std::string out;
  EXPECT_EQ(Camera(card.path() + " --write Speed=KMH", &out), 2);
  EXPECT_NE(out.find("the settings are: Language, Time_Zone,"), std::string::npos) << out;
  EXPECT_EQ(Camera(card.path() + " --write MIC=maybe", &out), 2);
  EXPECT_NE(out.find("the values are: OFF, ON"), std::string::npos) << out;
  EXPECT_EQ(Camera(card.path() + " --write --time 2012-02-30T10:00", &out), 2);
  EXPECT_FALSE(std::filesystem::exists(card / "usrset.dat")); // nothing written

  UsrSetBytes bytes = EncodeUsrSet(CameraSettings::Defaults());
  struct Case {
    size_t at;
    uint8_t value;
    size_t size;
    const char* reason;
  } cases[] = {{2, 0x00, 16, "damaged: CRC does not match"}, {15, 0xFE, 16, "damaged: wrong marker 0xFE"},
               {0, bytes[0], 9, "damaged: short"}};
  for (const Case& c : cases) {
    UsrSetBytes b = bytes;
    b[c.at] = c.value;
    WriteFile(card / "usrset.dat", std::string(b.begin(), b.begin() + static_cast<long>(c.size)));
    EXPECT_EQ(Camera(card.path(), &out), 1);
    EXPECT_NE(out.find(c.reason), std::string::npos) << out;
  }
}
