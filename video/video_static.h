#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPointer>
#include <QRect>

#include "video/video_target.h"

class QOpenGLShaderProgram;

// The video window: an OpenGL widget that shows the channel's back buffer
// stretched over its whole area, black before the first picture and after stop.
// Planar 4:2:0 pictures are uploaded as three textures and converted by a shader
// (with their own level range and matrix); RGB pictures (16 or 32 bits) are
// uploaded as one texture.
//
// The video thread only calls Show (and the two queries), which keep the picture
// and ask the widget's thread for a repaint; all GL work happens on the widget's
// thread. Stop the channel before the widget goes.
//
// A left-button drag moves the top-level window; a double click toggles full
// screen, and leaving full screen puts the widget back in its parent at exactly
// its old rectangle.
class CVideoStatic : public QOpenGLWidget, public VideoTarget, protected QOpenGLFunctions {
  Q_OBJECT
public:
  explicit CVideoStatic(QWidget* parent = nullptr);
  ~CVideoStatic() override;

  void ToggleFullScreen();
  bool IsFullScreen() const { return fullScreen_; }

  int ScreenDepth() const override { return depth_.load(std::memory_order_relaxed); }
  bool CanShowYuv() const override { return yuvWorks_.load(std::memory_order_relaxed); }
  bool Show(std::shared_ptr<const VideoPicture> picture) override;

  // The serial of the picture drawn last (0: black). Widget thread.
  uint64_t DrawnSerial() const { return drawnSerial_; }

signals:
  // A picture (or black) has been drawn. Widget thread.
  void pictureDrawn();

protected:
  void initializeGL() override;
  void paintGL() override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  void UpdateScreenDepth();
  void ReleaseGL();
  bool Upload(const VideoPicture& picture);
  void Draw(const VideoPicture& picture);
  void DefineTexture(int index, int internalFormat, int width, int height, unsigned format, unsigned type);

  std::atomic<int> depth_{32};
  std::atomic<bool> yuvWorks_{true};
  std::atomic<bool> updatePosted_{false};

  std::mutex mutex_;
  std::shared_ptr<const VideoPicture> pending_; // handed by Show, not drawn yet
  bool pendingSet_ = false;
  uint64_t handedSerial_ = ~uint64_t{0}; // the serial of the last picture handed over (0: black)

  // Widget thread only.
  std::shared_ptr<const VideoPicture> shown_;
  uint64_t uploadedSerial_ = 0;
  uint64_t drawnSerial_ = 0;
  bool glReady_ = false;
  QOpenGLShaderProgram* yuvProgram_ = nullptr;
  QOpenGLShaderProgram* rgbProgram_ = nullptr;
  unsigned textures_[3] = {0, 0, 0};
  int textureSize_[3][2] = {};
  int textureFormat_[3] = {};

  bool fullScreen_ = false;
  QPointer<QWidget> savedParent_;
  QPointer<QWidget> hiddenWindow_;
  QRect savedGeometry_;
  bool dragging_ = false;
  QPoint dragOffset_;
};
