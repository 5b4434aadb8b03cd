#include "video/video_static.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "video/video_picture.h"
#include "video/video_surface.h"

CVideoStatic::CVideoStatic(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  BuildSurface();
  UpdateScreenDepth();
}

CVideoStatic::~CVideoStatic() {
  if (surface_) disconnect(surface_, nullptr, this, nullptr);
  delete container_; // and the surface with it
}

void CVideoStatic::BuildSurface() {
  if (surface_) return;
  delete container_; // left without its window
  surface_ = new Surface(this);
  // Deleted by Qt with the native window it sits in; see the class comment.
  connect(surface_, &QObject::destroyed, this, &CVideoStatic::SurfaceDeleted);
  container_ = QWidget::createWindowContainer(surface_, this);
  container_->setGeometry(rect());
  if (isVisible()) container_->show();
}

void CVideoStatic::SurfaceDeleted() {
  surface_ = nullptr;
  // Built again once Qt has finished making the window's new native window.
  QMetaObject::invokeMethod(this, &CVideoStatic::BuildSurface, Qt::QueuedConnection);
}

void CVideoStatic::UpdateScreenDepth() {
  const QScreen* s = screen();
  depth_ = s && s->depth() == 16 ? 16 : 32;
}

bool CVideoStatic::IsReady() const { return surface_ && surface_->Ready(); }

QImage CVideoStatic::GrabFramebuffer() { return surface_ ? surface_->Grab() : QImage(); }

bool CVideoStatic::Show(std::shared_ptr<const VideoPicture> picture) {
  if (picture && picture->format == PictureFormat::kYuv420 && !CanShowYuv()) return false;
  {
    std::lock_guard lock(mutex_);
    // The video thread shows a held picture again and again (pause, step): the
    // window already has it, and repaints itself whenever it needs to.
    const uint64_t serial = picture ? picture->serial : 0;
    if (serial == handedSerial_) return true;
    handedSerial_ = serial;
    pending_ = std::move(picture);
    pendingSet_ = true;
  }
  // One repaint request at a time; the repaint draws the latest picture.
  if (!updatePosted_.exchange(true))
    QMetaObject::invokeMethod(
        this,
        [this] {
          updatePosted_ = false;
          if (surface_) surface_->update();
        },
        Qt::QueuedConnection);
  return true;
}

bool CVideoStatic::TakePending(std::shared_ptr<const VideoPicture>& out) {
  std::lock_guard lock(mutex_);
  if (!pendingSet_) return false;
  out = std::move(pending_);
  pending_.reset();
  pendingSet_ = false;
  return true;
}

void CVideoStatic::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
}

void CVideoStatic::resizeEvent(QResizeEvent* event) {
  if (container_) container_->setGeometry(rect());
  QWidget::resizeEvent(event);
}

void CVideoStatic::showEvent(QShowEvent* event) {
  UpdateScreenDepth();
  QWidget::showEvent(event);
}

void CVideoStatic::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && !fullScreen_ && parentWidget()) {
    // Dragging the video drags the window it sits in: by the window manager when it
    // offers that, otherwise by moving the window along with the mouse.
    QWindow* handle = window()->windowHandle();
    if (!(handle && handle->startSystemMove())) {
      dragging_ = true;
      dragOffset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    }
  }
  QWidget::mousePressEvent(event);
}

void CVideoStatic::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) window()->move(event->globalPosition().toPoint() - dragOffset_);
  QWidget::mouseMoveEvent(event);
}

void CVideoStatic::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void CVideoStatic::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = false;
    ToggleFullScreen();
  }
  QWidget::mouseDoubleClickEvent(event);
}

void CVideoStatic::ToggleFullScreen() {
  if (!fullScreen_) {
    savedParent_ = parentWidget();
    savedGeometry_ = geometry();
    hiddenWindow_ = savedParent_ ? window() : nullptr;
    if (savedParent_) setParent(nullptr); // a top-level window of its own
    if (hiddenWindow_) hiddenWindow_->hide();
    // The whole screen also where no window manager takes the full-screen request.
    if (const QScreen* s = screen()) setGeometry(s->geometry());
    showFullScreen();
    raise();
    activateWindow();
    fullScreen_ = true;
  } else {
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    if (savedParent_) {
      setParent(savedParent_);
      setGeometry(savedGeometry_);
      show();
      if (hiddenWindow_) hiddenWindow_->show();
    } else {
      showNormal();
      setGeometry(savedGeometry_);
    }
    fullScreen_ = false;
  }
  if (surface_) surface_->update();
}
