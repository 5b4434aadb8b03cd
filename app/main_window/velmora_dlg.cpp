#include "app/main_window/velmora_dlg.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>

#include "app/config/config_dialog.h"
#include "app/logic/card_finder.h"
#include "app/main_window/dev_show_dlg.h"
#include "app/main_window/timeline_strip.h"
#include "app/map_offset_config.h"
#include "app/picture_static.h"
#include "app/settings.h"
#include "camera/sd_set_dialog.h"
#include "core/messages.h"
#include "core/telemetry_mailbox.h"
#include "platform/disk_service.h"
#include "skin/month_cal_ctrl_ex.h"
#include "skin/vx_skin_button.h"
#include "telemetry/map/map_dlg.h"
#include "telemetry/telemetry.h"
#include "video/video_static.h"

using namespace layout;

namespace {

QRect ToQ(const Rect& r) { return {r.x, r.y, r.width, r.height}; }

QDate ToQDate(const CivilDate& d) { return {d.year, d.month, d.day}; }
CivilDate FromQDate(const QDate& d) { return {d.year(), d.month(), d.day()}; }

} // namespace

CVelmoraDlg::CVelmoraDlg(int uiMode, VolumeMixer& mixer) : CVxSkinDialog(nullptr), layout_(MainLayoutFor(uiMode)) {
  setObjectName("CVelmoraDlg");
  setWindowTitle("Dravix");
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);

  video_ = new CDevShowDlg(this);
  SetBackground(layout_.background);
  banner_ = new PictureStatic(this);
  banner_->SetBitmap(layout_.bannerBitmap);
  notice_ = new QLabel(this);
  notice_->setObjectName("notice");
  notice_->setAlignment(Qt::AlignCenter);
  notice_->setStyleSheet("color: rgb(255, 190, 60);");
  notice_->hide();
  close_ = new CVxSkinButton(this);
  close_->SetSkin(layout_.closeBitmap);
  minimize_ = new CVxSkinButton(this);
  minimize_->SetSkin(layout_.minimizeBitmap);
  for (CVxSkinButton* b : {close_, minimize_}) b->setFocusPolicy(Qt::NoFocus);
  connect(close_, &QAbstractButton::clicked, this, &QWidget::close);
  connect(minimize_, &QAbstractButton::clicked, this, &QWidget::showMinimized);

  map_ = new CMapDlg(ReadMapOptions(), this);
  map_->SetDefaultPosition(Settings().defaultLatitude, Settings().defaultLongitude);
  map_->ClearTrack(trackIndex_);
  // The browser is slow to start: it is made a second after the first picture
  // (not the black before it), so that it does not hold that picture back.
  connect(video_->Video(), &CVideoStatic::pictureDrawn, this, [this] {
    if (video_->Video()->DrawnSerial() == 0 || mapScheduled_) return;
    mapScheduled_ = true;
    QTimer::singleShot(1000, this, &CVelmoraDlg::StartMap);
  });
  QTimer::singleShot(3000, this, [this] {
    if (!panel_->Controller().Channel()) StartMap(); // nothing to play: the map is made now
  });

  panel_ = new CPlayCtrlDlg(uiMode, *this, mixer, this);

  calendar_ = new CMonthCalCtrlEx(this);
  calendar_->setObjectName("calendar");
  connect(calendar_, &CMonthCalCtrlEx::Notify, this, [this](int code) {
    if (code != CMonthCalCtrlEx::kDateChanged) return;
    timeline_.SelectDate(FromQDate(calendar_->GetCurSel()));
    RebuildTimeline();
  });

  int i = 0;
  for (const auto& g : layout_.grids) {
    const GridPlace place = g;
    std::function<int(int)> status =
        place.minutes ? std::function<int(int)>([this, place](int c) { return timeline_.MinuteCell(c, place.offset); })
                      : std::function<int(int)>([this, place](int c) { return timeline_.HourCell(c, place.offset); });
    auto* strip = new TimelineStrip(place, status, this);
    connect(strip, &TimelineStrip::clicked, this, [this, id = place.id](int c) { GridClicked(id, c); });
    grids_[static_cast<size_t>(i++)] = strip;
  }

  panel_->show();
  video_->hide();
  map_->hide();
  timeline_.Clear();
  Layout();
  timeline_.SelectDate(FromQDate(calendar_->GetCurSel()));
  connect(&cardTimer_, &QTimer::timeout, this, &CVelmoraDlg::PollCards);
  cardTimer_.start(1000);
}

CVelmoraDlg::~CVelmoraDlg() {
  Shutdown();
  // The map and the video area may be windows of their own: they go first.
  delete map_;
  delete video_;
}

void CVelmoraDlg::Shutdown() {
  cardTimer_.stop();
  if (panel_) panel_->Controller().Shutdown();
}

