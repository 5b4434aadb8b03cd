#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "camera/card_volume.h"
#include "camera/sd_set_logic.h"
#include "platform/files.h"
#include "tests/camera/camera_rig.h"
#include "tests/support/test_support.h"

using namespace camerarig;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

constexpr LocalDateTime kOpenedAt{2012, 9, 3, 14, 5};

std::string Root(const std::string& folder) { return folder + "/"; }

bool Contains(const Log& log, const std::string& entry) {
  for (const std::string& e : log)
    if (e.find(entry) != std::string::npos) return true;
  return false;
}

// Two cards: a plain stick and a camera card (with DCIM), as the system lists them.
struct TwoCards {
  TempDir dir;
  std::string stick = dir / "STICK", card = dir / "CARD";
  ScopedCards cards{stick + ":" + card};
  Log log;
  ScriptedPrompts prompts{log};
  FakePanel panel{log};
  FakeDisks disks{log};
  SdSetLogic logic{prompts, &panel, &disks};

  TwoCards() {
    fs::create_directories(stick);
    fs::create_directories(card + "/DCIM/100MEDIA");
    WriteFile(card + "/DCIM/100MEDIA/A_0001.ts", "ts");
  }
  void Open() { logic.Open(kOpenedAt); }
};

} // namespace

TEST(SdSetLogic, OpenPrefersTheCameraCardAndSetWritesTheOpeningTime) {
  TwoCards t;
  t.Open();
  ASSERT_EQ(t.logic.Volumes().size(), 2u);
  EXPECT_EQ(t.logic.Selected(), 1);
  EXPECT_EQ(t.logic.LoadProblem(), "missing");
  EXPECT_FALSE(t.logic.Values().setTime);
  ASSERT_TRUE(t.logic.Set());
  EXPECT_EQ(t.log, Log{"inform:Save Success"});
  const UsrSetBytes want = {0x8A, 0x51, 0x5D, 0x25, 0x02, 0x09, 0x1B, 0x85,
                            0x70, 0x50, 0x02, 0x04, 0x84, 0x02, 0x00, 0xFD};
  EXPECT_EQ(ReadFile(t.card + "/usrset.dat"), std::string(want.begin(), want.end()));
}

TEST(SdSetLogic, LoadChangeSetReadBackAndAFailedWriteSaysSo) {
  TwoCards t;
  CameraSettings stored = CameraSettings::Defaults();
  stored.index[kCamLanguage] = 14; // not in the list: kept as it is
  stored.index[kCamTimeZone] = 39;
  stored.SetDateTime(2030, 2, 31, 9, 9); // no date: shown as a cleared box, bits kept
  ASSERT_TRUE(WriteUsrSetFile(t.card, stored));
  t.Open();
  EXPECT_EQ(t.logic.Values().index[kCamTimeZone], 39);
  EXPECT_FALSE(t.logic.Values().setTime);
  t.logic.SetIndex(kCamEffect, 2);
  t.logic.SetIndex(kCamSpeedUnit, -1); // an empty selection changes nothing
  ASSERT_TRUE(t.logic.Set());
  CameraSettings back;
  ASSERT_EQ(ReadUsrSetFile(t.card, &back), UsrSetStatus::Ok);
  stored.index[kCamEffect] = 2;
  EXPECT_EQ(back.index, stored.index);
  EXPECT_EQ(back.day, 31);

  // Choosing the stick (no file) keeps the values; Set there fails when the card is gone.
  t.logic.SelectVolume(0);
  EXPECT_EQ(t.logic.Values().index[kCamEffect], 2);
  fs::remove_all(t.stick);
  t.log.clear();
  EXPECT_FALSE(t.logic.Set());
  EXPECT_EQ(t.log, Log{"inform:Save Error"});
}

TEST(SdSetLogic, SetTimeBoxAndDefaultThenCancelWriteNothing) {
  TwoCards t;
  t.Open();
  t.logic.SetTimeChecked(true, {2020, 1, 2, 3, 4});
  EXPECT_TRUE(t.logic.Values().setTime);
  EXPECT_EQ(t.logic.Values().year, 2020);
  t.logic.SetTimeChecked(false, {2020, 1, 2, 3, 4});
  EXPECT_TRUE(t.logic.Values().IsNoTime());

  CameraSettings stored = CameraSettings::Defaults();
  stored.index[kCamWhiteBalance] = 3;
  ASSERT_TRUE(WriteUsrSetFile(t.card, stored));
  const std::string before = ReadFile(t.card + "/usrset.dat");
  t.logic.SelectVolume(1);
  t.prompts.answers = {false, true};
  t.logic.Default(kOpenedAt); // No: nothing changes
  EXPECT_EQ(t.logic.Values().index[kCamWhiteBalance], 3);
  t.logic.Default(kOpenedAt);
  EXPECT_EQ(t.logic.Values().index[kCamWhiteBalance], 0);
  EXPECT_EQ(t.logic.Values().year, 2012);
  EXPECT_EQ(ReadFile(t.card + "/usrset.dat"), before); // Cancel is only closing the dialog
}

