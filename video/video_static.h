#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include "video/video_target.h"

class QOpenGLShaderProgram;

// The video window: shows the channel's back buffer stretched over its whole
// area with OpenGL, black before the first picture and after stop. Planar 4:2:0
// pictures are uploaded as three textures and converted by a shader (with their
// own level range and matrix); RGB pictures (16 or 32 bits) as one texture.
//
// The drawing surface is an OpenGL window embedded in the widget: drawing
// straight into it costs a fraction of what composing a QOpenGLWidget into its
// top-level window costs with a software renderer (Mesa's llvmpipe), where the
// composition alone would keep the player from 30 frames a second at 1080p.
//
// The video thread only calls Show (and the two queries), which keep the picture
// and ask the GUI thread for a repaint; all GL work happens on the GUI thread.
// Stop the channel before the widget goes.
//
// Qt rebuilds a top-level window's native window when a widget that draws
// through OpenGL composition (a browser, a QOpenGLWidget) first appears in it,
// and the embedded GL window is deleted along with the old one. The widget then
// builds a new GL window, which draws the picture shown last.
//
// A left-button drag moves the top-level window; a double click toggles full
// screen, and leaving full screen puts the widget back in its parent at exactly
// its old rectangle.
class CVideoStatic : public QWidget, public VideoTarget {
  Q_OBJECT
public:
  explicit CVideoStatic(QWidget* parent = nullptr);
  ~CVideoStatic() override;

  void ToggleFullScreen();
  bool IsFullScreen() const { return fullScreen_; }

  int ScreenDepth() const override { return depth_.load(std::memory_order_relaxed); }
  bool CanShowYuv() const override { return yuvWorks_.load(std::memory_order_relaxed); }
  bool Show(std::shared_ptr<const VideoPicture> picture) override;

  // Whether the GL surface has been set up (after the widget was first shown).
  bool IsReady() const;
  // The serial of the picture drawn last (0: black). GUI thread.
  uint64_t DrawnSerial() const { return drawnSerial_; }
  // Draws the current picture and reads the result back (tests, screenshots).
  QImage GrabFramebuffer();

signals:
  // A picture (or black) has been drawn. GUI thread.
  void pictureDrawn();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  class Surface;
  friend class Surface;

  // Makes the GL window and its container (when there is none).
  void BuildSurface();
  void SurfaceDeleted();
  void UpdateScreenDepth();
  // Takes the picture handed over last (GUI thread); false when there is none new.
  bool TakePending(std::shared_ptr<const VideoPicture>& out);

  Surface* surface_ = nullptr; // owned by its container; null between a deletion and the rebuild
  QWidget* container_ = nullptr;
  std::shared_ptr<const VideoPicture> shown_; // the picture drawn last (GUI thread)

  std::atomic<int> depth_{32};
  std::atomic<bool> yuvWorks_{true};
  std::atomic<bool> updatePosted_{false};

  std::mutex mutex_;
  std::shared_ptr<const VideoPicture> pending_; // handed by Show, not drawn yet
  bool pendingSet_ = false;
  uint64_t handedSerial_ = ~uint64_t{0}; // the serial of the last picture handed over (0: black)

  uint64_t drawnSerial_ = 0;
  bool fullScreen_ = false;
  QPointer<QWidget> savedParent_;
  QPointer<QWidget> hiddenWindow_;
  QRect savedGeometry_;
  bool dragging_ = false;
  QPoint dragOffset_;
};
