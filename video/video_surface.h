#pragma once
// The GL surface of the video window.
#include <cstdint>
#include <memory>

#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWindow>

#include "video/video_static.h"

struct VideoPicture;

// The GL surface: an OpenGL window filling the widget. It draws the widget's
// latest picture and hands mouse and key input on to the widget.
class CVideoStatic::Surface : public QOpenGLWindow, protected QOpenGLFunctions {
public:
  explicit Surface(CVideoStatic* owner) : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate), owner_(owner) {}
  ~Surface() override {
    if (ready_) {
      makeCurrent();
      ReleaseGL();
      doneCurrent();
    }
  }
  bool Ready() const { return ready_; }
  QImage Grab();

protected:
  void initializeGL() override;
  void paintGL() override;
  bool event(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override { Forward(e); }
  void mouseMoveEvent(QMouseEvent* e) override { Forward(e); }
  void mouseReleaseEvent(QMouseEvent* e) override { Forward(e); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { Forward(e); }
  void keyPressEvent(QKeyEvent* e) override { Forward(e); }
  void keyReleaseEvent(QKeyEvent* e) override { Forward(e); }

private:
  // The window lies at (0, 0) of the widget: positions need no change.
  void Forward(QEvent* e) { QCoreApplication::sendEvent(owner_, e); }
  // Shaders and textures for the current context.
  void MakeResources();
  QOpenGLShaderProgram* RgbProgram(bool swapRedBlue);
  // The 4:2:0 converter, built at the first call; null when it does not link.
  QOpenGLShaderProgram* YuvProgram();
  void ReleaseGL();
  bool Upload(const VideoPicture& picture);
  void Draw(const VideoPicture& picture);
  void DefineTexture(int index, GLint internalFormat, int width, int height, GLenum format, GLenum type);

  CVideoStatic* owner_;
  bool ready_ = false;
  uint64_t uploadedSerial_ = 0;
  QOpenGLShaderProgram* yuvProgram_ = nullptr;
  QOpenGLShaderProgram* rgbProgram_ = nullptr;
  QOpenGLShaderProgram* swapProgram_ = nullptr; // BGRA pictures uploaded as RGBA
  bool uploadBgra_ = true;
  GLuint textures_[3] = {0, 0, 0};
  int textureSize_[3][2] = {};
  GLint textureFormat_[3] = {};
};
