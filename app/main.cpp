// velmora [FILE]: the dash-camera player. Without a file it opens the inserted
// card's recordings.
#include <cstdio>
#include <cstring>

#include <QApplication>

#include "app/velmora_app.h"
#include "telemetry/map/map_dlg.h"

int main(int argc, char** argv) {
  // Answered before anything needs a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("velmora %s\n", VELMORA_VERSION);
    return 0;
  }
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("Usage: velmora [FILE]\n"
                "Plays the inserted card's recordings, or the recording FILE (a path or a\n"
                "file:// address). See man velmora for the keys.\n\n"
                "  --help, -h    this text\n"
                "  --version     the program's version\n");
    return 0;
  }
  CMapDlg::PrepareApplication();
  QApplication app(argc, argv);
  QApplication::setApplicationName("velmora");
  QApplication::setApplicationVersion(QString::fromStdString(CVelmoraApp::VersionText()));
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  CVelmoraApp velmora;
  return velmora.Run(args);
}
