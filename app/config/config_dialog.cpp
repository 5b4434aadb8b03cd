#include "app/config/config_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <span>

#include "app/qt_prompts.h"
#include "platform/tr_key.h"
#include "skin/dialog_style.h"
#include "skin/skin_bitmaps.h"

namespace {

QString Tr(const char* english) { return QString::fromStdString(Translate(english)); }

// The side picture sits in frame 1023 on the left; the rows lie in the
// content area to its right, placed from the content area's corner.
constexpr int kSideFrameX = 12, kSideFrameY = 12;
constexpr int kContentX = 140, kContentWidth = 580;
constexpr int kWidth = kContentX + kContentWidth, kHeight = 420;
constexpr int kLabelX = 24, kControlX = 220, kControlWidth = 220, kRowHeight = 26, kRowStep = 36, kFirstRowY = 20;

enum class Kind { Edit, ReadOnly, List };

// One row: label, control, and for a fixed list its entries (shown as they are).
struct Row {
  int labelId;
  const char* labelKey;
  int id;
  Kind kind;
  std::span<const char* const> entries;
};
const Row kRows[] = {
    {1012, TR_KEY("Version"), 1013, Kind::ReadOnly, {}},
    {1008, TR_KEY("Snapshot Path"), 1007, Kind::ReadOnly, {}},
    {1025, TR_KEY("Image Type"), 1024, Kind::List, kImageTypes},
    {1027, TR_KEY("Continuous Shooting"), 1026, Kind::Edit, {}},
    {1011, TR_KEY("Language"), 1010, Kind::List, {}},
    {1015, TR_KEY("UIMode"), 1014, Kind::List, kUiModes},
    {1021, TR_KEY("Sound Amplification"), 1020, Kind::List, kAmplifications},
    {1017, TR_KEY("Display Mode"), 1016, Kind::List, kDisplayModes},
    {1019, TR_KEY("Unit Of Speed"), 1018, Kind::List, kSpeedUnits},
};
constexpr int kBrowseId = 1009, kBrowseX = 452, kBrowseWidth = 100;
constexpr int kOkX = 300, kCancelX = 430, kButtonsY = 370, kButtonWidth = 120;

} // namespace

CConfigDlg::CConfigDlg(PanelRefresh* panel, UserPrompts* prompts, QSize screen, QWidget* parent)
    : QDialog(parent),
      ownPrompts_(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      prompts_(prompts ? *prompts : *ownPrompts_),
      panel_(panel),
      screen_(screen) {
  if (screen_.isEmpty() && QGuiApplication::primaryScreen()) screen_ = QGuiApplication::primaryScreen()->size();
  Build();
  ShowValues(ConfigValuesFrom(Settings()));
}

CConfigDlg::~CConfigDlg() = default;

QWidget* CConfigDlg::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CConfigDlg::Build() {
  setWindowTitle(Tr("Config"));
  setFixedSize(kWidth, kHeight);
  skin::ApplyDialogStyle(this);
  const skin::SidePicture side = skin::AddSidePicture(this, {kSideFrameX, kSideFrameY});
  Add(1023, side.frame);
  Add(1022, side.picture);
  auto* content = new QWidget(this);
  content->setGeometry(kContentX, 0, kContentWidth, kHeight);
  QWidget* const parent = content;
  int y = kFirstRowY;
  for (const Row& r : kRows) {
    auto* label = new QLabel(Tr(r.labelKey), parent);
    label->setGeometry(kLabelX, y, kControlX - kLabelX - 8, kRowHeight);
    Add(r.labelId, label);
    if (r.kind == Kind::List) {
      auto* list = new QComboBox(parent);
      for (const char* e : r.entries) list->addItem(e);
      list->setGeometry(kControlX, y, kControlWidth, kRowHeight);
      Add(r.id, list);
    } else {
      auto* edit = new QLineEdit(parent);
      edit->setReadOnly(r.kind == Kind::ReadOnly);
      edit->setGeometry(kControlX, y, r.id == 1007 ? kBrowseX - kControlX - 8 : kControlWidth, kRowHeight);
      Add(r.id, edit);
    }
    y += kRowStep;
  }
  for (const LanguageItem& item : PresentLanguages(Settings()))
    static_cast<QComboBox*>(Control(1010))->addItem(QString::fromStdString(item.displayName), item.tableIndex);
  static_cast<QLineEdit*>(Control(1013))->setText(VELMORA_VERSION);

  auto* browse = new QPushButton(Tr("Browse"), parent);
  browse->setGeometry(kBrowseX, kFirstRowY + kRowStep, kBrowseWidth, kRowHeight);
  Add(kBrowseId, browse);
  auto* ok = new QPushButton(Tr("OK"), parent);
  ok->setGeometry(kOkX, kButtonsY, kButtonWidth, kRowHeight + 4);
  ok->setDefault(true);
  Add(1, ok);
  auto* cancel = new QPushButton(Tr("Cancel"), parent);
  cancel->setGeometry(kCancelX, kButtonsY, kButtonWidth, kRowHeight + 4);
  Add(2, cancel);

  connect(browse, &QPushButton::clicked, this, [this] { OnBrowse(); });
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(static_cast<QComboBox*>(Control(1014)), &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!showing_) OnUiModeChosen(i);
  });
}

