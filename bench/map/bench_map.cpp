// bench_map: what the map window costs, run under xvfb-run.
//   map_ready_ms_{hidden,shown}: from constructing CMapDlg and creating its
//     browser (CreateBrowser, the window hidden or shown) to the page's
//     "setMap" having run.
//   map_create_block_ms_*: how long that creation holds the user-interface
//     thread in one piece (the call itself), and map_ui_stall_max_ms_* the
//     longest gap of a 5 ms timer on that thread while the page loads: what a
//     picture due meanwhile would wait.
//   map_show_picture_delay_ms: showing the window with no browser yet, how
//     late a picture due at that moment comes (the browser is created later).
//   map_memory_*_mb: memory added by the map window, proportional set size of
//     this process and of the browser's helper processes, measured after 120
//     fixes have been drawn.
// Each case runs in a fresh process (the browser starts once per process).
#include <dirent.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/map_offset_config.h"
#include "bench/bench_common.h"
#include "telemetry/map/map_dlg.h"

namespace {

// Proportional set size in kB of a process (0 when it cannot be read).
long PssKb(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string key;
  long value = 0;
  while (in >> key) {
    if (key == "Pss:") {
      in >> value;
      return value;
    }
    in.ignore(1 << 12, '\n');
  }
  return 0;
}

// The processes descending from pid.
std::vector<int> Descendants(int pid) {
  std::multimap<int, int> children; // parent -> child
  if (DIR* proc = ::opendir("/proc")) {
    while (dirent* e = ::readdir(proc)) {
      const int p = std::atoi(e->d_name);
      if (p <= 0) continue;
      std::ifstream stat("/proc/" + std::to_string(p) + "/stat");
      std::string line;
      std::getline(stat, line);
      const size_t close = line.rfind(')');
      if (close == std::string::npos) continue;
      std::istringstream rest(line.substr(close + 2));
      char state;
      int parent;
      if (rest >> state >> parent) children.emplace(parent, p);
    }
    ::closedir(proc);
  }
  std::vector<int> out, todo = {pid};
  while (!todo.empty()) {
    const int p = todo.back();
    todo.pop_back();
    auto range = children.equal_range(p);
    for (auto it = range.first; it != range.second; ++it) {
      out.push_back(it->second);
      todo.push_back(it->second);
    }
  }
  return out;
}

long HelpersPssKb() {
  long sum = 0;
  for (int p : Descendants(::getpid())) sum += PssKb(p);
  return sum;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

std::string Fix(int i) {
  char text[160];
  std::snprintf(text, sizeof text, "$GPRMC,080000.000,A,2404.%04d,N,12031.%04d,E,20.0,135.0,010624,,,A*00",
                5000 + 10 * i, 5000 + 10 * i);
  return text;
}

int Child(const std::string& mode, int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  CMapDlg::PrepareApplication();
  QApplication app(argc, argv);
  QWidget host;
  host.resize(1280, 800);
  host.show();
  WaitUntil([] { return false; }, 500); // the host window settles
  const long selfBefore = PssKb(::getpid());
  const long helpersBefore = HelpersPssKb();

  // The user-interface thread's longest gap while the page loads.
  QElapsedTimer clock;
  clock.start();
  qint64 lastTick = -1, longest = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (lastTick >= 0) longest = std::max(longest, now - lastTick);
    lastTick = now;
  });

  bool ready = false;
  int drawn = 0;
  QElapsedTimer since;
  since.start();
  CMapDlg map(ReadMapOptions(), &host);
  QObject::connect(&map, &CMapDlg::scriptDone, [&](const QString& name, int) {
    if (name == QStringLiteral("setMap")) ready = true;
    if (name == QStringLiteral("refreshMap")) ++drawn;
  });
  map.SetDockRect(924, 596, 350, 198);
  double showDelayMs = -1;
  if (mode == "shown") {
    // As when a recording opens: the map is shown, and the first picture is
    // due at once. Showing creates no browser, so the picture does not wait.
    QElapsedTimer shown;
    shown.start();
    map.show();
    bool pictured = false;
    QTimer::singleShot(0, [&] {
      showDelayMs = static_cast<double>(shown.nsecsElapsed()) / 1e6;
      pictured = true;
    });
    WaitUntil([&] { return pictured; }, 10000);
  }
  QElapsedTimer creating;
  creating.start();
  map.CreateBrowser();
  const double blockMs = static_cast<double>(creating.nsecsElapsed()) / 1e6;
  ticker.start(5);
  lastTick = clock.elapsed();
  if (!WaitUntil([&] { return ready; }, 60000)) {
    std::fprintf(stderr, "the page did not load\n");
    return 1;
  }
  const double readyMs = static_cast<double>(since.nsecsElapsed()) / 1e6;
  ticker.stop();

  map.ClearTrack(1);
  for (int i = 0; i < 120; ++i) map.UpdatePosition(1, Fix(i));
  if (mode == "shown" && !WaitUntil([&] { return drawn == 120; }, 60000)) return 1;
  WaitUntil([] { return false; }, 1000); // let the helpers' memory settle
  const long self = PssKb(::getpid()) - selfBefore;
  const long helpers = HelpersPssKb() - helpersBefore;
  std::printf("map_ready_ms_%s: %.0f ms\n", mode.c_str(), readyMs);
  std::printf("map_create_block_ms_%s: %.0f ms\n", mode.c_str(), blockMs);
  std::printf("map_ui_stall_max_ms_%s: %lld ms\n", mode.c_str(), static_cast<long long>(longest));
  if (showDelayMs >= 0) std::printf("map_show_picture_delay_ms: %.1f ms\n", showDelayMs);
  std::printf("map_memory_process_mb_%s: %.1f MB\n", mode.c_str(), static_cast<double>(self) / 1024);
  std::printf("map_memory_helpers_mb_%s: %.1f MB\n", mode.c_str(), static_cast<double>(helpers) / 1024);
  std::printf("map_memory_total_mb_%s: %.1f MB\n", mode.c_str(), static_cast<double>(self + helpers) / 1024);
  std::fflush(stdout);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--case") == 0) return Child(argv[2], argc, argv);
  int failed = 0;
  for (const char* mode : {"hidden", "shown"}) {
    std::string out;
    const int rc = bench::Run("'" + bench::BinDir() + "bench_map' --case " + mode + " 2>/dev/null", &out);
    std::fputs(out.c_str(), stdout);
    if (rc != 0) {
      std::fprintf(stderr, "bench_map: the %s case failed\n", mode);
      failed = 1;
    }
  }
  return failed;
}
