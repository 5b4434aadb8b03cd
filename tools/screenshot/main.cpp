// velmora-screenshot OUT.png [DELAY_MS]: saves the whole screen of the X display
// (for looking at the windows under Xvfb).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include "tools/common/options.h"

namespace {

constexpr const char* kProgram = "velmora-screenshot";

void Usage(FILE* to) {
  std::fputs("Usage: velmora-screenshot OUT.png [DELAY_MS]\n"
             "Saves the whole screen of the display, after DELAY_MS milliseconds.\n\n"
             "  --help, -h         this text\n"
             "  --version          the program's version\n",
             to);
}

} // namespace

int main(int argc, char** argv) {
  // The arguments first: --help and --version need no display.
  ParsedOptions parsed;
  switch (ParseOptions(kProgram, {}, {argv + 1, argv + argc}, &parsed)) {
    case ParseResult::Help: Usage(stdout); return 0;
    case ParseResult::Version: PrintVersion(kProgram); return 0;
    case ParseResult::Error: return 2;
    case ParseResult::Ok: break;
  }
  const std::vector<std::string>& operands = parsed.operands;
  if (operands.empty() || operands.size() > 2) {
    Usage(stderr);
    return 2;
  }
  QGuiApplication app(argc, argv);
  if (operands.size() > 1) QThread::msleep(static_cast<unsigned long>(std::atol(operands[1].c_str())));
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || !screen->grabWindow(0).save(QString::fromStdString(operands[0]))) {
    std::fprintf(stderr, "%s: cannot grab the screen\n", kProgram);
    return 1;
  }
  return 0;
}
