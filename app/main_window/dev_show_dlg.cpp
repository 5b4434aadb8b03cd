#include "app/main_window/dev_show_dlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "app/logic/layout.h"
#include "video/video_static.h"

CDevShowDlg::CDevShowDlg(QWidget* mainWindow) : QWidget(mainWindow), mainWindow_(mainWindow) {
  setObjectName("CDevShowDlg");
  setWindowTitle("Device Video Display");
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
  video_ = new CVideoStatic(this);
  video_->setObjectName("video");
  video_->installEventFilter(this);
}

CDevShowDlg::~CDevShowDlg() = default;

bool CDevShowDlg::FullScreen() const { return video_->IsFullScreen(); }

void CDevShowDlg::Dock() {
  if (!floating_) return;
  floating_ = false;
  const bool shown = isVisible();
  setParent(mainWindow_, Qt::Widget);
  setGeometry(dock_);
  if (shown) show();
}

void CDevShowDlg::Undock() {
  if (floating_) return;
  floating_ = true;
  const bool shown = isVisible();
  setParent(nullptr, Qt::Window);
  const layout::Size s = layout::MainLayoutFor(0).floatingVideo;
  resize(s.width, s.height);
  if (const QScreen* screen = mainWindow_->screen() ? mainWindow_->screen() : QGuiApplication::primaryScreen())
    move(screen->geometry().center() - QPoint(s.width / 2, s.height / 2));
  if (shown) show();
}

void CDevShowDlg::SetDockRect(const QRect& r) {
  dock_ = r;
  if (!floating_) setGeometry(r);
}

void CDevShowDlg::DoubleClick() {
  if (floating_) video_->ToggleFullScreen();
  else Undock();
}

bool CDevShowDlg::LeaveFullScreen() {
  if (!video_->IsFullScreen()) return false;
  video_->ToggleFullScreen();
  return true;
}

bool CDevShowDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == video_ && event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    DoubleClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CDevShowDlg::resizeEvent(QResizeEvent*) {
  if (!video_->IsFullScreen()) video_->setGeometry(rect());
}

void CDevShowDlg::closeEvent(QCloseEvent* event) {
  // The close box of the floating window docks it again (leaving full screen first).
  event->ignore();
  LeaveFullScreen();
  Dock();
}
