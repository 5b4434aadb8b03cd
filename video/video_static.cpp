#include "video/video_static.h"

#include <QGenericMatrix>
#include <QMetaObject>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QScreen>
#include <QWindow>

#include "video/video_picture.h"

namespace {

const char* const kVertexShader = R"(
attribute highp vec2 position;
varying highp vec2 texCoord;
void main() {
  texCoord = vec2((position.x + 1.0) * 0.5, (1.0 - position.y) * 0.5);
  gl_Position = vec4(position, 0.0, 1.0);
}
)";

// Planar 4:2:0 to RGB: subtract the black level and the chroma centre, then the
// matrix (which also stretches limited-range levels to 0..1).
const char* const kYuvShader = R"(
#ifdef GL_ES
precision highp float;
#endif
varying highp vec2 texCoord;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
uniform mat3 toRgb;
uniform vec3 offset;
void main() {
  vec3 yuv = vec3(texture2D(planeY, texCoord).r, texture2D(planeU, texCoord).r, texture2D(planeV, texCoord).r);
  gl_FragColor = vec4(clamp(toRgb * (yuv - offset), 0.0, 1.0), 1.0);
}
)";

// Packed RGB; 32-bit pictures are uploaded as RGBA bytes and their B and R swapped here.
const char* const kRgbShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying highp vec2 texCoord;
uniform sampler2D picture;
uniform float swapRedBlue;
void main() {
  vec4 c = texture2D(picture, texCoord);
  gl_FragColor = vec4(mix(c.rgb, c.bgr, swapRedBlue), 1.0);
}
)";

const GLfloat kQuad[] = {-1.f, -1.f, 1.f, -1.f, -1.f, 1.f, 1.f, 1.f};

// The conversion matrix, row by row, for a level range and a colour matrix.
QMatrix3x3 YuvToRgb(const PictureColour& colour) {
  const float kr = colour.bt709 ? 0.2126f : 0.299f;
  const float kb = colour.bt709 ? 0.0722f : 0.114f;
  const float kg = 1.f - kr - kb;
  const float ys = colour.fullRange ? 1.f : 255.f / 219.f;
  const float cs = colour.fullRange ? 1.f : 255.f / 224.f;
  const float rows[9] = {
      ys, 0.f, cs * 2.f * (1.f - kr),
      ys, -cs * 2.f * (1.f - kb) * kb / kg, -cs * 2.f * (1.f - kr) * kr / kg,
      ys, cs * 2.f * (1.f - kb), 0.f,
  };
  return QMatrix3x3(rows);
}

} // namespace

CVideoStatic::CVideoStatic(QWidget* parent) : QOpenGLWidget(parent) {
  setAutoFillBackground(false);
  UpdateScreenDepth();
}

CVideoStatic::~CVideoStatic() {
  if (glReady_ && context()) {
    makeCurrent();
    ReleaseGL();
    doneCurrent();
  }
}

void CVideoStatic::UpdateScreenDepth() {
  const QScreen* s = screen();
  depth_ = s && s->depth() == 16 ? 16 : 32;
}

bool CVideoStatic::Show(std::shared_ptr<const VideoPicture> picture) {
  if (picture && picture->format == PictureFormat::kYuv420 && !CanShowYuv()) return false;
  {
    std::lock_guard lock(mutex_);
    // The video thread shows a held picture again and again (pause, step): the
    // widget already has it, and repaints itself whenever it needs to.
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
          update();
        },
        Qt::QueuedConnection);
  return true;
}

void CVideoStatic::showEvent(QShowEvent* event) {
  UpdateScreenDepth();
  QOpenGLWidget::showEvent(event);
}

void CVideoStatic::initializeGL() {
  initializeOpenGLFunctions();
  // Reparenting (full screen) gives the widget a new context: everything is made again.
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CVideoStatic::ReleaseGL, Qt::DirectConnection);
  yuvProgram_ = new QOpenGLShaderProgram;
  bool yuvOk = yuvProgram_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
               yuvProgram_->addShaderFromSourceCode(QOpenGLShader::Fragment, kYuvShader);
  yuvProgram_->bindAttributeLocation("position", 0);
  yuvOk = yuvOk && yuvProgram_->link();
  rgbProgram_ = new QOpenGLShaderProgram;
  rgbProgram_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader);
  rgbProgram_->addShaderFromSourceCode(QOpenGLShader::Fragment, kRgbShader);
  rgbProgram_->bindAttributeLocation("position", 0);
  rgbProgram_->link();
  // Without the converter only RGB pictures can be shown; the video thread switches over.
  if (!yuvOk) yuvWorks_ = false;
  glGenTextures(3, textures_);
  for (int i = 0; i < 3; ++i) {
    glBindTexture(GL_TEXTURE_2D, textures_[i]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    textureSize_[i][0] = textureSize_[i][1] = 0;
    textureFormat_[i] = 0;
  }
  uploadedSerial_ = 0;
  glReady_ = true;
  UpdateScreenDepth();
}

