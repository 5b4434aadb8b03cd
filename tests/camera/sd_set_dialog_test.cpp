#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QPushButton>
#include <filesystem>

#include "app/settings.h"
#include "camera/sd_set_dialog.h"
#include "tests/camera/camera_rig.h"
#include "tests/support/test_support.h"

using namespace camerarig;
using testsupport::ReadFile;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

class SdSetDialogTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "sd_set_dialog_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() { delete app_; }
  void SetUp() override {
    ResetSettings(dir.path());
    fs::create_directories(card + "/DCIM/100MEDIA");
  }
  QComboBox* List(CDlgSDSet& d, int id) { return static_cast<QComboBox*>(d.Control(id)); }
  void Click(CDlgSDSet& d, int id) { static_cast<QPushButton*>(d.Control(id))->click(); }

  static QApplication* app_;
  TempDir dir;
  std::string card = dir / "CARD";
  ScopedCards cards{card};
  Log log;
  ScriptedPrompts prompts{log};
  FakePanel panel{log};
};
QApplication* SdSetDialogTest::app_ = nullptr;

} // namespace

TEST_F(SdSetDialogTest, FillsOnceAfterOpeningThenLoadsChangesAndSets) {
  CameraSettings stored = CameraSettings::Defaults();
  stored.index[kCamWhiteBalance] = 4;
  stored.index[kCamLanguage] = 15; // not in the list
  stored.SetDateTime(2020, 5, 6, 7, 8);
  ASSERT_TRUE(WriteUsrSetFile(card, stored));

  CDlgSDSet dialog(&panel, nullptr, &prompts);
  EXPECT_EQ(List(dialog, 1009)->count(), 0);
  QElapsedTimer waited;
  waited.start();
  while (List(dialog, 1009)->count() == 0 && waited.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_EQ(List(dialog, 1009)->count(), 5);
  EXPECT_GE(waited.elapsed(), 900);

  // Every control the handlers and the panel address by id is there, of its kind.
  for (const CameraOptionInfo& o : CameraOptions()) {
    EXPECT_NE(qobject_cast<QComboBox*>(dialog.Control(o.listId)), nullptr) << o.listId;
    EXPECT_NE(dialog.Control(o.labelId), nullptr) << o.labelId;
  }
  for (int id : {1, 2, 3, 4, 5}) EXPECT_NE(qobject_cast<QPushButton*>(dialog.Control(id)), nullptr) << id;
  for (int id : {1021, 1022, 1023, 1024, 1025, 1026, 1027, 1032, 1045, 1048})
    EXPECT_NE(dialog.Control(id), nullptr) << id;
  EXPECT_NE(qobject_cast<QCheckBox*>(dialog.Control(1049)), nullptr);
  EXPECT_NE(qobject_cast<QDateTimeEdit*>(dialog.Control(1005)), nullptr);

  EXPECT_EQ(List(dialog, 1021)->count(), 1);
  EXPECT_TRUE(List(dialog, 1021)->currentText().endsWith(QString::fromStdString(card + "/)")));
  EXPECT_EQ(List(dialog, 1009)->currentText(), "TUNGSTEN");
  EXPECT_EQ(List(dialog, 1002)->currentIndex(), -1); // shown blank, kept
  EXPECT_EQ(List(dialog, 1006)->count(), 40);
  EXPECT_EQ(List(dialog, 1006)->currentText(), "8");
  auto* box = static_cast<QCheckBox*>(dialog.Control(1049));
  auto* picker = static_cast<QDateTimeEdit*>(dialog.Control(1005));
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(picker->isEnabled());
  EXPECT_EQ(picker->text(), "2020/05/06 07:08");

  List(dialog, 1018)->setCurrentIndex(3); // "5 min"
  picker->setDateTime(QDateTime(QDate(2021, 1, 2), QTime(3, 4)));
  Click(dialog, 1);
  EXPECT_EQ(log, Log{"inform:Save Success"});
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  CameraSettings back;
  ASSERT_EQ(ReadUsrSetFile(card, &back), UsrSetStatus::Ok);
  EXPECT_EQ(back.index[kCamPicPeriod], 3);
  EXPECT_EQ(back.index[kCamWhiteBalance], 4);
  EXPECT_EQ(back.index[kCamLanguage], 15);
  EXPECT_EQ(back.year, 2021);
  EXPECT_EQ(back.minute, 4);

  // Clearing the box shows 1980-01-01 00:00 in a disabled picker.
  box->setChecked(false);
  EXPECT_FALSE(picker->isEnabled());
  EXPECT_EQ(picker->text(), "1980/01/01 00:00");
  EXPECT_TRUE(dialog.Logic().Values().IsNoTime());
}

TEST_F(SdSetDialogTest, DefaultThenCancelLeavesTheFileAndButtonsReachTheirRules) {
  CameraSettings stored = CameraSettings::Defaults();
  stored.index[kCamEffect] = 1;
  ASSERT_TRUE(WriteUsrSetFile(card, stored));
  const std::string before = ReadFile(card + "/usrset.dat");
  CDlgSDSet dialog(&panel, nullptr, &prompts);
  dialog.SetClock([] { return LocalDateTime{2012, 9, 3, 14, 5}; });
  dialog.FillNow();
  EXPECT_EQ(List(dialog, 1010)->currentText(), "GRAYSCALE");
  EXPECT_FALSE(static_cast<QCheckBox*>(dialog.Control(1049))->isChecked()); // 1980-01-01 00:00 stored

  prompts.answers = {true};
  Click(dialog, 3);
  EXPECT_EQ(List(dialog, 1010)->currentText(), "COLOR");
  EXPECT_EQ(dialog.Logic().Values().year, 2012);
  Click(dialog, 2);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(ReadFile(card + "/usrset.dat"), before);

  // Format without a disk service says so; Clear asks, naming the card.
  log.clear();
  Click(dialog, 4);
  Click(dialog, 5);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find("UDisks2 is not available"), std::string::npos);
  EXPECT_NE(log[1].find("confirm:Are you sure to Clear it?"), std::string::npos);
  EXPECT_NE(log[1].find(card + "/"), std::string::npos);
  EXPECT_TRUE(fs::exists(card + "/DCIM"));
}
