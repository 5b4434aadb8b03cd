// velmora-dialogs: runs the settings dialog or the card dialog on its own, to
// look at them and try them without the player.
//   velmora-dialogs config|sdset [--shot FILE.png] [--question ID BOX.png]
// With --shot the dialog is filled, drawn into FILE and the program ends.
// --question then presses the button with the dialog id ID, draws the first
// message box it opens into BOX and answers it with its Escape button (No).
// The card dialog lists the removable roots (VELMORA_REMOVABLE_ROOTS presents a
// folder as a card) and formats through UDisks2.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/config/config_dialog.h"
#include "app/settings.h"
#include "camera/sd_set_dialog.h"
#include "platform/disk_service.h"
#include "platform/files.h"
#include "tools/common/options.h"

namespace {

constexpr const char* kProgram = "velmora-dialogs";

void Usage(FILE* to) {
  std::fputs("Usage: velmora-dialogs config|sdset [--shot FILE.png [--question ID BOX.png]]\n"
             "Runs the settings dialog (config) or the card dialog (sdset) on its own.\n\n"
             "  --shot FILE.png    fill the dialog, save a picture of it and end\n"
             "  --question ID BOX.png\n"
             "                     then press the button with the dialog id ID and save the\n"
             "                     message box it opens (answered with No)\n"
             "  --help, -h         this text\n"
             "  --version          the program's version\n",
             to);
}

} // namespace

int main(int argc, char** argv) {
  // The arguments first: --help and --version need no display.
  const std::vector<OptionRule> rules = {{"--shot", nullptr, "FILE.png"}, {"--question", nullptr, "ID"}};
  ParsedOptions parsed;
  switch (ParseOptions(kProgram, rules, {argv + 1, argv + argc}, &parsed)) {
    case ParseResult::Help: Usage(stdout); return 0;
    case ParseResult::Version: PrintVersion(kProgram); return 0;
    case ParseResult::Error: return 2;
    case ParseResult::Ok: break;
  }
  const std::vector<std::string>& operands = parsed.operands;
  const bool asked = parsed.Has("--question");
  if (operands.empty() || (operands[0] != "config" && operands[0] != "sdset") ||
      operands.size() != (asked ? 2u : 1u) || (asked && !parsed.Has("--shot"))) {
    Usage(stderr);
    return 2;
  }
  const QString shot = QString::fromStdString(parsed.Value("--shot"));
  const int questionId = asked ? std::atoi(parsed.Value("--question").c_str()) : 0;
  const QString questionShot = asked ? QString::fromStdString(operands[1]) : QString();

  QApplication app(argc, argv);

  ScanLanguages();
  const QSize screen = QGuiApplication::primaryScreen()->size();
  LoadSettings(screen.width(), screen.height());
  std::unique_ptr<platform::DiskService> disks = platform::MakeUDisksService();
  std::unique_ptr<QDialog> dialog;
  QWidget* questionButton = nullptr;
  if (operands[0] == "config") {
    auto config = std::make_unique<CConfigDlg>(nullptr);
    questionButton = config->Control(questionId);
    dialog = std::move(config);
  } else {
    auto sd = std::make_unique<CDlgSDSet>(nullptr, disks.get());
    if (!shot.isEmpty()) sd->FillNow();
    questionButton = sd->Control(questionId);
    dialog = std::move(sd);
  }
  if (shot.isEmpty()) return dialog->exec() == QDialog::Accepted ? 0 : 1;
  dialog->show();
  QApplication::processEvents();
  const bool saved = dialog->grab().save(shot);
  if (!saved) std::fprintf(stderr, "velmora-dialogs: cannot write %s\n", qPrintable(shot));
  bool boxSaved = true;
  if (auto* button = qobject_cast<QAbstractButton*>(questionButton)) {
    boxSaved = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      answer.stop();
      boxSaved = box->grab().save(questionShot);
      box->reject();
    });
    answer.start(100);
    button->click();
  }
  return saved && boxSaved ? 0 : 1;
}
