#include "app/velmora_app.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSessionManager>
#include <QTextEdit>

#include "app/logic/card_finder.h"
#include "app/main_window/dev_show_dlg.h"
#include "app/main_window/velmora_dlg.h"
#include "app/map_offset_config.h"
#include "app/quit_on_signal.h"
#include "app/settings.h"
#include "video/av_decoder.h"
#include "video/video_static.h"

namespace {

bool IsTextField(const QWidget* w) {
  return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
         qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w);
}

} // namespace

CVelmoraApp::CVelmoraApp() = default;

CVelmoraApp::~CVelmoraApp() { Finish(); }

std::string CVelmoraApp::VersionText() { return VELMORA_VERSION; }

void CVelmoraApp::Start(const std::vector<std::string>& args) {
  AvDecoder::InitLibrary();
  ScanLanguages();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen ? screen->size() : QSize(1920, 1080);
  LoadSettings(size.width(), size.height());
  LoadMapOffsetTable(); // when "GPS_Offset_Auto" reads 1

  QuitOnSignals(); // SIGTERM and SIGINT end as closing the window does: Run saves
  // The desktop ending the session: save before it ends the process.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [](QSessionManager&) { SaveSettings(); });
  qApp->installEventFilter(this);

  mixer_ = MakeSystemMixer();
  window_ = std::make_unique<CVelmoraDlg>(Settings().uiMode, *mixer_);
  window_->SetStartFile(StartFileFromArguments(args));
  window_->move(0, 0);
  window_->show();
  window_->StartPlaying();
}

void CVelmoraApp::Finish() {
  if (saved_) return;
  saved_ = true;
  qApp->removeEventFilter(this);
  // Playback and exports end first, then the windows they draw into go, then
  // the settings are written.
  if (window_) window_->Shutdown();
  window_.reset();
  SaveSettings();
}

int CVelmoraApp::Run(const std::vector<std::string>& args) {
  Start(args);
  const int status = QApplication::exec();
  Finish();
  return status;
}

bool CVelmoraApp::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !window_) return QObject::eventFilter(watched, event);
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w || QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
  // Only in the player's own windows: the main window with the panel, the
  // floating video area and the full-screen video.
  const QWidget* top = w->window();
  CDevShowDlg& area = window_->VideoArea();
  if (top != window_.get() && top != &area && top != area.Video()) return false;
  if (IsTextField(QApplication::focusWidget())) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (window_->HandleKey(key->key(), static_cast<uint32_t>(key->modifiers()))) return true;
  // Escape and Enter close nothing.
  return key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}
