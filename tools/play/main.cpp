// velmora-play FILE-or-FOLDER: plays a recording, or the recordings of a folder, in
// a plain window (keys on F1).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "app/quit_on_signal.h"
#include "app/settings.h"
#include "core/find_file_path.h"
#include "tools/common/options.h"
#include "tools/common/recordings.h"
#include "tools/play/play_window.h"
#include "video/av_decoder.h"

namespace {

constexpr const char* kProgram = "velmora-play";

void Usage(FILE* to) {
  std::fputs("Usage: velmora-play [options] FILE-or-FOLDER\n"
             "Plays a recording, or the recordings of a folder (or of a card, from its root)\n"
             "in number order.\n\n"
             "  --size WxH         window size (default: 960x540)\n"
             "  --rgb              show through the RGB path instead of the YUV shader\n"
             "  --no-audio         queue no audio\n"
             "  --quit-after S     quit after S seconds (and tell how many pictures were shown)\n"
             "  --help, -h         this text\n"
             "  --version          the program's version\n"
             "Keys: F1 in the window. Snapshots (S) go to the snapshot folder of Config.ini.\n",
             to);
}

int BadArguments(const char* problem) {
  std::fprintf(stderr, "%s: %s\n", kProgram, problem);
  Usage(stderr);
  return 2;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  *width = std::atoi(text.substr(0, x).c_str());
  *height = std::atoi(text.substr(x + 1).c_str());
  return *width > 0 && *height > 0 && *width <= 16384 && *height <= 16384;
}

// What velmora-play is given must hold something to play: says what is wrong
// in one line when it does not. *path becomes the folder to list for a card.
bool CheckPlayable(std::string* path) {
  struct stat st {};
  if (::stat(path->c_str(), &st) != 0) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, path->c_str(), std::strerror(errno));
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    const RecordingCheck check = CheckRecording(*path);
    if (check.state == RecordingState::Playable) return true;
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, path->c_str(), check.reason.c_str());
    return false;
  }
  const std::string media = MediaFolderOf(*path);
  if (!media.empty()) {
    CFindFilePath folder;
    folder.ListSavedSegments(true);
    folder.ScanNow(media + "/");
    std::string firstProblem;
    for (const auto& e : folder.Entries()) {
      const RecordingCheck check = CheckRecording(e.path);
      if (check.state == RecordingState::Playable) {
        *path = media;
        return true;
      }
      if (firstProblem.empty()) firstProblem = e.path + ": " + check.reason;
    }
    if (!firstProblem.empty()) {
      std::fprintf(stderr, "%s: no playable recording in %s (%s)\n", kProgram, path->c_str(), firstProblem.c_str());
      return false;
    }
  }
  std::fprintf(stderr, "%s: no recordings found in %s\n", kProgram, path->c_str());
  return false;
}

} // namespace

int main(int argc, char** argv) {
  // The arguments are read before anything needs a display.
  const std::vector<OptionRule> rules = {{"--size", nullptr, "WIDTHxHEIGHT"},
                                         {"--rgb", nullptr, nullptr},
                                         {"--no-audio", nullptr, nullptr},
                                         {"--quit-after", nullptr, "a number of seconds"}};
  ParsedOptions parsed;
  switch (ParseOptions(kProgram, rules, {argv + 1, argv + argc}, &parsed)) {
    case ParseResult::Help: Usage(stdout); return 0;
    case ParseResult::Version: PrintVersion(kProgram); return 0;
    case ParseResult::Error: return 2;
    case ParseResult::Ok: break;
  }
  PlayWindow::Options options;
  int width = 960, height = 540, quitAfter = 0;
  if (parsed.Has("--size") && !ParseSize(parsed.Value("--size"), &width, &height))
    return BadArguments("--size needs WIDTHxHEIGHT");
  if (parsed.Has("--quit-after")) {
    quitAfter = std::atoi(parsed.Value("--quit-after").c_str());
    if (quitAfter <= 0) return BadArguments("--quit-after needs a number of seconds");
  }
  options.audio = !parsed.Has("--no-audio");
  if (parsed.operands.size() != 1)
    return BadArguments(parsed.operands.empty() ? "no recording or folder given" : "one recording or folder only");
  options.path = parsed.operands[0];
  if (!CheckPlayable(&options.path)) return 1;

  QApplication app(argc, argv);
  QuitOnSignals();
  AvDecoder::InitLibrary();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize screenSize = screen ? screen->size() : QSize(1920, 1080);
  LoadSettings(screenSize.width(), screenSize.height()); // snapshot folder, image type, burst, display mode
  if (parsed.Has("--rgb")) Settings().displayMode = 1;

  PlayWindow window(options);
  window.resize(width, height);
  window.show();
  if (!window.Play()) return 1;
  std::fprintf(stderr, "%s: playing %s\n", kProgram, options.path.c_str());
  if (quitAfter > 0) QTimer::singleShot(quitAfter * 1000, &app, &QApplication::quit);
  const int status = app.exec();
  if (quitAfter > 0) {
    std::fprintf(stderr, "%s: %lld pictures shown\n", kProgram, static_cast<long long>(window.PicturesShown()));
    std::fprintf(stderr, "%s: %d pictures late\n", kProgram, window.LatePictures());
  }
  return status;
}
