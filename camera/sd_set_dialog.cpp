#include "camera/sd_set_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/settings.h"
#include "platform/tr_key.h"
#include "skin/dialog_style.h"
#include "skin/skin_language.h"

namespace {

QString Tr(const char* english) { return QString::fromStdString(Translate(english)); }

// Dialog size and the place of every control, in pixels. The side picture
// sits in frame 1023 on the left; every other control lies in the content
// area to its right, placed from the content area's corner.
constexpr int kSideFrameX = 12, kSideFrameY = 12;
constexpr int kContentX = 144, kContentWidth = 740;
constexpr int kWidth = kContentX + kContentWidth, kHeight = 564;
constexpr int kRowHeight = 26, kRowStep = 33;
constexpr int kLeftLabelX = 24, kLeftListX = 190, kRightLabelX = 400, kRightListX = 560, kListWidth = 160;
constexpr int kFirstRowY = 140;

struct Section {
  int id;
  const char* text;
  int x, y;
};
constexpr Section kSections[] = {
    {1024, TR_KEY("SD Card"), 16, 12}, {1025, TR_KEY("Setup"), 16, 106},        {1026, TR_KEY("Record"), 392, 106},
    {1027, TR_KEY("Camera"), 392, 254}, {1045, TR_KEY("Set SD Card"), 16, 521},
};

// Where each option's row sits: column (0 left, 1 right) and row.
struct OptionPlace {
  int option, column, row;
};
constexpr OptionPlace kOptionPlaces[] = {
    {kCamLanguage, 0, 0},      {kCamTimeZone, 0, 1},     {kCamTvStandard, 0, 4},
    {kCamFlicker, 0, 5},       {kCamWhiteBalance, 0, 6}, {kCamEffect, 0, 7},
    {kCamSensitivity, 0, 8},   {kCamMicrophone, 0, 9},   {kCamSpeedUnit, 0, 10},
    {kCamRecResolution, 1, 0}, {kCamRecQuality, 1, 1},   {kCamRecGLevel, 1, 2},
    {kCamPicResolution, 1, 4}, {kCamPicMode, 1, 5},      {kCamPicPeriod, 1, 6},
    {kCamPicGLevel, 1, 7},
};
constexpr int kSetTimeRow = 2, kDateRow = 3; // left column
// The right column's "Camera" rows start below its own section label.
constexpr int kCameraRowShift = 1;

struct ButtonPlace {
  int id;
  const char* text;
  int x, y, w;
};
constexpr ButtonPlace kButtons[] = {
    {4, TR_KEY("Format"), 480, 44, 110}, {5, TR_KEY("Clear"), 604, 44, 110},   {1, TR_KEY("Set"), 360, 516, 110},
    {3, TR_KEY("Default"), 484, 516, 110}, {2, TR_KEY("Cancel"), 608, 516, 110},
};
constexpr int kDriveLabelId = 1048, kDriveListId = 1021, kDriveY = 46, kDriveListWidth = 270;
constexpr int kSetTimeId = 1049, kDateLabelId = 1032, kDatePickerId = 1005;

int RowY(int column, int row) { return kFirstRowY + (row + (column == 1 && row >= 4 ? kCameraRowShift : 0)) * kRowStep; }

QDateTime ToQt(const LocalDateTime& t) {
  return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute));
}

} // namespace

