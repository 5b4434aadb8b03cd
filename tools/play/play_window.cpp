#include "tools/play/play_window.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include "app/settings.h"
#include "core/messages.h"
#include "core/playback_state.h"
#include "core/telemetry_mailbox.h"
#include "core/ts_chn.h"
#include "video/snapshot.h"
#include "video/video_static.h"

namespace {

const char* const kHelp =
    "<b>Keys</b><br>"
    "P or Enter &nbsp; play<br>"
    "Space &nbsp; pause / go on<br>"
    "R &nbsp; reverse play<br>"
    "Right or . &nbsp; next frame<br>"
    "Left or , &nbsp; previous frame<br>"
    "1 .. 9 &nbsp; speed 1/16x, 1/8x, 1/4x, 1/2x, 1x, 2x, 2x, 2x, 3x<br>"
    "Page Up / Page Down &nbsp; previous / next file<br>"
    "Up / Down &nbsp; seek 5 % forward / back; Home: start<br>"
    "I / O &nbsp; Mark In / Mark Out<br>"
    "S &nbsp; snapshot<br>"
    "F or double click &nbsp; full screen; Esc leaves it<br>"
    "F1 &nbsp; this help; Q quit";

QString SpeedName(int code) {
  switch (code) {
  case 0: return "held";
  case 1: return "1x";
  case 2: return "2x";
  case 3: return "2x, 1/2 of each group";
  case 4: return "2x, 1/4 of each group";
  case 5: return "3x, 1/8 of each group";
  case 6: return "4x, 1/16 of each group";
  case 7: return "1/2x";
  case 8: return "1/4x";
  case 9: return "1/8x";
  case 10: return "1/16x";
  case 11: return "step";
  default: return QString::number(code);
  }
}

} // namespace

PlayWindow::PlayWindow(const Options& options) : options_(options) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  video_ = new CVideoStatic(this);
  video_->installEventFilter(this); // keys still work while the video is full screen
  // The video is a native GL window: the help is a small window of its own above it.
  help_ = new QLabel(kHelp, this, Qt::Tool | Qt::FramelessWindowHint);
  help_->setStyleSheet("QLabel { background: black; color: white; padding: 10px; }");
  help_->adjustSize();
  help_->hide();
  setFocusPolicy(Qt::StrongFocus);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this] {
    if (!channel_) return;
    channel_->TakeFrameCount();
    fps_ = channel_->FramesPerSecond();
    shownTotal_ += fps_;
    UpdateTitle();
  });
  timer->start(1000);
  UpdateTitle();
}

PlayWindow::~PlayWindow() {
  // The channel's threads present into the video window and post to this one.
  channel_.reset();
}

bool PlayWindow::Play() {
  channel_ = std::make_unique<CTSChn>(ChannelLinks{&messages_, &messages_, nullptr, &Settings().displayMode,
                                                    &Settings().soundAmplification});
  if (!options_.audio) channel_->EnableAudio(false);
  std::error_code ec;
  if (std::filesystem::is_directory(options_.path, ec)) {
    CFindFilePath folder;
    folder.ListSavedSegments(true);
    folder.ScanNow(options_.path + "/");
    std::vector<RecordingEntry> list = folder.Entries();
    if (list.empty()) {
      std::fprintf(stderr, "velmora-play: no recordings (*.ts, *.nts) in %s\n", options_.path.c_str());
      channel_.reset();
      return false;
    }
    channel_->Open(video_, list.front().path);
    channel_->Start(&list);
  } else {
    channel_->Open(video_, options_.path);
    channel_->Start();
  }
  UpdateTitle();
  return true;
}

void PlayWindow::resizeEvent(QResizeEvent* event) {
  if (!video_->IsFullScreen()) video_->setGeometry(rect());
  QWidget::resizeEvent(event);
}

bool PlayWindow::event(QEvent* event) {
  if (event->type() == MessageEvent::Type()) {
    const auto* m = static_cast<MessageEvent*>(event);
    OnMessage(m->Message(), m->WParam());
    return true;
  }
  return QWidget::event(event);
}

void PlayWindow::OnMessage(uint32_t message, uintptr_t wParam) {
  if (message == WM_TS_PROGRESS) {
    const int position = static_cast<int>(wParam);
    if (position / 10 != position_ / 10) {
      position_ = position;
      UpdateTitle();
    }
    position_ = position;
  } else if (message == WM_TS_TELEMETRY) {
    TelemetryMailbox::Text text;
    AppTelemetryMailbox().Read(text); // no map here: the text is only taken
    AppTelemetryMailbox().ClearPending();
  } else if (message == WM_TS_FILECHANGE) {
    UpdateTitle();
  }
}

