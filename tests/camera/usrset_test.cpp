#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "camera/usrset.h"
#include "tests/support/test_support.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Defaults with the date and time the dialog takes when opened at 2012-09-03 14:05.
CameraSettings OpenedAt20120903() {
  CameraSettings s = CameraSettings::Defaults();
  s.SetDateTime(2012, 9, 3, 14, 5);
  return s;
}

const UsrSetBytes kOpenedAt20120903 = {0x8A, 0x51, 0x5D, 0x25, 0x02, 0x09, 0x1B, 0x85,
                                       0x70, 0x50, 0x02, 0x04, 0x84, 0x02, 0x00, 0xFD};

UsrSetBytes WithCrc(UsrSetBytes b) {
  const uint32_t crc = UsrSetCrc(b.data() + 4, 12);
  for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return b;
}

std::string Bytes(const UsrSetBytes& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

} // namespace

TEST(UsrSet, CrcIsZlibs) {
  EXPECT_EQ(UsrSetCrc(reinterpret_cast<const uint8_t*>("abc"), 3), 0x352441C2u);
}

TEST(UsrSet, DefaultsOpenedAtAKnownTimeGiveTheKnownBytes) {
  EXPECT_EQ(EncodeUsrSet(OpenedAt20120903()), kOpenedAt20120903);

  CameraSettings back;
  ASSERT_EQ(DecodeUsrSet(kOpenedAt20120903.data(), 16, &back), UsrSetStatus::Ok);
  CameraSettings want = OpenedAt20120903();
  want.setTime = true; // a stored date other than 1980-01-01 00:00 is a time to set
  EXPECT_EQ(back, want);
}

TEST(UsrSet, NoTimeDateAndDatesThatAreNoDatesReadAsAClearedBox) {
  struct Case {
    int y, mo, d, h, mi;
    bool setTime;
  } cases[] = {
      {1980, 1, 1, 0, 0, false},   // the camera keeps its clock
      {1980, 1, 1, 0, 1, true},
      {2024, 2, 29, 23, 59, true}, // leap day
      {2023, 2, 29, 12, 0, false}, // no such day
      {2020, 13, 1, 0, 0, false},
      {2020, 0, 1, 0, 0, false},
      {2020, 5, 1, 25, 0, false},
      {2020, 5, 0, 0, 0, false},
      {2020, 5, 1, 0, 63, false},
  };
  for (const Case& c : cases) {
    CameraSettings s = CameraSettings::Defaults();
    s.SetDateTime(c.y, c.mo, c.d, c.h, c.mi);
    const UsrSetBytes bytes = EncodeUsrSet(s);
    CameraSettings back;
    ASSERT_EQ(DecodeUsrSet(bytes.data(), bytes.size(), &back), UsrSetStatus::Ok);
    EXPECT_EQ(back.setTime, c.setTime) << c.y << "-" << c.mo << "-" << c.d << " " << c.h << ":" << c.mi;
    // The stored bits are kept, so that writing back changes nothing.
    EXPECT_EQ(EncodeUsrSet(back), bytes);
  }
}

TEST(UsrSet, DamagedFilesChangeNothing) {
  UsrSetBytes wrongMarker = kOpenedAt20120903;
  wrongMarker[15] = 0xFE;
  wrongMarker = WithCrc(wrongMarker);
  UsrSetBytes wrongCrc = kOpenedAt20120903;
  wrongCrc[3] ^= 1;
  UsrSetBytes flipped = kOpenedAt20120903;
  flipped[9] ^= 0x10;
  struct Case {
    UsrSetBytes bytes;
    size_t size;
    UsrSetStatus status;
  } cases[] = {
      {wrongMarker, 16, UsrSetStatus::Marker},
      {wrongCrc, 16, UsrSetStatus::Crc},
      {flipped, 16, UsrSetStatus::Crc},
      {kOpenedAt20120903, 15, UsrSetStatus::Short},
      {kOpenedAt20120903, 0, UsrSetStatus::Short},
  };
  for (const Case& c : cases) {
    CameraSettings s = CameraSettings::Defaults();
    s.index[kCamEffect] = 2;
    const CameraSettings before = s;
    EXPECT_EQ(DecodeUsrSet(c.bytes.data(), c.size, &s), c.status);
    EXPECT_EQ(s, before);
  }
  // 0xFC is the camera's own marker and is read like 0xFD.
  UsrSetBytes camera = kOpenedAt20120903;
  camera[15] = 0xFC;
  camera = WithCrc(camera);
  CameraSettings s;
  EXPECT_EQ(DecodeUsrSet(camera.data(), 16, &s), UsrSetStatus::Ok);
}