void CConfigDlg::ShowValues(const ConfigValues& v) {
  showing_ = true;
  static_cast<QLineEdit*>(Control(1007))->setText(QString::fromStdString(v.snapshotFolder));
  static_cast<QLineEdit*>(Control(1026))->setText(QString::number(v.burstCount));
  auto* languages = static_cast<QComboBox*>(Control(1010));
  languages->setCurrentIndex(languages->findData(v.language));
  static_cast<QComboBox*>(Control(1024))->setCurrentIndex(v.imageType);
  static_cast<QComboBox*>(Control(1014))->setCurrentIndex(v.uiMode);
  static_cast<QComboBox*>(Control(1016))->setCurrentIndex(v.displayMode);
  static_cast<QComboBox*>(Control(1018))->setCurrentIndex(v.speedUnit);
  static_cast<QComboBox*>(Control(1020))->setCurrentIndex(v.amplification);
  showing_ = false;
}

ConfigValues CConfigDlg::ReadValues() const {
  ConfigValues v;
  v.snapshotFolder = static_cast<QLineEdit*>(Control(1007))->text().toStdString();
  v.burstCount = ParseBurstCount(static_cast<QLineEdit*>(Control(1026))->text().toStdString());
  auto* languages = static_cast<QComboBox*>(Control(1010));
  v.language = languages->currentIndex() >= 0 ? languages->currentData().toInt() : -1;
  v.imageType = static_cast<QComboBox*>(Control(1024))->currentIndex();
  v.uiMode = static_cast<QComboBox*>(Control(1014))->currentIndex();
  v.displayMode = static_cast<QComboBox*>(Control(1016))->currentIndex();
  v.speedUnit = static_cast<QComboBox*>(Control(1018))->currentIndex();
  v.amplification = static_cast<QComboBox*>(Control(1020))->currentIndex();
  return v;
}

void CConfigDlg::OnBrowse() {
  auto* edit = static_cast<QLineEdit*>(Control(1007));
  const QString folder = QFileDialog::getExistingDirectory(this, Tr(configtext::kFolderTitle), edit->text());
  if (folder.isEmpty()) return; // cancelled, or no file-system folder: unchanged
  edit->setText(folder.endsWith('/') ? folder : folder + '/');
}

void CConfigDlg::OnUiModeChosen(int position) {
  const UiModeCheck check = CheckUiModeChoice(position, screen_.width(), screen_.height());
  if (check.message) prompts_.Inform(Translate(check.message));
  if (check.mode != position) {
    showing_ = true;
    static_cast<QComboBox*>(Control(1014))->setCurrentIndex(check.mode);
    showing_ = false;
  }
}

void CConfigDlg::OnOk() {
  const int language = Settings().language;
  const ConfigValues v = ApplyConfig(ReadValues(), prompts_, panel_);
  if (Settings().language != language) skin::ApplyLanguage(); // painted words and skinned texts
  static_cast<QLineEdit*>(Control(1026))->setText(QString::number(v.burstCount));
  accept();
}
