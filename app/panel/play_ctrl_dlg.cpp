#include "app/panel/play_ctrl_dlg.h"

#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QWindow>

#include "app/logic/keymap.h"
#include "app/settings.h"
#include "core/telemetry_mailbox.h"
#include "video/video_target.h"

using namespace layout;

namespace {

QRect ToQ(const Rect& r) { return {r.x, r.y, r.width, r.height}; }
QString Q(const std::string& s) { return QString::fromStdString(s); }

// Stand-in captions until the skin's bitmaps are drawn on the buttons.
const char* Caption(int id, bool alt) {
  switch (id) {
    case kIdPrevFile: return "|<<";
    case kIdPrevFrame: return "<|";
    case kIdBackwardPlay: return "<";
    case kIdPause: return "||";
    case kIdStop: return "[]";
    case kIdPlay: return ">";
    case kIdNextFrame: return "|>";
    case kIdNextFile: return ">>|";
    case kIdMarkIn: return "|<";
    case kIdMarkOut: return ">|";
    case kIdBackup: return alt ? "B.." : "||B";
    case kIdOpen: return "Open";
    case kIdSave: return "Save";
    case kIdSnapshot: return "Snap";
    case kIdMap: return "Map";
    case kIdConfig: return "Conf";
    case kIdSdSet: return "SD";
    case kIdMute: return alt ? "Muted" : "Vol";
    case kIdFaster: return ">>";
    case kIdSlower: return "<<";
    default: return "";
  }
}

} // namespace

CPlayCtrlDlg::CPlayCtrlDlg(int uiMode, PanelHost& host, VolumeMixer& mixer, QWidget* parent)
    : QWidget(parent), layout_(PanelLayoutFor(uiMode)), host_(host), history_(PanelLayoutFor(uiMode).historySize) {
  setObjectName("CPlayCtrlDlg");
  setFixedSize(layout_.size.width, layout_.size.height);
  setAutoFillBackground(false);
  clock_.start();
  Build();
  controller_ = std::make_unique<PanelController>(
      *this,
      [this](uint64_t tag) {
        PlayerChannelLinks links;
        links.video = host_.VideoWindow();
        links.panel = std::make_shared<QtMessageTarget>(this, tag);
        links.mainWindow = host_.MainWindowTarget(tag);
        return MakePipelineChannel(links);
      },
      mixer, &self_);
  ApplySpeedUnit();
  ApplyLanguage();
  timer100_.setInterval(1000);
  connect(&timer100_, &QTimer::timeout, this, [this] { controller_->OnTimer(); });
  timer100_.start();
  telemetryTimer_.setSingleShot(true);
  connect(&telemetryTimer_, &QTimer::timeout, this, [this] {
    throttle_.OnTimer(clock_.elapsed());
    PaintTelemetryNow();
  });
}

CPlayCtrlDlg::~CPlayCtrlDlg() { controller_.reset(); }

