#include "video/video_surface.h"

#include <cstring>

#include <QCoreApplication>
#include <QGenericMatrix>
#include <QOpenGLContext>
#include <QPlatformSurfaceEvent>

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

// Packed RGB: a plain texture copy, which software renderers draw on a fast path.
// Where the GL cannot take BGRA bytes (OpenGL ES without the extension), they are
// uploaded as RGBA and SWAP_RED_BLUE is defined.
const char* const kRgbShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
varying highp vec2 texCoord;
uniform sampler2D picture;
void main() {
#ifdef SWAP_RED_BLUE
  gl_FragColor = texture2D(picture, texCoord).bgra;
#else
  gl_FragColor = texture2D(picture, texCoord);
#endif
}
)";

// Whether the GL draws in software (Mesa's llvmpipe or softpipe, and the like).
bool SoftwareRenderer(const char* renderer) {
  if (!renderer) return false;
  for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
    if (std::strstr(renderer, name)) return true;
  return false;
}

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

void CVideoStatic::Surface::initializeGL() { MakeResources(); }

void CVideoStatic::Surface::MakeResources() {
  initializeOpenGLFunctions();
  QOpenGLContext* gl = QOpenGLContext::currentContext();
  uploadBgra_ = !gl->isOpenGLES() || gl->hasExtension("GL_EXT_texture_format_BGRA8888");
  rgbProgram_ = RgbProgram(false);
  if (!uploadBgra_) swapProgram_ = RgbProgram(true);
  // Without the converter only RGB pictures can be shown; the video thread switches
  // over. A software renderer converts 4:2:0 in its shader at several times the cost
  // of the scaler's conversion and a plain copy, so it gets RGB pictures too, unless
  // VELMORA_GL_YUV is set (to try the shader there); its converter is only built if
  // a 4:2:0 picture still comes, which keeps the compile off the first picture's way.
  const bool software = SoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
  if (software && !qEnvironmentVariableIsSet("VELMORA_GL_YUV")) owner_->yuvWorks_ = false;
  else if (!YuvProgram()) owner_->yuvWorks_ = false;
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
  ready_ = true;
}

QOpenGLShaderProgram* CVideoStatic::Surface::YuvProgram() {
  if (yuvProgram_) return yuvProgram_->isLinked() ? yuvProgram_ : nullptr;
  yuvProgram_ = new QOpenGLShaderProgram;
  const bool ok = yuvProgram_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
                  yuvProgram_->addShaderFromSourceCode(QOpenGLShader::Fragment, kYuvShader);
  yuvProgram_->bindAttributeLocation("position", 0);
  return ok && yuvProgram_->link() ? yuvProgram_ : nullptr;
}

QOpenGLShaderProgram* CVideoStatic::Surface::RgbProgram(bool swapRedBlue) {
  auto* program = new QOpenGLShaderProgram;
  program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader);
  program->addShaderFromSourceCode(QOpenGLShader::Fragment,
                                   QByteArray(swapRedBlue ? "#define SWAP_RED_BLUE\n" : "") + kRgbShader);
  program->bindAttributeLocation("position", 0);
  program->link();
  return program;
}

void CVideoStatic::Surface::ReleaseGL() {
  glDeleteTextures(3, textures_);
  delete yuvProgram_;
  delete rgbProgram_;
  delete swapProgram_;
  yuvProgram_ = rgbProgram_ = swapProgram_ = nullptr;
  ready_ = false;
}

void CVideoStatic::Surface::DefineTexture(int index, GLint internalFormat, int width, int height, GLenum format,
                                          GLenum type) {
  glBindTexture(GL_TEXTURE_2D, textures_[index]);
  if (textureSize_[index][0] != width || textureSize_[index][1] != height || textureFormat_[index] != internalFormat) {
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, type, nullptr);
    textureSize_[index][0] = width;
    textureSize_[index][1] = height;
    textureFormat_[index] = internalFormat;
  }
}

bool CVideoStatic::Surface::Upload(const VideoPicture& p) {
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
  case PictureFormat::kBgra32: {
    const GLenum format = uploadBgra_ ? GL_BGRA : GL_RGBA;
    DefineTexture(0, uploadBgra_ && QOpenGLContext::currentContext()->isOpenGLES() ? GL_BGRA : GL_RGBA, p.width,
                  p.height, format, GL_UNSIGNED_BYTE);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.width, p.height, format, GL_UNSIGNED_BYTE, p.planes[0]);
    break;
  }
  case PictureFormat::kRgb565:
    DefineTexture(0, GL_RGB, p.width, p.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, p.width, p.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, p.planes[0]);
    break;
  }
  return glGetError() == GL_NO_ERROR;
}

void CVideoStatic::Surface::Draw(const VideoPicture& p) {
  QOpenGLShaderProgram* program = p.format == PictureFormat::kYuv420                  ? YuvProgram()
                                  : p.format == PictureFormat::kBgra32 && !uploadBgra_ ? swapProgram_
                                                                                       : rgbProgram_;
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
  }
  program->enableAttributeArray(0);
  program->setAttributeArray(0, GL_FLOAT, kQuad, 2);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  program->disableAttributeArray(0);
  program->release();
  glActiveTexture(GL_TEXTURE0);
}

bool CVideoStatic::Surface::event(QEvent* e) {
  // The GL objects go with the native surface while it still exists (the
  // context of a window whose native window is destroyed cannot be made
  // current any more); the next paint makes them again.
  if (e->type() == QEvent::PlatformSurface && ready_ &&
      static_cast<QPlatformSurfaceEvent*>(e)->surfaceEventType() == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed &&
      context()) {
    makeCurrent();
    ReleaseGL();
    doneCurrent();
  }
  return QOpenGLWindow::event(e);
}

void CVideoStatic::Surface::paintGL() {
  if (!ready_) MakeResources();
  std::shared_ptr<const VideoPicture>& shown = owner_->shown_;
  std::shared_ptr<const VideoPicture> next;
  if (owner_->TakePending(next)) shown = std::move(next);
  const qreal ratio = devicePixelRatio();
  glViewport(0, 0, static_cast<GLsizei>(width() * ratio), static_cast<GLsizei>(height() * ratio));
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  if (shown && shown->format == PictureFormat::kYuv420 && !YuvProgram()) {
    owner_->yuvWorks_ = false; // the next Show of a 4:2:0 picture is refused
    shown.reset();
  }
  if (shown && shown->serial != uploadedSerial_) {
    if (Upload(*shown)) {
      uploadedSerial_ = shown->serial;
    } else {
      shown.reset();
      uploadedSerial_ = 0;
    }
  }
  if (shown) Draw(*shown);
  owner_->drawnSerial_ = shown ? shown->serial : 0;
  emit owner_->pictureDrawn();
}

QImage CVideoStatic::Surface::Grab() {
  if (!ready_ || !isExposed()) return {};
  makeCurrent();
  paintGL();
  const qreal ratio = devicePixelRatio();
  const int w = static_cast<int>(width() * ratio), h = static_cast<int>(height() * ratio);
  QImage image(w, h, QImage::Format_RGBA8888);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
  doneCurrent();
  return image.mirrored(); // GL rows run bottom-up
}