CDlgSDSet::CDlgSDSet(PlaybackHooks* hooks, platform::DiskService* disks, UserPrompts* prompts, QWidget* parent)
    : QDialog(parent),
      ownPrompts_(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      logic_(prompts ? *prompts : *ownPrompts_, hooks, disks) {
  Build();
  fillTimer_ = new QTimer(this);
  fillTimer_->setSingleShot(true);
  connect(fillTimer_, &QTimer::timeout, this, [this] { FillNow(); });
  fillTimer_->start(1000);
}

CDlgSDSet::~CDlgSDSet() = default;

QWidget* CDlgSDSet::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CDlgSDSet::Add(int id, QWidget* w) { controls_[id] = w; }

void CDlgSDSet::Build() {
  setWindowTitle(Tr("SD Card Setup"));
  setFixedSize(kWidth, kHeight);
  skin::ApplyDialogStyle(this);
  const skin::SidePicture side = skin::AddSidePicture(this, {kSideFrameX, kSideFrameY});
  Add(1023, side.frame);
  Add(1022, side.picture);
  auto* content = new QWidget(this);
  content->setGeometry(kContentX, 0, kContentWidth, kHeight);
  QWidget* const parent = content;
  QFont sectionFont = font(); // the dialog's faces
  sectionFont.setBold(true);
  sectionFont.setPointSize(11);
  for (const Section& s : kSections) {
    auto* label = new QLabel(Tr(s.text), parent);
    label->setFont(sectionFont);
    skin::MarkSectionHeading(label);
    label->move(s.x, s.y);
    label->adjustSize();
    Add(s.id, label);
  }

  auto* driveLabel = new QLabel(Tr("SD Card:"), parent);
  driveLabel->setGeometry(kLeftLabelX, kDriveY, kLeftListX - kLeftLabelX, kRowHeight);
  Add(kDriveLabelId, driveLabel);
  auto* drives = new QComboBox(parent);
  drives->setGeometry(kLeftListX, kDriveY, kDriveListWidth, kRowHeight);
  Add(kDriveListId, drives);
  connect(drives, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (!showing_) LoadFromCard(i);
  });

  for (const OptionPlace& p : kOptionPlaces) {
    const CameraOptionInfo& info = CameraOptions()[static_cast<size_t>(p.option)];
    const int y = RowY(p.column, p.row);
    auto* label = new QLabel(Tr(info.labelKey), parent);
    label->setGeometry(p.column ? kRightLabelX : kLeftLabelX, y, (p.column ? kRightListX - kRightLabelX : kLeftListX - kLeftLabelX) - 6,
                       kRowHeight);
    Add(info.labelId, label);
    auto* list = new QComboBox(parent);
    list->setGeometry(p.column ? kRightListX : kLeftListX, y, kListWidth, kRowHeight);
    Add(info.listId, list);
    const int option = p.option;
    connect(list, &QComboBox::currentIndexChanged, this, [this, option](int i) {
      if (!showing_) logic_.SetIndex(option, i);
    });
  }

  auto* setTime = new QCheckBox(Tr("Set_Time"), parent);
  setTime->setGeometry(kLeftLabelX, RowY(0, kSetTimeRow), 200, kRowHeight);
  Add(kSetTimeId, setTime);
  connect(setTime, &QCheckBox::toggled, this, [this](bool on) {
    if (!showing_) OnSetTime(on);
  });
  auto* dateLabel = new QLabel(Tr("Data_Time:"), parent);
  dateLabel->setGeometry(kLeftLabelX, RowY(0, kDateRow), kLeftListX - kLeftLabelX, kRowHeight);
  Add(kDateLabelId, dateLabel);
  auto* picker = new QDateTimeEdit(parent);
  picker->setGeometry(kLeftListX, RowY(0, kDateRow), kListWidth, kRowHeight);
  picker->setDateTimeRange(QDateTime(QDate(kUsrSetFirstYear, 1, 1), QTime(0, 0)),
                           QDateTime(QDate(kUsrSetLastYear, 12, 31), QTime(23, 59)));
  picker->setLocale(skin::LanguageLocale()); // names and digits of the language in use
  Add(kDatePickerId, picker);
  connect(picker, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& t) {
    if (showing_) return;
    logic_.SetDateTime({t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute()});
  });

  for (const ButtonPlace& b : kButtons) {
    auto* button = new QPushButton(Tr(b.text), parent);
    button->setGeometry(b.x, b.y, b.w, kRowHeight + 4);
    Add(b.id, button);
  }
  connect(static_cast<QPushButton*>(Control(1)), &QPushButton::clicked, this, [this] { SaveToCard(); });
  connect(static_cast<QPushButton*>(Control(2)), &QPushButton::clicked, this, [this] { reject(); });
  connect(static_cast<QPushButton*>(Control(3)), &QPushButton::clicked, this, [this] { OnDefault(); });
  connect(static_cast<QPushButton*>(Control(4)), &QPushButton::clicked, this, [this] { OnFormat(); });
  connect(static_cast<QPushButton*>(Control(5)), &QPushButton::clicked, this, [this] { OnClear(); });
  static_cast<QPushButton*>(Control(1))->setDefault(true);
}

void CDlgSDSet::FillNow() {
  if (filled_) return;
  filled_ = true;
  fillTimer_->stop();
  showing_ = true;
  for (const CameraOptionInfo& info : CameraOptions()) {
    auto* list = static_cast<QComboBox*>(Control(info.listId));
    for (const char* entry : info.entries) list->addItem(info.translated ? Tr(entry) : QString(entry));
  }
  static_cast<QDateTimeEdit*>(Control(kDatePickerId))->setDisplayFormat("yyyy/MM/dd HH:mm");
  showing_ = false;
  logic_.Open(now_());
  ShowVolumes();
  ShowValues();
}

void CDlgSDSet::ShowVolumes() {
  showing_ = true;
  auto* drives = static_cast<QComboBox*>(Control(kDriveListId));
  drives->clear();
  for (const CardVolume& v : logic_.Volumes()) {
    QString root = QString::fromStdString(v.root);
    drives->addItem(QString::fromStdString(v.label) + "  (" + root + ")", root);
  }
  drives->setCurrentIndex(logic_.Selected());
  showing_ = false;
}

void CDlgSDSet::ShowValues() {
  showing_ = true;
  const CameraSettings& v = logic_.Values();
  for (const CameraOptionInfo& info : CameraOptions()) {
    auto* list = static_cast<QComboBox*>(Control(info.listId));
    const int index = v.index[static_cast<size_t>(&info - CameraOptions().data())];
    // A stored value the list cannot show leaves the list blank and is kept.
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
  }
  auto* picker = static_cast<QDateTimeEdit*>(Control(kDatePickerId));
  static_cast<QCheckBox*>(Control(kSetTimeId))->setChecked(v.setTime);
  picker->setEnabled(v.setTime);
  picker->setDateTime(v.setTime ? ToQt({v.year, v.month, v.day, v.hour, v.minute}) : ToQt(LocalDateTime{}));
  showing_ = false;
}

void CDlgSDSet::LoadFromCard(int volume) {
  logic_.SelectVolume(volume);
  ShowValues();
}

void CDlgSDSet::SaveToCard() {
  if (logic_.Set()) accept();
}

void CDlgSDSet::OnDefault() {
  logic_.Default(now_());
  ShowValues();
}

void CDlgSDSet::OnFormat() {
  logic_.Format();
  ShowVolumes();
}

void CDlgSDSet::OnClear() {
  logic_.Clear();
  ShowVolumes();
}

void CDlgSDSet::OnSetTime(bool checked) {
  logic_.SetTimeChecked(checked, now_());
  ShowValues();
}