TEST(UsrSet, LargestIndexesRoundTrip) {
  CameraSettings lists = CameraSettings::Defaults(), fields = lists;
  for (size_t i = 0; i < kCameraOptionCount; ++i) {
    lists.index[i] = static_cast<int>(CameraOptions()[i].entries.size()) - 1;
    fields.index[i] = (1 << CameraOptions()[i].bits) - 1; // values the lists cannot show survive too
  }
  for (CameraSettings* s : {&lists, &fields}) {
    s->SetDateTime(2235, 12, 31, 23, 59);
    s->setTime = true;
    const UsrSetBytes bytes = EncodeUsrSet(*s);
    CameraSettings back;
    ASSERT_EQ(DecodeUsrSet(bytes.data(), 16, &back), UsrSetStatus::Ok);
    EXPECT_EQ(back, *s);
    EXPECT_EQ(bytes[14] & 0x3F, 0);
  }
}

TEST(UsrSet, OutOfRangeValuesStayInsideTheirOwnField) {
  const CameraSettings base = OpenedAt20120903();
  for (int option = 0; option < kCameraOptionCount; ++option) {
    for (int bad : {-1, 1 << CameraOptions()[static_cast<size_t>(option)].bits, 1000}) {
      CameraSettings s = base;
      s.index[static_cast<size_t>(option)] = bad;
      const UsrSetBytes bytes = EncodeUsrSet(s);
      CameraSettings back;
      ASSERT_EQ(DecodeUsrSet(bytes.data(), 16, &back), UsrSetStatus::Ok);
      const int mask = (1 << CameraOptions()[static_cast<size_t>(option)].bits) - 1;
      CameraSettings want = base;
      want.setTime = true;
      want.index[static_cast<size_t>(option)] = bad & mask;
      EXPECT_EQ(back, want) << CameraOptions()[static_cast<size_t>(option)].name << " = " << bad;
    }
  }
  // Years outside what the file holds are kept at its ends.
  struct {
    int year, stored;
  } years[] = {{1979, 1980}, {1900, 1980}, {2236, 2235}, {3000, 2235}};
  for (auto y : years) {
    CameraSettings s = base;
    s.year = y.year;
    const UsrSetBytes bytes = EncodeUsrSet(s);
    CameraSettings back;
    ASSERT_EQ(DecodeUsrSet(bytes.data(), 16, &back), UsrSetStatus::Ok);
    EXPECT_EQ(back.year, y.stored);
    EXPECT_EQ(back.month, 9);
    EXPECT_EQ(back.index[kCamLanguage], 0);
  }
}

TEST(UsrSetFile, WriteReplacesTheFileWholeAndReadsBack) {
  TempDir card;
  CameraSettings s = OpenedAt20120903();
  EXPECT_EQ(ReadUsrSetFile(card.path(), &s), UsrSetStatus::Missing);
  WriteFile(card / "usrset.dat", "short");
  EXPECT_EQ(ReadUsrSetFile(card.path() + "/", &s), UsrSetStatus::Short);
  EXPECT_EQ(s, OpenedAt20120903());

  s.index[kCamPicPeriod] = 4;
  ASSERT_TRUE(WriteUsrSetFile(card.path(), s));
  EXPECT_EQ(testsupport::SortedFiles(card.path()), std::vector<std::string>{card / "usrset.dat"});
  CameraSettings back;
  ASSERT_EQ(ReadUsrSetFile(card.path(), &back), UsrSetStatus::Ok);
  EXPECT_EQ(back.index[kCamPicPeriod], 4);
  EXPECT_EQ(ReadFile(card / "usrset.dat"), Bytes(EncodeUsrSet(s)));
}

TEST(UsrSetFile, FailedWriteReportsAndLeavesNothingBehind) {
  TempDir dir;
  EXPECT_FALSE(WriteUsrSetFile(dir / "no-such-card", CameraSettings::Defaults()));
  // A folder in the file's place cannot be replaced: the write fails and no new file stays.
  std::filesystem::create_directory(dir / "usrset.dat");
  EXPECT_FALSE(WriteUsrSetFile(dir.path(), CameraSettings::Defaults()));
  EXPECT_EQ(testsupport::SortedFiles(dir.path()), std::vector<std::string>{dir / "usrset.dat"});
}

TEST(UsrSet, NamesAndValuesAreFoundAsTheDialogShowsThem) {
  EXPECT_EQ(FindCameraOption("Unit Of Speed"), kCamSpeedUnit);
  EXPECT_EQ(FindCameraOption("unit_of_speed"), kCamSpeedUnit);
  EXPECT_EQ(FindCameraOption("REC_G-SENSOR_SEN:"), kCamRecGLevel);
  EXPECT_EQ(FindCameraOption("Speed"), -1);
  EXPECT_EQ(FindCameraValue(kCamRecResolution, "1280X720_60FPS"), 1);
  EXPECT_EQ(FindCameraValue(kCamTimeZone, "5:45"), 24);
  EXPECT_EQ(FindCameraValue(kCamTimeZone, "5:46"), -1);
  EXPECT_EQ(CameraValueText(kCamLanguage, 12), "KOREA");
  EXPECT_EQ(CameraValueText(kCamLanguage, 14), "(14)");
}