bool PlayWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == video_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (Command(key->key(), key->modifiers())) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void PlayWindow::keyPressEvent(QKeyEvent* event) {
  if (!Command(event->key(), event->modifiers())) QWidget::keyPressEvent(event);
}

void PlayWindow::Note(const QString& text) {
  note_ = text;
  UpdateTitle();
}

bool PlayWindow::Command(int key, Qt::KeyboardModifiers) {
  switch (key) {
  case Qt::Key_F1:
  case Qt::Key_H:
    if (help_->isVisible()) {
      help_->hide();
    } else {
      help_->move(video_->mapToGlobal(QPoint(10, 10)));
      help_->show();
      help_->raise();
    }
    return true;
  case Qt::Key_F:
    video_->ToggleFullScreen();
    return true;
  case Qt::Key_Escape:
    if (video_->IsFullScreen()) video_->ToggleFullScreen();
    return true;
  case Qt::Key_Q:
    close();
    return true;
  default: break;
  }
  if (!channel_) return false;
  CTSChn& c = *channel_;
  switch (key) {
  case Qt::Key_P:
  case Qt::Key_Return:
  case Qt::Key_Enter:
    c.SetDirection(0);
    c.SetPause(0);
    c.SetSpeed(kSpeedNormal);
    c.EnableAudio(options_.audio);
    Note("play");
    break;
  case Qt::Key_Space:
    c.SetPause(c.Pause() ? 0 : 1);
    Note(c.Pause() ? "paused" : "");
    break;
  case Qt::Key_R:
    c.SetDirection(1);
    c.SetPause(0);
    c.SetSpeed(kSpeedSlowHalf);
    Note("reverse");
    break;
  case Qt::Key_Right:
  case Qt::Key_Period:
    c.SetDirection(0);
    c.SetPause(0);
    c.SetSpeed(kSpeedStep);
    Note("next frame");
    break;
  case Qt::Key_Left:
  case Qt::Key_Comma:
    c.SetDirection(1);
    c.SetPause(0);
    c.SetSpeed(kSpeedStep);
    Note("previous frame");
    break;
  case Qt::Key_1: case Qt::Key_2: case Qt::Key_3: case Qt::Key_4: case Qt::Key_5:
  case Qt::Key_6: case Qt::Key_7: case Qt::Key_8: case Qt::Key_9: {
    const int position = key - Qt::Key_1;
    c.SetSpeed(SpeedCodeForSlider(position));
    c.EnableAudio(options_.audio && SliderHasAudio(position));
    Note("");
    break;
  }
  case Qt::Key_PageUp:
    c.Seek(-1001);
    Note("previous file");
    break;
  case Qt::Key_PageDown:
    c.Seek(-1002);
    Note("next file");
    break;
  case Qt::Key_Up:
    c.Seek(std::clamp(position_ + 50, 1, 1000));
    break;
  case Qt::Key_Down:
    c.Seek(std::clamp(position_ - 50, 1, 1000));
    break;
  case Qt::Key_Home:
    c.Seek(1);
    break;
  case Qt::Key_I:
    c.MarkIn();
    Note(QString("Mark In at byte %1").arg(c.MarkInPoint().position));
    break;
  case Qt::Key_O:
    c.MarkOut();
    Note(QString("Mark Out at byte %1").arg(c.MarkOutPoint().position));
    break;
  case Qt::Key_S: {
    const AppSettings& s = Settings();
    const std::string pathTemplate = SnapshotTemplate(s.snapshotFolder, s.imageType, std::time(nullptr));
    c.Snapshot(pathTemplate, SnapshotCount(s.burstCount));
    Note(QString("snapshot to %1").arg(QString::fromStdString(SnapshotFileName(pathTemplate, 1))));
    break;
  }
  default: return false;
  }
  UpdateTitle();
  return true;
}

void PlayWindow::UpdateTitle() {
  QString title = "velmora-play";
  if (channel_) {
    const std::string file = channel_->GetCurFile();
    if (!file.empty()) title += " - " + QString::fromStdString(std::filesystem::path(file).filename().string());
    title += QString(" - %1 % - %2").arg(position_ / 10).arg(SpeedName(channel_->Speed()));
    if (channel_->Pause()) title += " - paused";
    title += QString(" - %1 fps").arg(fps_);
  }
  if (!note_.isEmpty()) title += " - " + note_;
  title += " - F1: keys";
  setWindowTitle(title);
}
