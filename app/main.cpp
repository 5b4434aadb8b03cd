// velmora [FILE]: the dash-camera player. Without a file it opens the inserted
// card's recordings.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/velmora_app.h"
#include "telemetry/map/map_dlg.h"

int main(int argc, char** argv) {
  // Answered before any window or display is needed (installers and scripts ask).
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("velmora %s\n", CVelmoraApp::VersionText().c_str());
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
