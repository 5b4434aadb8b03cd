// velmora [FILE]: the dash-camera player. Without a file it opens the inserted
// card's recordings.
#include <QApplication>

#include "app/velmora_app.h"
#include "telemetry/map/map_dlg.h"

int main(int argc, char** argv) {
  CMapDlg::PrepareApplication();
  QApplication app(argc, argv);
  QApplication::setApplicationName("velmora");
  QApplication::setApplicationVersion(QString::fromStdString(CVelmoraApp::VersionText()));
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  CVelmoraApp velmora;
  return velmora.Run(args);
}