void CPlayCtrlDlg::Build() {
  for (const auto& b : layout_.buttons) {
    auto* button = new QPushButton(Caption(b.id, false), this);
    button->setObjectName(QString("button%1").arg(b.id));
    button->setFocusPolicy(Qt::NoFocus);
    if (b.rect) button->setGeometry(ToQ(*b.rect));
    else button->hide();
    button->setStyleSheet("QPushButton{background:#2d333b;color:#e6e6e6;border:1px solid #555;border-radius:3px;"
                          "font-size:9px;padding:0}QPushButton:hover{background:#3b4450}"
                          "QPushButton:pressed{background:#1e2228}");
    const int id = b.id;
    connect(button, &QPushButton::clicked, this, [this, id] { OnButton(id); });
    buttons_[b.id] = button;
  }
  for (int i = 0; i < 3; ++i) {
    const SliderPlace& s = layout_.sliders[static_cast<size_t>(i)];
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(QString("slider%1").arg(s.id));
    slider->setFocusPolicy(Qt::NoFocus);
    slider->setRange(0, s.rangeMax);
    slider->setGeometry(s.rect.x, s.rect.y, s.rect.width, std::max(s.rect.height, 16));
    if (s.number == 3) {
      slider->setPageStep(1);
      slider->setTickPosition(QSlider::TicksBelow);
      slider->setTickInterval(2);
    }
    const int number = s.number;
    connect(slider, &QSlider::sliderPressed, this, [this, number] { controller_->SliderDown(number); });
    connect(slider, &QSlider::sliderReleased, this,
            [this, number, slider] { controller_->SliderUp(number, slider->value()); update(); });
    // Clicks on the track and wheel moves end like a release.
    connect(slider, &QSlider::actionTriggered, this, [this, number, slider](int action) {
      if (action == QAbstractSlider::SliderMove || slider->isSliderDown()) return;
      QTimer::singleShot(0, this, [this, number, slider] {
        controller_->SliderUp(number, slider->value());
        update();
      });
    });
    sliders_[i] = slider;
  }
  speedDigits_ = new QLabel("000", this);
  speedDigits_->setGeometry(ToQ(layout_.speedDigits));
  speedDigits_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont digits("DejaVu Sans Mono");
  digits.setPixelSize(static_cast<int>(layout_.speedDigits.height * 0.85));
  digits.setBold(true);
  speedDigits_->setFont(digits);
  speedDigits_->setStyleSheet("color:#00ff00;background:transparent");
  speedUnit_ = new QLabel(this);
  speedUnit_->setGeometry(ToQ(layout_.speedUnit));
  speedUnit_->setStyleSheet("color:#00ff00;background:transparent;font-size:10px");
  separator_ = new QWidget(this);
  separator_->setGeometry(ToQ(layout_.separator));
  separator_->setStyleSheet("background:black");
  frameCount_ = new QLabel(this);
  frameCount_->hide();
}

QAbstractButton* CPlayCtrlDlg::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

QSlider* CPlayCtrlDlg::Slider(int number) const {
  return number >= 1 && number <= 3 ? sliders_[number - 1] : nullptr;
}

void CPlayCtrlDlg::ApplyLanguage() {
  for (const auto& b : layout_.buttons) {
    if (!*b.tooltip) continue;
    buttons_[b.id]->setToolTip(Q(TooltipWithKeys(Translate(b.tooltip), b.id)));
  }
  for (int i = 0; i < 3; ++i) {
    const SliderPlace& s = layout_.sliders[static_cast<size_t>(i)];
    std::string tip = *s.tooltip ? Translate(s.tooltip) : std::string();
    const std::string keysText = KeysForControl(s.id);
    if (!keysText.empty()) tip += (tip.empty() ? "" : " ") + ("(" + keysText + ")");
    sliders_[i]->setToolTip(Q(tip));
  }
}

void CPlayCtrlDlg::ApplySpeedUnit() {
  const int unit = Settings().speedUnit;
  speedUnit_->setText(Q(SpeedUnitName(unit)));
  speedUnit_->setVisible(true);
  speedDigits_->setText(Q(FormatSpeed(shown_.speed, unit)));
}

void CPlayCtrlDlg::OnButton(int id) {
  switch (id) {
    case kIdOpen: OpenMenu(); return;
    case kIdMap: host_.MapButton(); return;
    case kIdConfig: host_.ConfigButton(); return;
    case kIdSdSet: host_.SdSetButton(); return;
    default: controller_->Button(id); return;
  }
}

void CPlayCtrlDlg::OpenMenu() {
  QMenu menu(this);
  QAction* card = menu.addAction(Q(PanelMessage(PanelText::OpenCardMenu)));
  QAction* file = menu.addAction(Q(PanelMessage(PanelText::OpenFileMenu)));
  QAction* chosen = menu.exec(QCursor::pos());
  if (chosen == card) controller_->OpenCard(true);
  else if (chosen == file) controller_->OpenFile();
}

