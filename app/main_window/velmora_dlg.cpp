#include "app/main_window/velmora_dlg.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTextCharFormat>
#include <QWindow>

#include "app/logic/card_finder.h"
#include "app/main_window/dev_show_dlg.h"
#include "app/main_window/timeline_strip.h"
#include "app/settings.h"
#include "core/messages.h"
#include "core/telemetry_mailbox.h"
#include "telemetry/telemetry.h"
#include "video/video_static.h"

using namespace layout;

namespace {

QRect ToQ(const Rect& r) { return {r.x, r.y, r.width, r.height}; }

QDate ToQDate(const CivilDate& d) { return {d.year, d.month, d.day}; }
CivilDate FromQDate(const QDate& d) { return {d.year(), d.month(), d.day()}; }

QPushButton* TitleButton(const char* text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setFocusPolicy(Qt::NoFocus);
  b->setStyleSheet("QPushButton{background:#2d333b;color:#ddd;border:1px solid #555;font-weight:bold}"
                   "QPushButton:hover{background:#c0392b}");
  return b;
}

} // namespace

CVelmoraDlg::CVelmoraDlg(int uiMode, VolumeMixer& mixer) : layout_(MainLayoutFor(uiMode)) {
  setObjectName("CVelmoraDlg");
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setWindowTitle("Dravix");
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);

  video_ = new CDevShowDlg(this);
  banner_ = new QLabel("Dravix", this);
  banner_->setAlignment(Qt::AlignCenter);
  banner_->setStyleSheet("color:#e8e8e8;font-weight:bold;font-size:15px;background:transparent");
  close_ = TitleButton("X", this);
  minimize_ = TitleButton("_", this);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
  connect(minimize_, &QPushButton::clicked, this, &QWidget::showMinimized);

  // Until the map window takes its place: a plain area where the track goes.
  map_ = new QWidget(this);
  map_->setObjectName("map");
  map_->setStyleSheet("background:#1b2a1b");
  mapText_ = new QLabel(map_);
  mapText_->setStyleSheet("color:#9fd49f;font-size:11px;background:transparent");
  mapText_->setAlignment(Qt::AlignCenter);

  panel_ = new CPlayCtrlDlg(uiMode, *this, mixer, this);

  calendar_ = new QCalendarWidget(this);
  calendar_->setObjectName("calendar");
  calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  calendar_->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
  calendar_->setGridVisible(false);
  calendar_->setFocusPolicy(Qt::NoFocus);
  QFont cf = calendar_->font();
  cf.setPixelSize(uiMode == 0 ? 9 : 10);
  calendar_->setFont(cf);
  connect(calendar_, &QCalendarWidget::selectionChanged, this, [this] {
    timeline_.SelectDate(FromQDate(calendar_->selectedDate()));
    RebuildTimeline();
  });

  int i = 0;
  for (const auto& g : layout_.grids) {
    const GridPlace place = g;
    std::function<int(int)> status = place.minutes
                                         ? std::function<int(int)>([this, place](int c) { return timeline_.MinuteCell(c, place.offset); })
                                         : std::function<int(int)>([this, place](int c) { return timeline_.HourCell(c, place.offset); });
    auto* strip = new TimelineStrip(place, status, this);
    connect(strip, &TimelineStrip::clicked, this, [this, id = place.id](int c) { GridClicked(id, c); });
    grids_[static_cast<size_t>(i++)] = strip;
  }

  panel_->show();
  video_->hide();
  map_->hide();
  Layout();
  timeline_.Clear();
  timeline_.SelectDate(FromQDate(calendar_->selectedDate()));
  connect(&cardTimer_, &QTimer::timeout, this, &CVelmoraDlg::PollCards);
  cardTimer_.start(1000);
}

CVelmoraDlg::~CVelmoraDlg() {
  Shutdown();
  // The video area may be a window of its own: it goes with this one.
  delete video_;
}

void CVelmoraDlg::Shutdown() {
  cardTimer_.stop();
  if (panel_) panel_->Controller().Stop();
}

void CVelmoraDlg::Layout() {
  setFixedSize(layout_.window.width, layout_.window.height);
  banner_->setGeometry(ToQ(layout_.banner));
  close_->setGeometry(ToQ(layout_.close));
  minimize_->setGeometry(ToQ(layout_.minimize));
  video_->SetDockRect(ToQ(layout_.video));
  panel_->setGeometry(ToQ(layout_.panel));
  map_->setGeometry(ToQ(layout_.map));
  mapText_->setGeometry(map_->rect());
  calendar_->setGeometry(ToQ(layout_.calendar));
  for (auto* g : grids_) g->setVisible(g->Place().visible);
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
  map_->show();
  ++trackIndex_;
  shown_ = {};
  mapText_->setText(QString("Track %1").arg(trackIndex_));
}

void CVelmoraDlg::PlaybackStopped() {
  timeline_.Clear();
  ColourGrids();
  MarkCalendarDays();
  video_->LeaveFullScreen();
  video_->Dock();
  video_->hide();
  map_->hide();
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
    QSignalBlocker block(calendar_);
    calendar_->setSelectedDate(ToQDate(first));
  }
  RebuildTimeline();
}

