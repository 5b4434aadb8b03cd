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
#include <cstring>
#include <memory>

#include "app/config/config_dialog.h"
#include "app/settings.h"
#include "camera/sd_set_dialog.h"
#include "platform/disk_service.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2 || (args[1] != "config" && args[1] != "sdset")) {
    std::fputs("Usage: velmora-dialogs config|sdset [--shot FILE.png]\n", stderr);
    return 2;
  }
  const int shotAt = static_cast<int>(args.indexOf("--shot"));
  const QString shot = shotAt > 0 && shotAt + 1 < args.size() ? args[shotAt + 1] : QString();
  const int questionAt = static_cast<int>(args.indexOf("--question"));
  const int questionId = questionAt > 0 && questionAt + 2 < args.size() ? args[questionAt + 1].toInt() : 0;
  const QString questionShot = questionId ? args[questionAt + 2] : QString();

  ScanLanguages();
  const QSize screen = QGuiApplication::primaryScreen()->size();
  LoadSettings(screen.width(), screen.height());
  std::unique_ptr<platform::DiskService> disks = platform::MakeUDisksService();
  std::unique_ptr<QDialog> dialog;
  QWidget* questionButton = nullptr;
  if (args[1] == "config") {
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
