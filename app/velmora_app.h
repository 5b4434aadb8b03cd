#pragma once
// The application object: start-up, the keyboard filter, and saving the
// settings however the program ends (window closed, SIGTERM or SIGINT, or the
// desktop session ending).
#include <memory>
#include <string>
#include <vector>

#include <QObject>

class CVelmoraDlg;
class VolumeMixer;

class CVelmoraApp : public QObject {
  Q_OBJECT
public:
  CVelmoraApp();
  ~CVelmoraApp() override;

  // The whole life of the program after QApplication exists: returns the exit status.
  int Run(const std::vector<std::string>& args);
  // Sets everything up and shows the main window (the first half of Run).
  void Start(const std::vector<std::string>& args);
  // Stops playback and exports, destroys the windows, saves the settings (the last half).
  void Finish();

  static std::string VersionText();
  CVelmoraDlg* MainWindow() const { return window_.get(); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  std::unique_ptr<VolumeMixer> mixer_;
  std::unique_ptr<CVelmoraDlg> window_;
  bool saved_ = false;
};
