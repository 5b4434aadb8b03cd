#include "tests/skin/skin_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWidget>

namespace skintest {

void EnsureApp() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "skin_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

bool PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!pred()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void Flush() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
}

QImage Grab(QWidget* widget) {
  QImage image = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
  return image;
}

QColor Pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

} // namespace skintest