TEST(SdSetLogic, NoCardIsReportedOnOpenAndOnEveryButton) {
  TempDir dir;
  ScopedCards none(dir / "absent");
  Log log;
  ScriptedPrompts prompts(log);
  SdSetLogic logic(prompts, nullptr, nullptr);
  if (!ListCardVolumes().empty()) GTEST_SKIP() << "a removable volume is mounted on this machine";
  logic.Open(kOpenedAt);
  EXPECT_FALSE(logic.Set());
  logic.Format();
  logic.Clear();
  EXPECT_EQ(log, Log(4, "inform:Record SD Card Not Find"));
}

TEST(SdSetLogic, ClearRemovesWhatItCanAndCountsWhatStayed) {
  TwoCards t;
  TempDir outside;
  WriteFile(outside / "keep.txt", "keep");
  fs::create_directories(t.card + "/DCIM/LOCKED");
  WriteFile(t.card + "/DCIM/LOCKED/stuck.ts", "x");
  WriteFile(t.card + "/usrset.dat", "old");
  fs::create_symlink(outside.path(), t.card + "/link-out");
  fs::create_symlink(outside / "keep.txt", t.card + "/DCIM/file-link");
  t.Open();
  t.panel.playing = t.card + "/DCIM/100MEDIA/A_0001.ts";

  t.prompts.answers = {false};
  t.logic.Clear();
  EXPECT_TRUE(fs::exists(t.card + "/usrset.dat"));
  EXPECT_TRUE(Contains(t.log, "confirm:Are you sure to Clear it?"));
  EXPECT_TRUE(Contains(t.log, t.logic.Volumes()[1].label + ", "));
  EXPECT_TRUE(Contains(t.log, Root(t.card)));
  EXPECT_FALSE(Contains(t.log, "stop"));

  const bool locked = MakeUndeletable(t.card + "/DCIM/LOCKED", t.card + "/DCIM/LOCKED/stuck.ts");
  t.log.clear();
  t.prompts.answers = {true};
  t.logic.Clear();
  Release(t.card + "/DCIM/LOCKED", t.card + "/DCIM/LOCKED/stuck.ts");
  ASSERT_GE(t.log.size(), 3u);
  EXPECT_EQ(t.log[1], "stop"); // playback stops before anything is deleted
  EXPECT_TRUE(fs::is_directory(t.card)); // the root itself stays
  EXPECT_EQ(ReadFile(outside / "keep.txt"), "keep"); // links are not followed
  EXPECT_FALSE(fs::exists(t.card + "/usrset.dat"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(t.card + "/link-out")));
  if (locked) {
    // The file and the two folders above it stay.
    EXPECT_EQ(t.log.back(), "inform:Clear Fail\nItems that could not be deleted: 3");
    EXPECT_EQ(testsupport::SortedFiles(t.card), std::vector<std::string>{t.card + "/DCIM"});
  } else {
    EXPECT_EQ(t.log.back(), "inform:Clear Success");
  }
  t.log.clear();
  t.prompts.answers = {true};
  t.logic.Clear();
  EXPECT_EQ(t.log.back(), "inform:Clear Success");
  EXPECT_TRUE(testsupport::SortedFiles(t.card).empty());
}

TEST(SdSetLogic, ClearAndFormatRefuseWhatIsNotACardOrIsInUse) {
  TempDir dir;
  const std::string home = platform::HomeFolder();
  const std::string real = dir / "real";
  fs::create_directories(real + "/DCIM");
  fs::create_symlink(real, dir / "linked");
  for (const std::string& root : {std::string("/"), home, dir / "linked"}) {
    ScopedCards cards(root);
    std::string why;
    EXPECT_FALSE(IsCardRoot(root, &why)) << root;
    Log log;
    ScriptedPrompts prompts(log);
    prompts.answers = {true, true};
    SdSetLogic logic(prompts, nullptr, nullptr);
    logic.Open(kOpenedAt);
    ASSERT_EQ(logic.Selected(), 0) << root;
    logic.Clear();
    logic.Format();
    EXPECT_FALSE(Contains(log, "confirm:")) << root;
    EXPECT_TRUE(Contains(log, "This is not the root of a memory card")) << root;
  }
  EXPECT_TRUE(fs::exists(real + "/DCIM"));
  // A folder that is not listed as removable is no card either.
  EXPECT_FALSE(IsCardRoot(real));

  // An export reading from the card stops both.
  TwoCards t;
  t.Open();
  t.panel.exports = {"/home/x/out.nts", t.card + "/DCIM/100MEDIA/A_0001.ts"};
  t.prompts.answers = {true, true};
  t.logic.Clear();
  t.logic.Format();
  EXPECT_EQ(t.log, Log(2, "inform:An export is using this card; wait until it has finished."));
  EXPECT_TRUE(fs::exists(t.card + "/DCIM/100MEDIA/A_0001.ts"));
}

