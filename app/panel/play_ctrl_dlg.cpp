#include "app/panel/play_ctrl_dlg.h"

#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include "app/logic/keymap.h"
#include "app/picture_static.h"
#include "app/qt_prompts.h"
#include "app/settings.h"
#include "core/telemetry_mailbox.h"
#include "skin/digi_static.h"
#include "skin/skin_messages.h"
#include "skin/vx_skin_button.h"
#include "skin/vx_skin_sld_button.h"
#include "video/video_target.h"

using namespace layout;

namespace {

QRect ToQ(const Rect& r) { return {r.x, r.y, r.width, r.height}; }
QString Q(const std::string& s) { return QString::fromStdString(s); }

} // namespace

CPlayCtrlDlg::CPlayCtrlDlg(int uiMode, PanelHost& host, VolumeMixer& mixer, QWidget* parent)
    : CVxSkinDialog(parent), layout_(PanelLayoutFor(uiMode)), host_(host),
      history_(PanelLayoutFor(uiMode).historySize) {
  setObjectName("CPlayCtrlDlg");
  EnableDrag(false); // the panel drags the main window instead
  SetBackground(layout_.background);
  setFixedSize(layout_.size.width, layout_.size.height);
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
    auto* button = new CVxSkinButton(this);
    button->setObjectName(QString("button%1").arg(b.id));
    button->setFocusPolicy(Qt::NoFocus);
    button->SetSkin(b.bitmap);
    if (b.rect) {
      button->move(b.rect->x, b.rect->y);
      // Where the strip has another size than the place, the place decides.
      button->resize(b.rect->width, b.rect->height);
    } else {
      button->hide();
    }
    const int id = b.id;
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnButton(id); });
    buttons_[b.id] = button;
  }
  for (int i = 0; i < 3; ++i) {
    const SliderPlace& s = layout_.sliders[static_cast<size_t>(i)];
    auto* slider = new CVxSkinSldButton(this);
    slider->setObjectName(QString("slider%1").arg(s.id));
    slider->setFocusPolicy(Qt::NoFocus);
    slider->move(s.rect.x, s.rect.y);
    slider->SetSkin(s.trackBitmap);
    slider->SetThumb(s.thumbBitmap);
    slider->SetSliderNumber(s.number);
    slider->SetRange(0, s.rangeMax);
    slider->SetPos(s.number == 3 ? 4 : 0);
    sliders_[i] = slider;
  }
  speedDigits_ = new CDigiStatic(this);
  speedDigits_->SetColor(QColor(24, 16, 16), QColor(0, 255, 0));
  speedDigits_->SetText("000");
  speedDigits_->SetTransparent(true);
  speedDigits_->ModifyDigiStyle(0, 6);
  speedDigits_->setGeometry(ToQ(layout_.speedDigits));
  speedUnit_ = new PictureStatic(this);
  speedUnit_->setGeometry(ToQ(layout_.speedUnit));
  separator_ = new QWidget(this);
  separator_->setGeometry(ToQ(layout_.separator));
  separator_->setAutoFillBackground(true);
  QPalette black = separator_->palette();
  black.setColor(QPalette::Window, Qt::black);
  separator_->setPalette(black);
  frameCount_ = new QLabel(this);
  frameCount_->setObjectName("frameCount");
  frameCount_->hide();
}

CVxSkinButton* CPlayCtrlDlg::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

CVxSkinSldButton* CPlayCtrlDlg::Slider(int number) const {
  return number >= 1 && number <= 3 ? sliders_[number - 1] : nullptr;
}

void CPlayCtrlDlg::ApplyLanguage() {
  for (const auto& b : layout_.buttons) {
    if (!*b.tooltip) continue;
    buttons_[b.id]->setToolTip(Q(TooltipWithKeys(Translate(b.tooltip), b.id, Translate)));
  }
  for (int i = 0; i < 3; ++i) {
    const SliderPlace& s = layout_.sliders[static_cast<size_t>(i)];
    std::string tip = *s.tooltip ? Translate(s.tooltip) : std::string();
    const std::string keysText = KeysForControl(s.id, Translate);
    if (!keysText.empty()) tip += (tip.empty() ? "" : " ") + ("(" + keysText + ")");
    sliders_[i]->setToolTip(Q(tip));
  }
  if (controller_) controller_->RefreshNotice();
}