void CPlayCtrlDlg::ShowMessage(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, "Dravix", Q(text), QMessageBox::Ok, this);
  box.exec();
}

bool CPlayCtrlDlg::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, Q(PanelMessage(PanelText::Tip)), Q(text), QMessageBox::Yes | QMessageBox::No,
                  this);
  return box.exec() == QMessageBox::Yes;
}

std::string CPlayCtrlDlg::AskFile(const FileDialogSpec& spec, const std::string& initialName) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(Q(NameFilters(spec.filter)).split(";;"));
  dialog.setDefaultSuffix(spec.defaultSuffix);
  if (!initialName.empty()) dialog.selectFile(Q(initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().back().toStdString();
}

void CPlayCtrlDlg::SetPositionSlider(int position) {
  if (sliders_[0]->isSliderDown()) return;
  QSignalBlocker block(sliders_[0]);
  sliders_[0]->setValue(position);
}

void CPlayCtrlDlg::SetSpeedSlider(int position) {
  QSignalBlocker block(sliders_[2]);
  sliders_[2]->setValue(position);
}

void CPlayCtrlDlg::SetVolumeSlider(int position) {
  QSignalBlocker block(sliders_[1]);
  sliders_[1]->setValue(position);
  update();
}

void CPlayCtrlDlg::SetBackupRunning(bool running) { buttons_[kIdBackup]->setText(Caption(kIdBackup, running)); }

void CPlayCtrlDlg::SetMuted(bool muted) { buttons_[kIdMute]->setText(Caption(kIdMute, muted)); }

void CPlayCtrlDlg::ShowFrameCount(int framesPerSecond) { frameCount_->setText(QString::number(framesPerSecond)); }

void CPlayCtrlDlg::OnTelemetry(const TelemetryShown& shown, const GSensorTriple& g) {
  shown_ = shown;
  history_.Add(g);
  const RepaintThrottle::Decision d = throttle_.OnSample(clock_.elapsed());
  if (d.paintNow) PaintTelemetryNow();
  else if (d.scheduleInMs >= 0) telemetryTimer_.start(static_cast<int>(d.scheduleInMs));
}

void CPlayCtrlDlg::PaintTelemetryNow() {
  ++telemetryPaints_;
  speedDigits_->setText(Q(FormatSpeed(shown_.speed, Settings().speedUnit)));
  update(ToQ(layout_.dial));
  update(ToQ(layout_.graph));
}

bool CPlayCtrlDlg::event(QEvent* e) {
  if (e->type() == MessageEvent::Type()) {
    auto* m = static_cast<MessageEvent*>(e);
    controller_->OnMessage(m->Message(), m->WParam(), m->Tag());
    return true;
  }
  return QWidget::event(e);
}

void CPlayCtrlDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(34, 38, 44));
  // Frames of the areas the background bitmap carries.
  p.setPen(QColor(70, 76, 84));
  p.drawRect(ToQ(layout_.graph).adjusted(-1, -1, 0, 0));
  p.setPen(QColor(170, 170, 170));
  QFont f = font();
  f.setPixelSize(static_cast<int>(10 * layout_.scale + 1));
  p.setFont(f);
  const SliderPlace& speed = layout_.sliders[2];
  const char* marks[5] = {"1/16", "1/4", "SPEED", "2", "4"};
  for (int i = 0; i < 5; ++i) {
    const int x = speed.rect.x + 6 + (speed.rect.width - 12) * i / 4;
    p.drawText(QRect(x - 20, speed.rect.y - 16, 40, 14), Qt::AlignCenter, marks[i]);
  }
  DrawVolumeBar(p, layout_, controller_ ? controller_->VolumeSlider() : 0);
  DrawGSensorGraph(p, layout_, history_.Samples());
  DrawCompass(p, layout_, shown_);
}

void CPlayCtrlDlg::mousePressEvent(QMouseEvent* e) {
  // The panel drags the main window.
  if (e->button() == Qt::LeftButton && window()->windowHandle()) window()->windowHandle()->startSystemMove();
}