TEST(CardVolume, PathsOnARootCompareWholeFolders) {
  struct Case {
    const char* path;
    const char* root;
    bool on;
  } cases[] = {
      {"/media/u/CARD/DCIM/100MEDIA/a.ts", "/media/u/CARD/", true},
      {"/media/u/CARD/DCIM/100MEDIA/a.ts", "/media/u/CARD", true},
      {"/media/u/CARD2/DCIM/a.ts", "/media/u/CARD/", false},
      {"/media/u/CARD/../OTHER/a.ts", "/media/u/CARD/", false},
      {"/media/u/CARD", "/media/u/CARD/", true},
      {"/med/a.ts", "/media/", false},
      {"", "/media/u/CARD/", false},
  };
  for (const Case& c : cases) EXPECT_EQ(PathIsOn(c.path, c.root), c.on) << c.path << " on " << c.root;
}

TEST(SdSetLogic, FormatConfirmsTheDeviceStopsPlaybackAndReports) {
  TwoCards t;
  platform::BlockDevice dev;
  dev.object = "/org/freedesktop/UDisks2/block_devices/sdz1";
  dev.device = "/dev/sdz1";
  dev.label = "CAMCARD";
  dev.size = 8ull << 30;
  dev.removable = true;
  dev.mountPoints = {Root(t.card)};
  t.disks.device = dev;
  t.Open();
  t.panel.playing = t.card + "/DCIM/100MEDIA/A_0001.ts";

  // No disk service: said plainly, nothing asked or done.
  t.disks.available = false;
  t.logic.Format();
  ASSERT_EQ(t.log.size(), 1u);
  EXPECT_TRUE(Contains(t.log, "UDisks2 is not available"));
  t.disks.available = true;

  // A device that is not removable, or a system device, is refused before any question.
  for (auto spoil : {+[](platform::BlockDevice& d) { d.removable = false; },
                     +[](platform::BlockDevice& d) { d.system = true; },
                     +[](platform::BlockDevice& d) { d.mountPoints.push_back("/"); }}) {
    platform::BlockDevice bad = dev;
    spoil(bad);
    t.disks.device = bad;
    t.log.clear();
    t.logic.Format();
    EXPECT_EQ(t.log, Log{"inform:The device is not a removable card; it is not formatted.\n/dev/sdz1"});
  }
  t.disks.device = dev;

  // No: nothing happens. The question names device, label, size and mount point.
  t.log.clear();
  t.logic.Format();
  EXPECT_EQ(t.log, Log{"confirm:Are you sure to Format it?\n\nDevice: /dev/sdz1\nCAMCARD, 8.0 GiB, " + Root(t.card)});

  // Yes, and the format fails.
  t.disks.formatError = "device busy";
  t.log.clear();
  t.prompts.answers = {true};
  t.logic.Format();
  EXPECT_EQ(t.log, (Log{t.log[0], "stop", "unmount", "format:vfat:CAMCARD", "mount",
                        "inform:Format Fail\n/dev/sdz1: device busy"}));

  // A large card gets exFAT; success is reported.
  t.disks.formatError.clear();
  t.disks.device->size = 64ull << 30;
  t.log.clear();
  t.prompts.answers = {true};
  t.logic.Format();
  EXPECT_EQ(t.log, (Log{t.log[0], "unmount", "format:exfat:CAMCARD", "mount", "inform:Format Success"}));
  EXPECT_EQ(t.logic.Volumes()[static_cast<size_t>(t.logic.Selected())].root, Root(t.card));
}

TEST(CardVolume, ClearStaysOnTheCardsOwnFileSystem) {
  TempDir dir;
  const std::string inner = dir / "card/mnt";
  fs::create_directories(inner);
  WriteFile(dir / "card/a.ts", "a");
  if (::geteuid() != 0 || std::system(("mount -t tmpfs -o size=1m velmora-test " + inner + " 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a file system inside the card here";
  WriteFile(inner + "/other.txt", "other");
  const ClearResult r = ClearCard(dir / "card");
  const bool kept = fs::exists(inner + "/other.txt");
  std::system(("umount " + inner).c_str());
  EXPECT_TRUE(kept);
  EXPECT_EQ(r.removed, 1);
  EXPECT_EQ(r.failed, 1);
  EXPECT_FALSE(fs::exists(dir / "card/a.ts"));
}