void CVelmoraDlg::Layout() {
  setFixedSize(layout_.window.width, layout_.window.height);
  banner_->setGeometry(ToQ(layout_.banner));
  notice_->setGeometry(ToQ(layout_.notice));
  close_->move(layout_.close.x, layout_.close.y);
  minimize_->move(layout_.minimize.x, layout_.minimize.y);
  video_->SetDockRect(ToQ(layout_.video));
  panel_->setGeometry(ToQ(layout_.panel));
  map_->SetDockRect(layout_.map.x, layout_.map.y, layout_.map.width, layout_.map.height);
  for (auto* g : grids_) g->Setup();
  calendar_->setGeometry(ToQ(layout_.calendar));
}

void CVelmoraDlg::SetStartFile(const std::string& file) {
  startFile_ = file;
  std::erase(startFile_, '"');
}

void CVelmoraDlg::StartPlaying() {
  if (startFile_.empty()) {
    if (panel_->OpenCard(false)) cardFolder_ = FindCardFolder();
  } else {
    panel_->OpenRecording(startFile_);
  }
}

TimelineStrip& CVelmoraDlg::Grid(int id) {
  for (auto* g : grids_)
    if (g->Place().id == id) return *g;
  return *grids_[0];
}

VideoTarget* CVelmoraDlg::VideoWindow() { return video_->Video(); }

std::shared_ptr<platform::MessageTarget> CVelmoraDlg::MainWindowTarget(uint64_t tag) {
  return std::make_shared<QtMessageTarget>(this, tag);
}

void CVelmoraDlg::PlaybackOpened() {
  video_->show();
  if (map_->BrowserCreated()) map_->show();
  else mapWanted_ = true;
  ++trackIndex_;
  map_->ClearTrack(trackIndex_);
  shown_ = {};
}

void CVelmoraDlg::PlaybackStopped() {
  timeline_.Clear();
  ColourGrids();
  MarkCalendarDays();
  video_->LeaveFullScreen();
  video_->Dock();
  video_->hide();
  map_->Dock();
  map_->hide();
  mapWanted_ = false;
}

void CVelmoraDlg::ShowNotice(const std::string& text) {
  const QString full = QString::fromStdString(text);
  // A line too long for the title bar ends in "..." and the whole of it is the tooltip.
  notice_->setText(notice_->fontMetrics().elidedText(full, Qt::ElideMiddle, notice_->width()));
  notice_->setToolTip(full);
  notice_->setVisible(!text.empty());
  banner_->setVisible(text.empty());
}

QString CVelmoraDlg::NoticeText() const { return notice_->isVisible() ? notice_->toolTip() : QString(); }

void CVelmoraDlg::StartMap() {
  if (!map_->BrowserCreated()) map_->CreateBrowser();
  if (mapWanted_) map_->show();
  mapWanted_ = false;
}

void CVelmoraDlg::RecordingsChanged() {
  MarkCalendarDays();
  // A card shown on a day without recordings jumps to the day of its first.
  PlayerChannel* c = panel_->Controller().Channel();
  const auto list = c ? c->Recordings() : std::vector<RecordingEntry>{};
  const auto days = RecordingDays(list);
  if (!days.empty() && std::find(days.begin(), days.end(), timeline_.SelectedDate()) == days.end()) {
    const CivilDate first = LocalDate(list.front().startTime);
    timeline_.SelectDate(first);
    timeline_.Rebuild(first, list);
    for (int h = 0; h < 24; ++h)
      if (timeline_.Hour(h)) {
        timeline_.ClickHour(h, 0);
        break;
      }
    calendar_->SetCurSel(ToQDate(first));
  }
  RebuildTimeline();
}

void CVelmoraDlg::RebuildTimeline() {
  PlayerChannel* c = panel_->Controller().Channel();
  timeline_.Rebuild(timeline_.SelectedDate(), c ? c->Recordings() : std::vector<RecordingEntry>{});
  ColourGrids();
}

void CVelmoraDlg::ColourGrids() {
  for (auto* g : grids_) g->Recolour();
  Grid(kIdHourGrid1).SetFocusCell(-1, -1);
}

void CVelmoraDlg::MarkCalendarDays() {
  calendar_->ClearMarks();
  PlayerChannel* c = panel_->Controller().Channel();
  if (c)
    for (const CivilDate& d : RecordingDays(c->Recordings())) calendar_->MarkDay(ToQDate(d));
  calendar_->update();
}

void CVelmoraDlg::GridClicked(int id, int column) {
  const GridPlace& place = Grid(id).Place();
  if (!place.minutes) {
    for (auto* g : grids_)
      if (!g->Place().minutes && g->Place().id != id) g->SetFocusCell(-1, -1);
    if (timeline_.ClickHour(column, place.offset))
      for (auto* g : grids_)
        if (g->Place().minutes) g->Recolour();
    return;
  }
  for (auto* g : grids_)
    if (g->Place().minutes && g->Place().id != id) g->SetFocusCell(-1, -1);
  const std::optional<int64_t> t = timeline_.ClickMinute(column, place.offset);
  PlayerChannel* c = panel_->Controller().Channel();
  if (t && c) c->PlayAtTime(*t);
}

