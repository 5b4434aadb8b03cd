// velmora-screenshot OUT.png [DELAY_MS]: saves the whole screen of the X display
// (for looking at the windows under Xvfb).
#include <cstdio>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "Usage: velmora-screenshot OUT.png [DELAY_MS]\n");
    return 2;
  }
  if (argc > 2) QThread::msleep(static_cast<unsigned long>(std::atol(argv[2])));
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || !screen->grabWindow(0).save(argv[1])) {
    std::fprintf(stderr, "velmora-screenshot: cannot grab the screen\n");
    return 1;
  }
  return 0;
}
