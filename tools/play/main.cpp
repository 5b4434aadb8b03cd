// velmora-play FILE-or-FOLDER: plays a recording, or the recordings of a folder, in
// a plain window (keys on F1).
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "app/settings.h"
#include "video/av_decoder.h"
#include "tools/play/play_window.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "Usage: velmora-play [options] FILE-or-FOLDER\n"
               "Plays a recording, or the recordings of a folder in number order.\n\n"
               "  --size WxH         window size (default: the picture's usual 960x540)\n"
               "  --rgb              show through the RGB path instead of the YUV shader\n"
               "  --no-audio         queue no audio\n"
               "  --quit-after S     quit after S seconds (and tell how many pictures were shown)\n"
               "  --help             this text\n"
               "Keys: F1 in the window.\n");
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  AvDecoder::InitLibrary();
  PlayWindow::Options options;
  int width = 960, height = 540, quitAfter = 0;
  bool rgb = false;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--help" || a == "-h") {
      Usage();
      return 0;
    } else if (a == "--size" && i + 1 < args.size()) {
      const QStringList wh = args[++i].split('x');
      if (wh.size() != 2 || wh[0].toInt() <= 0 || wh[1].toInt() <= 0) {
        Usage();
        return 2;
      }
      width = wh[0].toInt();
      height = wh[1].toInt();
    } else if (a == "--rgb") {
      rgb = true;
    } else if (a == "--no-audio") {
      options.audio = false;
    } else if (a == "--quit-after" && i + 1 < args.size()) {
      quitAfter = args[++i].toInt();
    } else if (a.startsWith("--")) {
      Usage();
      return 2;
    } else {
      options.path = a.toStdString();
    }
  }
  if (options.path.empty()) {
    Usage();
    return 2;
  }

  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize screenSize = screen ? screen->size() : QSize(1920, 1080);
  LoadSettings(screenSize.width(), screenSize.height()); // snapshot folder, image type, burst, display mode
  if (rgb) Settings().displayMode = 1;

  PlayWindow window(options);
  window.resize(width, height);
  window.show();
  if (!window.Play()) return 1;
  if (quitAfter > 0) QTimer::singleShot(quitAfter * 1000, &app, &QApplication::quit);
  const int status = app.exec();
  if (quitAfter > 0)
    std::fprintf(stderr, "velmora-play: %lld pictures shown, %d late\n", static_cast<long long>(window.PicturesShown()),
                 window.LatePictures());
  return status;
}
