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
#include "tools/common/options.h"

namespace {

constexpr const char* kProgram = "velmora-map-demo";

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

void Usage(FILE* to) {
  std::fputs("Usage: velmora-map-demo [--docked PNG] [--floating PNG] [--rect X,Y,W,H] RECORDING...\n"
             "Shows the map window docked in a plain window and draws the telemetry of the\n"
             "recordings; with PNG names it saves the screen docked and floating, and ends.\n\n"
             "  --rect X,Y,W,H     where the map docks (default: 924,596,350,198)\n"
             "  --help, -h         this text\n"
             "  --version          the program's version\n",
             to);
}

void Settle(int ms) { WaitUntil([] { return false; }, ms); }

bool SaveScreen(const QString& path) {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen && screen->grabWindow(0).save(path);
}

} // namespace

int main(int argc, char** argv) {
  // The arguments first: --help and --version need no display.
  const std::vector<OptionRule> rules = {
      {"--docked", nullptr, "PNG"}, {"--floating", nullptr, "PNG"}, {"--rect", nullptr, "X,Y,W,H"}};
  ParsedOptions parsed;
  switch (ParseOptions(kProgram, rules, {argv + 1, argv + argc}, &parsed)) {
    case ParseResult::Help: Usage(stdout); return 0;
    case ParseResult::Version: PrintVersion(kProgram); return 0;
    case ParseResult::Error: return 2;
    case ParseResult::Ok: break;
  }
  const QString docked = QString::fromStdString(parsed.Value("--docked"));
  const QString floating = QString::fromStdString(parsed.Value("--floating"));
  const std::vector<std::string>& files = parsed.operands;
  QRect rect(924, 596, 350, 198); // the 1280*800 layout's
  if (parsed.Has("--rect")) {
    const QStringList v = QString::fromStdString(parsed.Value("--rect")).split(',');
    if (v.size() != 4) {
      std::fprintf(stderr, "%s: --rect needs X,Y,W,H\n", kProgram);
      return 2;
    }
    rect = QRect(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt());
  }
  if (files.empty()) {
    Usage(stderr);
    return 2;
  }

  CMapDlg::PrepareApplication();
  QApplication app(argc, argv);

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