void CVelmoraDlg::RebuildTimeline() {
  PlayerChannel* c = panel_->Controller().Channel();
  timeline_.Rebuild(timeline_.SelectedDate(), c ? c->Recordings() : std::vector<RecordingEntry>{});
  ColourGrids();
}

void CVelmoraDlg::ColourGrids() {
  for (auto* g : grids_) {
    if (!g->Place().minutes) g->SetFocusCell(-1);
    g->update();
  }
}

void CVelmoraDlg::MarkCalendarDays() {
  calendar_->setDateTextFormat(QDate(), QTextCharFormat());
  PlayerChannel* c = panel_->Controller().Channel();
  if (!c) return;
  QTextCharFormat marked;
  marked.setBackground(QColor(200, 40, 40));
  marked.setForeground(Qt::white);
  marked.setFontWeight(QFont::Bold);
  for (const CivilDate& d : RecordingDays(c->Recordings())) calendar_->setDateTextFormat(ToQDate(d), marked);
}

void CVelmoraDlg::GridClicked(int id, int column) {
  const GridPlace& place = Grid(id).Place();
  if (!place.minutes) {
    for (auto* g : grids_)
      if (!g->Place().minutes && g->Place().id != id) g->SetFocusCell(-1);
    if (timeline_.ClickHour(column, place.offset)) ColourGrids();
    return;
  }
  for (auto* g : grids_)
    if (g->Place().minutes && g->Place().id != id) g->SetFocusCell(-1);
  const std::optional<int64_t> t = timeline_.ClickMinute(column, place.offset);
  PlayerChannel* c = panel_->Controller().Channel();
  if (t && c) c->PlayAtTime(*t);
}

void CVelmoraDlg::MapButton() {
  if (map_->isVisible()) map_->hide();
  else map_->show();
}

// The settings and camera dialogs are run from here once they exist.
void CVelmoraDlg::ConfigButton() {}
void CVelmoraDlg::SdSetButton() {}

bool CVelmoraDlg::event(QEvent* e) {
  if (e->type() == MessageEvent::Type()) {
    auto* m = static_cast<MessageEvent*>(e);
    if (!panel_->Controller().IsCurrent(m->Tag())) return true; // from a closed channel
    if (m->Message() == WM_TS_TELEMETRY) OnTelemetry();
    else if (m->Message() == WM_TS_FILECHANGE) {
      ++trackIndex_;
      mapText_->setText(QString("Track %1").arg(trackIndex_));
    }
    return true;
  }
  return QWidget::event(e);
}

void CVelmoraDlg::OnTelemetry() {
  TelemetryMailbox::Text text;
  if (!AppTelemetryMailbox().Read(text)) return;
  TelemetrySample s;
  if (ParseTelemetry(TelemetryText(std::string_view(text.data(), text.size())), s) == 1) {
    shown_.latitude = s.latitude;
    shown_.longitude = s.longitude;
    shown_.speed = s.speed;
    shown_.course = s.course;
    mapText_->setText(QString("Track %1\n%2\n%3")
                          .arg(trackIndex_)
                          .arg(QString::fromStdString(FormatLatitude(s.latitude)).trimmed())
                          .arg(QString::fromStdString(FormatLongitude(s.longitude)).trimmed()));
  }
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
    case PlayerCommand::StepForward: c.Button(kIdNextFrame); break;
    case PlayerCommand::StepBack: c.Button(kIdPrevFrame); break;
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

void CVelmoraDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(24, 27, 31));
  p.fillRect(QRect(0, 0, width(), 30), QColor(36, 40, 46));
  p.setPen(QColor(70, 76, 84));
  p.drawRect(ToQ(layout_.video).adjusted(-1, -1, 0, 0));
  p.drawRect(ToQ(layout_.map).adjusted(-1, -1, 0, 0));
  // Labels of the timelines.
  p.setPen(QColor(170, 170, 170));
  QFont f = font();
  f.setPixelSize(10);
  p.setFont(f);
  const GridPlace& m = layout_.grids[0];
  const GridPlace& h = layout_.grids[2];
  p.drawText(QRect(m.rect.x, m.rect.y - 14, m.rect.width, 12), Qt::AlignLeft, "Minute");
  p.drawText(QRect(h.rect.x, h.rect.y - 14, h.rect.width, 12), Qt::AlignLeft, "Hour");
  if (!video_->isVisible()) {
    p.setPen(QColor(90, 96, 104));
    f.setPixelSize(18);
    p.setFont(f);
    p.drawText(ToQ(layout_.video), Qt::AlignCenter, "Dravix");
  }
}

void CVelmoraDlg::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && windowHandle()) windowHandle()->startSystemMove();
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
  QWidget::keyPressEvent(e);
}

void CVelmoraDlg::closeEvent(QCloseEvent* e) {
  // Closed by its button or by the window manager: the program ends (also when
  // the video area floats as a window of its own).
  QWidget::closeEvent(e);
  QCoreApplication::quit();
}
