// Every text label, button and list of the windows fits its control in each
// shipped language (German has the longest texts, Japanese the widest glyphs).
// With VELMORA_SHOT_DIR set, each checked window is also saved as a picture.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QScreen>
#include <filesystem>

#include "app/main_window/velmora_dlg.h"
#include "app/config/config_dialog.h"
#include "app/settings.h"
#include "app/velmora_app.h"
#include "camera/sd_set_dialog.h"
#include "skin/month_cal_ctrl_ex.h"
#include "skin/skin_bitmaps.h"
#include "tests/support/test_support.h"

using testsupport::TempDir;

namespace {

class NoPrompts : public UserPrompts {
public:
  void Inform(const std::string&) override {}
  bool Confirm(const std::string&) override { return false; }
};

class NoPlayback : public PlaybackHooks {
public:
  std::string PlayingPath() const override { return {}; }
  std::vector<std::string> ExportPaths() const override { return {}; }
  void StopPlayback() override {}
};

// "control 'text' needs N px, has M" for each text that does not fit.
std::vector<std::string> CutTexts(QWidget& root) {
  std::vector<std::string> cut;
  auto check = [&](QWidget* w, const QString& text, int need) {
    if (need > w->width())
      cut.push_back(w->metaObject()->className() + std::string(" '") + text.toStdString() + "' needs " +
                    std::to_string(need) + " px, has " + std::to_string(w->width()));
  };
  for (QWidget* w : root.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&root)) continue;
    if (auto* l = qobject_cast<QLabel*>(w)) {
      if (!l->text().isEmpty() && !l->wordWrap()) check(l, l->text(), l->sizeHint().width());
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      if (!b->text().isEmpty()) check(b, b->text(), b->sizeHint().width());
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
      // The list's own room beside its arrow, against each entry.
      const QFontMetrics fm = c->fontMetrics();
      int widest = 0;
      QString longest;
      for (int i = 0; i < c->count(); ++i)
        if (fm.horizontalAdvance(c->itemText(i)) > widest) widest = fm.horizontalAdvance(longest = c->itemText(i));
      if (c->count() > 0) check(c, longest, c->sizeHint().width());
    }
  }
  return cut;
}

class LabelFitTest : public ::testing::TestWithParam<const char*> {
protected:
  static void SetUpTestSuite() {
    if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "label_fit_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() { delete app_; }
  void SetUp() override {
    for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(v);
    std::filesystem::copy(std::string(VELMORA_SOURCE_DIR) + "/resources/Language", program_ / "Language");
    WriteConfig(0);
    ResetSettings(program_.path());
    ScanLanguages();
    skin::ApplyLanguage(); // pictures rendered for the previous language go
    ASSERT_NE(Translate("Cancel"), "Cancel") << GetParam() << " is not in use";
  }
  void WriteConfig(int uiMode) {
    testsupport::WriteFile(program_ / "Config.ini", std::string("[Config]\nLanguage File=") + GetParam() +
                                                        "\nUIMode=" + std::to_string(uiMode) + "\n");
  }
  void Look(QWidget& w, const std::string& name) {
    w.show();
    QApplication::processEvents();
    for (const std::string& c : CutTexts(w)) ADD_FAILURE() << name << " in " << GetParam() << ": " << c;
    if (const char* dir = std::getenv("VELMORA_SHOT_DIR"))
      w.grab().save(QString::fromStdString(std::string(dir) + "/" + name + "_" + GetParam() + ".png"));
  }

  static QApplication* app_;
  TempDir program_;
  NoPrompts prompts_;
};
QApplication* LabelFitTest::app_ = nullptr;

} // namespace

TEST_P(LabelFitTest, SettingsDialog) {
  CConfigDlg dialog(nullptr, &prompts_, QSize(1920, 1080));
  Look(dialog, "config");
}

TEST_P(LabelFitTest, CardDialog) {
  NoPlayback playback;
  CDlgSDSet dialog(&playback, nullptr, &prompts_);
  dialog.FillNow(); // the option lists, as when the dialog opens
  Look(dialog, "sdset");
  // The date picker writes in the language shown, not in the system's.
  EXPECT_EQ(dialog.Control(1005)->locale().language(), QLocale(QString::fromStdString(LanguageLocaleName())).language());
  EXPECT_NE(LanguageLocaleName(), "en_US");
}

// The words painted into the layouts' pictures and the calendar's weekday
// names are translated and fit their room at the artwork's size.
TEST_P(LabelFitTest, PaintedWordsAndWeekdays) {
  for (int mode = 0; mode <= 2; ++mode) {
    for (int number : skin::SkinBitmapsForMode(mode)) {
      for (const skin::PaintedLabel& l : skin::PaintedLabelsOf(number)) {
        EXPECT_LE(l.width, l.room) << "bitmap " << number << " '" << l.text.toStdString() << "' in " << GetParam();
        if (l.key == "No Video") {
          EXPECT_NE(l.text, QStringLiteral("NO VIDEO")) << GetParam();
        }
      }
    }
  }
  CMonthCalCtrlEx calendar;
  calendar.resize(191, 124); // the smallest layout's
  const QFontMetrics fm(calendar.CalendarFont());
  for (int i = 0; i < 7; ++i) {
    EXPECT_LE(fm.horizontalAdvance(calendar.WeekdayName(i)), calendar.WeekdayRect(i).width())
        << calendar.WeekdayName(i).toStdString() << " in " << GetParam();
  }
  EXPECT_NE(calendar.WeekdayName(0), QStringLiteral("Sun"));

  // Back to English: the calendar and the pictures follow once told.
  Settings().language = 0;
  skin::ApplyLanguage();
  EXPECT_EQ(calendar.WeekdayName(0), QStringLiteral("Sun"));
  const std::vector<skin::PaintedLabel> english = skin::PaintedLabelsOf(skin::SkinBitmapsOf(1).mainBackground);
  ASSERT_FALSE(english.empty());
  EXPECT_EQ(english.front().key, "No Video");
  EXPECT_EQ(english.front().text, QStringLiteral("NO VIDEO"));
}

TEST_P(LabelFitTest, MainWindowInEachLayout) {
  const QSize screen = QGuiApplication::primaryScreen()->size();
  for (int mode = 0; mode <= LargestUiMode(screen.width(), screen.height()); ++mode) {
    WriteConfig(mode);
    ResetSettings(program_.path());
    CVelmoraApp player;
    player.Start({});
    ASSERT_EQ(Settings().uiMode, mode);
    Look(*player.MainWindow(), "main" + std::to_string(mode));
    player.Finish();
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, LabelFitTest, ::testing::Values("de_DE", "jp_JP", "it_IT", "es_ES", "fr_FR", "tr_TR", "pt_PT", "nl_NL",
                                                                     "ru_RU", "ko_KR", "zh_TW", "zh_CN"),
                         [](const ::testing::TestParamInfo<const char*>& p) { return std::string(p.param); });