void CVelmoraDlg::MapButton() {
  if (map_->isVisible()) {
    map_->Undock();
  } else {
    mapWanted_ = true;
    StartMap();
  }
}

void CVelmoraDlg::ConfigButton() {
  CConfigDlg dialog(panel_, nullptr, {}, this);
  dialog.exec();
}

void CVelmoraDlg::SdSetButton() {
  if (!disks_) disks_ = platform::MakeUDisksService();
  CDlgSDSet dialog(panel_, disks_.get(), nullptr, this);
  dialog.exec();
}

bool CVelmoraDlg::event(QEvent* e) {
  if (e->type() == MessageEvent::Type()) {
    auto* m = static_cast<MessageEvent*>(e);
    if (!panel_->Controller().IsCurrent(m->Tag())) return true; // from a closed channel
    if (m->Message() == WM_TS_TELEMETRY) OnTelemetry();
    else if (m->Message() == WM_TS_FILECHANGE) map_->ClearTrack(++trackIndex_);
    return true;
  }
  return CVxSkinDialog::event(e);
}

void CVelmoraDlg::OnTelemetry() {
  TelemetryMailbox::Text text;
  if (!AppTelemetryMailbox().Read(text)) return;
  // The map parses the text and keeps position, speed and course; the panel
  // shows them with the G-sensor reading.
  map_->UpdatePosition(trackIndex_, TelemetryText(std::string_view(text.data(), text.size())));
  const auto& v = map_->Values();
  shown_ = {v.Latitude(), v.Longitude(), v.Speed(), v.Angle()};
  panel_->OnTelemetry(shown_, CurrentGSensor());
}

void CVelmoraDlg::PollCards() {
  if (!cards_.Poll()) return;
  const std::string folder = FindCardFolder();
  if (folder.empty() || folder == cardFolder_) {
    cardFolder_ = folder;
    return;
  }
  if (panel_->OpenCard(false)) cardFolder_ = folder;
}

bool CVelmoraDlg::HandleKey(int key, uint32_t modifiers) {
  const std::optional<PlayerCommand> cmd = CommandForKey(key, modifiers);
  if (!cmd) return false;
  PanelController& c = panel_->Controller();
  switch (*cmd) {
    case PlayerCommand::TogglePause:
      if (!c.Channel()) return false;
      c.TogglePause();
      break;
    case PlayerCommand::StepForward: c.StepExact(1); break;
    case PlayerCommand::StepBack: c.StepExact(-1); break;
    case PlayerCommand::Slower: c.ChangeSpeed(-1); break;
    case PlayerCommand::Faster: c.ChangeSpeed(1); break;
    case PlayerCommand::NormalSpeed: c.Button(kIdPlay); break;
    case PlayerCommand::PrevFile: c.Button(kIdPrevFile); break;
    case PlayerCommand::NextFile: c.Button(kIdNextFile); break;
    case PlayerCommand::SeekBack5: c.SeekSeconds(-5); break;
    case PlayerCommand::SeekForward5: c.SeekSeconds(5); break;
    case PlayerCommand::SeekBack60: c.SeekSeconds(-60); break;
    case PlayerCommand::SeekForward60: c.SeekSeconds(60); break;
    case PlayerCommand::Snapshot: c.Button(kIdSnapshot); break;
    case PlayerCommand::MarkIn: c.Button(kIdMarkIn); break;
    case PlayerCommand::MarkOut: c.Button(kIdMarkOut); break;
    case PlayerCommand::FullScreen:
      if (!video_->LeaveFullScreen() && video_->isVisible()) {
        video_->Undock();
        video_->Video()->ToggleFullScreen();
      }
      break;
    case PlayerCommand::LeaveFullScreen: video_->LeaveFullScreen(); break;
    case PlayerCommand::Mute: c.ToggleMute(); break;
    case PlayerCommand::OpenFile: c.OpenFile(); break;
  }
  return true;
}

void CVelmoraDlg::paintEvent(QPaintEvent* e) {
  CVxSkinDialog::paintEvent(e);
  if (isMinimized()) {
    QPainter p(this);
    p.drawPixmap(rect().center() - QPoint(16, 16), windowIcon().pixmap(32, 32));
  }
}

void CVelmoraDlg::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CVelmoraDlg::dropEvent(QDropEvent* e) {
  const QList<QUrl> urls = e->mimeData()->urls();
  if (urls.isEmpty()) return;
  const QString path = urls.front().isLocalFile() ? urls.front().toLocalFile() : urls.front().toString();
  e->acceptProposedAction();
  panel_->OpenRecording(path.toStdString());
}

void CVelmoraDlg::keyPressEvent(QKeyEvent* e) {
  // Escape and Enter never close the window.
  if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return;
  CVxSkinDialog::keyPressEvent(e);
}

void CVelmoraDlg::closeEvent(QCloseEvent* e) {
  // Closed by its button or by the window manager: the program ends (also when
  // the video area floats as a window of its own).
  CVxSkinDialog::closeEvent(e);
  QCoreApplication::quit();
}
