// velmora-map-demo [--docked PNG] [--floating PNG] [--rect X,Y,W,H] RECORDING...
// Shows the map window docked in a plain 1280 x 800 window, feeds it the
// telemetry of the recordings (one track per recording), and, when asked,
// saves a picture of the screen with the map docked and then floating.
// Without a picture to save it stays open until closed.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "app/map_offset_config.h"
#include "app/settings.h"
#include "core/ts_demux.h"
#include "telemetry/map/map_dlg.h"

namespace {

// Runs the event loop until done() or the time is up.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void Settle(int ms) { WaitUntil([] { return false; }, ms); }

bool SaveScreen(const QString& path) {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen && screen->grabWindow(0).save(path);
}

} // namespace

int main(int argc, char** argv) {
  CMapDlg::PrepareApplication();
  QApplication app(argc, argv);
  QString docked, floating;
  std::vector<std::string> files;
  QRect rect(924, 596, 350, 198); // the 1280*800 layout's

  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--docked" && i + 1 < args.size()) docked = args[++i];
    else if (args[i] == "--floating" && i + 1 < args.size()) floating = args[++i];
    else if (args[i] == "--rect" && i + 1 < args.size()) {
      const QStringList v = args[++i].split(',');
      if (v.size() == 4) rect = QRect(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt());
    }
    else files.push_back(args[i].toStdString());
  }
  if (files.empty()) {
    std::fputs("Usage: velmora-map-demo [--docked PNG] [--floating PNG] [--rect X,Y,W,H] RECORDING...\n", stderr);
    return 2;
  }

  QWidget main;
  main.setWindowTitle(QStringLiteral("Map demo"));
  main.setFixedSize(1280, 800);
  main.setAutoFillBackground(true);
  QPalette palette = main.palette();
  palette.setColor(QPalette::Window, QColor(48, 52, 60));
  main.setPalette(palette);
  auto* label = new QLabel(QStringLiteral("Plain test window: the map docks at %1, %2, %3 x %4")
                               .arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height()),
                           &main);
  label->setStyleSheet(QStringLiteral("color: #d0d4da; font-size: 16px;"));
  label->move(24, 24);
  main.move(0, 0);
  main.show();

  CMapDlg map(ReadMapOptions(), &main);
  map.SetDefaultPosition(Settings().defaultLatitude, Settings().defaultLongitude);
  map.ClearTrack(0);
  map.SetDockRect(rect.x(), rect.y(), rect.width(), rect.height());
  bool loaded = false;
  QObject::connect(&map, &CMapDlg::scriptDone, [&](const QString& name, int) {
    if (name == QStringLiteral("setMap")) loaded = true;
  });
  map.show();
  map.CreateBrowser();
  if (!WaitUntil([&] { return loaded; }, 60000)) {
    std::fputs("velmora-map-demo: the map page did not load\n", stderr);
    return 1;
  }

  int refreshed = 0, sent = 0, index = 0;
  QObject::connect(&map, &CMapDlg::scriptDone, [&](const QString& name, int) {
    if (name == QStringLiteral("refreshMap")) ++refreshed;
  });
  for (const std::string& file : files) {
    map.ClearTrack(++index);
    for (const std::string& text : PesPayloads(file, TsStream::Telemetry)) {
      if (map.UpdatePosition(index, text)) ++sent;
    }
  }
  WaitUntil([&] { return refreshed >= sent; }, 60000);
  std::printf("fixes drawn: %d, position %.6f %.6f\n", refreshed, map.Values().Latitude(), map.Values().Longitude());
  if (docked.isEmpty() && floating.isEmpty()) return app.exec();

  Settle(1500);
  if (!docked.isEmpty() && !SaveScreen(docked)) return 1;
  map.Undock();
  Settle(1500);
  if (!floating.isEmpty() && !SaveScreen(floating)) return 1;
  map.close(); // docks it back
  Settle(300);
  std::printf("after closing: %s at %d,%d %dx%d\n", map.IsUndocked() ? "floating" : "docked", map.x(), map.y(),
              map.width(), map.height());
  return 0;
}
