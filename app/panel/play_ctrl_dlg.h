#pragma once
// The play control panel: buttons, sliders, speed digits, compass, G-sensor
// graph and volume wedge, placed from the layout table. It shows and forwards;
// what the controls do is PanelController's.
#include <map>
#include <memory>

#include <QElapsedTimer>
#include <QTimer>

#include "app/config/config_logic.h"
#include "app/logic/layout.h"
#include "app/logic/panel_controller.h"
#include "app/logic/telemetry_display.h"
#include "app/panel/panel_painter.h"
#include "app/qt_message_target.h"
#include "camera/sd_set_logic.h"
#include "skin/vx_skin_dialog.h"

class CDigiStatic;
class CVxSkinButton;
class CVxSkinSldButton;
class PictureStatic;
class QLabel;
class VideoTarget;

// What the panel needs of the main window.
class PanelHost {
public:
  virtual ~PanelHost() = default;
  virtual VideoTarget* VideoWindow() = 0;
  // Where a channel with this tag posts its main-window messages.
  virtual std::shared_ptr<platform::MessageTarget> MainWindowTarget(uint64_t tag) = 0;
  virtual void PlaybackOpened() = 0;
  virtual void PlaybackStopped() = 0;
  virtual void RecordingsChanged() = 0;
  // The notice line about the playing recording ("" hides it).
  virtual void ShowNotice(const std::string& text) = 0;
  virtual void MapButton() = 0;
  virtual void ConfigButton() = 0;
  virtual void SdSetButton() = 0;
};

class CPlayCtrlDlg : public CVxSkinDialog, public PanelView, public PanelRefresh, public PlaybackHooks {
  Q_OBJECT
public:
  CPlayCtrlDlg(int uiMode, PanelHost& host, VolumeMixer& mixer, QWidget* parent);
  ~CPlayCtrlDlg() override;

  PanelController& Controller() { return *controller_; }
  const layout::PanelLayout& Layout() const { return layout_; }

  void OpenRecording(const std::string& path) { controller_->OpenRecording(path, nullptr); }
  bool OpenCard(bool reportMissing) { return controller_->OpenCard(reportMissing); }
  // A telemetry sample was taken: into the history, painted at most every 150 ms.
  void OnTelemetry(const TelemetryShown& shown, const GSensorTriple& g);
  void ApplyLanguage();
  void ApplySpeedUnit();
  CVxSkinButton* Button(int id) const;
  CVxSkinSldButton* Slider(int number) const;
  CDigiStatic* SpeedDigits() const { return speedDigits_; }
  const GSensorHistory& History() const { return history_; }
  int TelemetryPaints() const { return telemetryPaints_; }

  // PanelView
  void ShowMessage(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::string AskFile(const FileDialogRequest& rule, const std::string& initialName) override;
  void SetPositionSlider(int position) override;
  void SetSpeedSlider(int position) override;
  void SetVolumeSlider(int position) override;
  void SetBackupRunning(bool running) override;
  void SetMuted(bool muted) override;
  void ShowFrameCount(int framesPerSecond) override;
  void ShowNotice(const std::string& text) override { host_.ShowNotice(text); }
  void PlaybackOpened() override { host_.PlaybackOpened(); }
  void PlaybackStopped() override { host_.PlaybackStopped(); }
  void RecordingsChanged() override { host_.RecordingsChanged(); }

  // PanelRefresh (the settings dialog after OK)
  void RefreshSpeedUnit() override { ApplySpeedUnit(); }
  void RefreshLanguageTexts() override { ApplyLanguage(); }

  // PlaybackHooks (the card dialog)
  std::string PlayingPath() const override;
  std::vector<std::string> ExportPaths() const override { return controller_->ExportPaths(); }
  void StopPlayback() override { controller_->Stop(); }

protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

private:
  void Build();
  void OnButton(int id);
  void OpenMenu();
  void PaintTelemetryNow();

  const layout::PanelLayout& layout_;
  PanelHost& host_;
  std::map<int, CVxSkinButton*> buttons_;
  CVxSkinSldButton* sliders_[3] = {};
  CDigiStatic* speedDigits_ = nullptr;
  PictureStatic* speedUnit_ = nullptr;
  QLabel* frameCount_ = nullptr;
  QWidget* separator_ = nullptr;
  QTimer timer100_;
  QTimer telemetryTimer_;
  QElapsedTimer clock_;
  GSensorHistory history_;
  RepaintThrottle throttle_;
  TelemetryShown shown_;
  int telemetryPaints_ = 0;
  QtMessageTarget self_{this};
  std::unique_ptr<PanelController> controller_; // last: it goes first
};
