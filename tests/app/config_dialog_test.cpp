#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/config/config_dialog.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;

namespace {

class Messages : public UserPrompts {
public:
  void Inform(const std::string& text) override { shown.push_back(text); }
  bool Confirm(const std::string&) override { return false; }
  std::vector<std::string> shown;
};

class Panel : public PanelRefresh {
public:
  void RefreshSpeedUnit() override { ++refreshes; }
  void RefreshLanguageTexts() override { ++refreshes; }
  int refreshes = 0;
};

class ConfigDialogTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "config_dialog_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() { delete app_; }
  void SetUp() override {
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(v);
    ResetSettings(dir.path());
    Settings().uiMode = Settings().savedUiMode = 0;
    Settings().snapshotFolder = "/tmp/shots/";
  }
  static QComboBox* List(CConfigDlg& d, int id) { return static_cast<QComboBox*>(d.Control(id)); }
  static QLineEdit* Edit(CConfigDlg& d, int id) { return static_cast<QLineEdit*>(d.Control(id)); }
  static void Click(CConfigDlg& d, int id) { static_cast<QPushButton*>(d.Control(id))->click(); }

  static QApplication* app_;
  TempDir dir;
  Messages messages;
  Panel panel;
};
QApplication* ConfigDialogTest::app_ = nullptr;

} // namespace

TEST_F(ConfigDialogTest, UiModeChoiceFallsBackOnSmallScreens) {
  struct Case {
    int width, height, shown;
    const char* message;
  } cases[] = {{1600, 900, 1, configtext::kLess1920}, {1024, 768, 0, configtext::kLess1280}};
  for (const Case& c : cases) {
    messages.shown.clear();
    CConfigDlg dialog(&panel, &messages, QSize(c.width, c.height));
    List(dialog, 1014)->setCurrentIndex(2);
    EXPECT_EQ(List(dialog, 1014)->currentIndex(), c.shown) << c.width;
    EXPECT_EQ(messages.shown, std::vector<std::string>{c.message});
  }
}

TEST_F(ConfigDialogTest, OkStoresCorrectedValuesAndReopeningShowsThem) {
  {
    CConfigDlg dialog(&panel, &messages, QSize(1920, 1080));
    EXPECT_EQ(List(dialog, 1010)->count(), 1); // only English is present
    EXPECT_EQ(Edit(dialog, 1013)->text(), VELMORA_VERSION);
    EXPECT_EQ(Edit(dialog, 1007)->text(), "/tmp/shots/");
    Edit(dialog, 1026)->setText("-2");
    List(dialog, 1020)->setCurrentIndex(9);
    List(dialog, 1014)->setCurrentIndex(2);
    Click(dialog, 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Edit(dialog, 1026)->text(), "1");
    EXPECT_EQ(messages.shown, (std::vector<std::string>{configtext::kBurst, configtext::kRestart}));
  }
  EXPECT_EQ(Settings().burstCount, 1);
  EXPECT_EQ(Settings().soundAmplification, 10);
  EXPECT_EQ(Settings().savedUiMode, 2);
  EXPECT_EQ(Settings().uiMode, 0);
  EXPECT_EQ(panel.refreshes, 2);
  CConfigDlg again(&panel, &messages, QSize(1920, 1080));
  EXPECT_EQ(List(again, 1020)->currentText(), "1000 %");
  EXPECT_EQ(List(again, 1014)->currentText(), "1920*1080");
}

TEST_F(ConfigDialogTest, CancelChangesNothing) {
  Settings().burstCount = 3;
  CConfigDlg dialog(&panel, &messages, QSize(1920, 1080));
  Edit(dialog, 1026)->setText("0");
  List(dialog, 1018)->setCurrentIndex(2);
  List(dialog, 1024)->setCurrentIndex(1);
  List(dialog, 1014)->setCurrentIndex(1);
  Click(dialog, 2);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(Settings().burstCount, 3);
  EXPECT_EQ(Settings().speedUnit, 0);
  EXPECT_EQ(Settings().imageType, 0);
  EXPECT_EQ(Settings().savedUiMode, 0);
  EXPECT_EQ(panel.refreshes, 0);
  EXPECT_TRUE(messages.shown.empty());
}