void CVideoStatic::ReleaseGL() {
  if (!glReady_) return;
  glDeleteTextures(3, textures_);
  delete yuvProgram_;
  delete rgbProgram_;
  yuvProgram_ = rgbProgram_ = nullptr;
  uploadedSerial_ = 0;
  glReady_ = false;
}

void CVideoStatic::DefineTexture(int index, int internalFormat, int width, int height, unsigned format,
                                 unsigned type) {
  glBindTexture(GL_TEXTURE_2D, textures_[index]);
  if (textureSize_[index][0] != width || textureSize_[index][1] != height || textureFormat_[index] != internalFormat) {
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, type, nullptr);
    textureSize_[index][0] = width;
    textureSize_[index][1] = height;
    textureFormat_[index] = internalFormat;
  }
}

bool CVideoStatic::Upload(const VideoPicture& p) {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1); // rows are packed without gaps
  switch (p.format) {
  case PictureFormat::kYuv420: {
    const int cw = (p.width + 1) / 2, ch = (p.height + 1) / 2;
    const int sizes[3][2] = {{p.width, p.height}, {cw, ch}, {cw, ch}};
    for (int i = 0; i < 3; ++i) {
      DefineTexture(i, GL_LUMINANCE, sizes[i][0], sizes[i][1], GL_LUMINANCE, GL_UNSIGNED_BYTE);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, sizes[i][0], sizes[i][1], GL_LUMINANCE, GL_UNSIGNED_BYTE, p.planes[i]);
    }
    break;
  }
  case PictureFormat::kBgra32:
    DefineTexture(0, GL_RGBA, p.width, p.height, GL_RGBA, GL_UNSIGNED_BYTE);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.width, p.height, GL_RGBA, GL_UNSIGNED_BYTE, p.planes[0]);
    break;
  case PictureFormat::kRgb565:
    DefineTexture(0, GL_RGB, p.width, p.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.width, p.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, p.planes[0]);
    break;
  }
  return glGetError() == GL_NO_ERROR;
}

void CVideoStatic::Draw(const VideoPicture& p) {
  QOpenGLShaderProgram* program = p.format == PictureFormat::kYuv420 ? yuvProgram_ : rgbProgram_;
  if (!program || !program->isLinked() || !program->bind()) return;
  if (p.format == PictureFormat::kYuv420) {
    for (int i = 0; i < 3; ++i) {
      glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(i));
      glBindTexture(GL_TEXTURE_2D, textures_[i]);
    }
    program->setUniformValue("planeY", 0);
    program->setUniformValue("planeU", 1);
    program->setUniformValue("planeV", 2);
    program->setUniformValue("toRgb", YuvToRgb(p.colour));
    const float black = p.colour.fullRange ? 0.f : 16.f / 255.f;
    program->setUniformValue("offset", black, 128.f / 255.f, 128.f / 255.f);
  } else {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textures_[0]);
    program->setUniformValue("picture", 0);
    program->setUniformValue("swapRedBlue", p.format == PictureFormat::kBgra32 ? 1.f : 0.f);
  }
  program->enableAttributeArray(0);
  program->setAttributeArray(0, GL_FLOAT, kQuad, 2);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  program->disableAttributeArray(0);
  program->release();
  glActiveTexture(GL_TEXTURE0);
}

void CVideoStatic::paintGL() {
  {
    std::lock_guard lock(mutex_);
    if (pendingSet_) {
      shown_ = std::move(pending_);
      pending_.reset();
      pendingSet_ = false;
    }
  }
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  if (!glReady_ || !shown_) {
    drawnSerial_ = 0;
    emit pictureDrawn();
    return;
  }
  if (shown_->format == PictureFormat::kYuv420 && !(yuvProgram_ && yuvProgram_->isLinked())) {
    yuvWorks_ = false; // the next Show of a 4:2:0 picture is refused
    shown_.reset();
    return;
  }
  if (shown_->serial != uploadedSerial_) {
    if (!Upload(*shown_)) {
      shown_.reset();
      return;
    }
    uploadedSerial_ = shown_->serial;
  }
  Draw(*shown_);
  drawnSerial_ = shown_->serial;
  emit pictureDrawn();
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
  QOpenGLWidget::mousePressEvent(event);
}

void CVideoStatic::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) window()->move(event->globalPosition().toPoint() - dragOffset_);
  QOpenGLWidget::mouseMoveEvent(event);
}

void CVideoStatic::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QOpenGLWidget::mouseReleaseEvent(event);
}

void CVideoStatic::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = false;
    ToggleFullScreen();
  }
  QOpenGLWidget::mouseDoubleClickEvent(event);
}

void CVideoStatic::ToggleFullScreen() {
  if (!fullScreen_) {
    savedParent_ = parentWidget();
    savedGeometry_ = geometry();
    hiddenWindow_ = savedParent_ ? window() : nullptr;
    if (savedParent_) setParent(nullptr); // a top-level window of its own
    if (hiddenWindow_) hiddenWindow_->hide();
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
  update();
}
