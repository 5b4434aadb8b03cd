// velmora-dialogs: runs the settings dialog or the card dialog on its own, to
// look at them and try them without the player.
//   velmora-dialogs config|sdset [--shot FILE.png]
// With --shot the dialog is filled, drawn into FILE and the program ends.
// The card dialog lists the removable roots (VELMORA_REMOVABLE_ROOTS presents a
// folder as a card) and formats through UDisks2.
#include <QApplication>
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

  ScanLanguages();
  const QSize screen = QGuiApplication::primaryScreen()->size();
  LoadSettings(screen.width(), screen.height());
  std::unique_ptr<platform::DiskService> disks = platform::MakeUDisksService();
  std::unique_ptr<QDialog> dialog;
  if (args[1] == "config") {
    dialog = std::make_unique<CConfigDlg>(nullptr);
  } else {
    auto sd = std::make_unique<CDlgSDSet>(nullptr, disks.get());
    if (!shot.isEmpty()) sd->FillNow();
    dialog = std::move(sd);
  }
  if (shot.isEmpty()) return dialog->exec() == QDialog::Accepted ? 0 : 1;
  dialog->show();
  QApplication::processEvents();
  const bool saved = dialog->grab().save(shot);
  if (!saved) std::fprintf(stderr, "velmora-dialogs: cannot write %s\n", qPrintable(shot));
  return saved ? 0 : 1;
}