void CPlayCtrlDlg::ApplySpeedUnit() {
  // km/h is printed on the background; the other units cover it.
  const int unit = Settings().speedUnit;
  if (unit == 1 || unit == 2) {
    speedUnit_->SetBitmap(unit == 1 ? layout_.unitBitmapMph : layout_.unitBitmapKnot);
    speedUnit_->show();
  } else {
    speedUnit_->hide();
  }
  speedDigits_->SetText(Q(FormatSpeed(shown_.speed, unit)));
}

std::string CPlayCtrlDlg::PlayingPath() const {
  PlayerChannel* c = controller_->Channel();
  return c ? c->CurrentFile() : std::string();
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
  TranslateStandardButtons(box);
  box.exec();
}

bool CPlayCtrlDlg::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Warning, Q(PanelMessage(PanelText::Tip)), Q(text), QMessageBox::Yes | QMessageBox::No,
                  this);
  TranslateStandardButtons(box);
  return box.exec() == QMessageBox::Yes;
}

std::string CPlayCtrlDlg::AskFile(const FileDialogRequest& rule, const std::string& initialName) {
  QFileDialog dialog(this);
  dialog.setAcceptMode(rule.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(rule.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(Q(NameFilters(rule.filter)).split(";;"));
  dialog.setDefaultSuffix(rule.defaultSuffix);
  if (!initialName.empty()) dialog.selectFile(Q(initialName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().back().toStdString();
}

void CPlayCtrlDlg::SetPositionSlider(int position) {
  if (!sliders_[0]->IsDragging()) sliders_[0]->SetPos(position);
}

void CPlayCtrlDlg::SetSpeedSlider(int position) { sliders_[2]->SetPos(position); }

void CPlayCtrlDlg::SetVolumeSlider(int position) {
  sliders_[1]->SetPos(position);
  update();
}

void CPlayCtrlDlg::SetBackupRunning(bool running) {
  const ButtonPlace* b = FindButton(layout_, kIdBackup);
  buttons_[kIdBackup]->SetSkin(running ? b->altBitmap : b->bitmap);
}

void CPlayCtrlDlg::SetMuted(bool muted) {
  const ButtonPlace* b = FindButton(layout_, kIdMute);
  buttons_[kIdMute]->SetSkin(muted ? b->altBitmap : b->bitmap);
  if (b->rect) buttons_[kIdMute]->resize(b->rect->width, b->rect->height);
}

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
  speedDigits_->SetText(Q(FormatSpeed(shown_.speed, Settings().speedUnit)));
  update(ToQ(layout_.dial));
  update(ToQ(layout_.graph));
}

bool CPlayCtrlDlg::event(QEvent* e) {
  if (e->type() == MessageEvent::Type()) {
    auto* m = static_cast<MessageEvent*>(e);
    switch (m->Message()) {
      case WM_SKINSLIDER_DOWN: controller_->SliderDown(static_cast<int>(m->WParam())); break;
      case WM_SKINSLIDER_UP:
        controller_->SliderUp(static_cast<int>(m->WParam()), static_cast<int>(m->LParam()));
        if (m->WParam() == 2) update();
        break;
      case WM_SKINSLIDER_MOVE: break;
      default: controller_->OnMessage(m->Message(), m->WParam(), m->Tag()); break;
    }
    return true;
  }
  return CVxSkinDialog::event(e);
}

void CPlayCtrlDlg::paintEvent(QPaintEvent* e) {
  CVxSkinDialog::paintEvent(e); // the background
  QPainter p(this);
  DrawVolumeBar(p, layout_, controller_ ? controller_->VolumeSlider() : 0);
  DrawGSensorGraph(p, layout_, history_.Samples());
  DrawCompass(p, layout_, shown_);
}

void CPlayCtrlDlg::mousePressEvent(QMouseEvent* e) {
  // The panel drags the main window; it never moves itself.
  if (e->button() == Qt::LeftButton) DragWindowOf(this, e->globalPosition().toPoint());
}
