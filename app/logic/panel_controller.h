#pragma once
// What the play control panel's buttons, sliders and messages do: it owns the
// playback channel and the export job, and tells its view what to show. No
// window code: the Qt panel implements PanelView and forwards its events here.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/logic/panel_texts.h"
#include "app/logic/player_channel.h"
#include "platform/message_target.h"

class CTSBackup;
class TelemetryMailbox;

// The export job's end, posted by the job's thread to the panel (wParam: the
// job's serial).
constexpr uint32_t WM_PANEL_EXPORT_ENDED = platform::kWmUser + 120; // 1144

class PanelView {
public:
  virtual ~PanelView() = default;
  virtual void ShowMessage(const std::string& text) = 0;
  // A Yes/No question with the caption "Tip"; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // A file dialog; the chosen path, or "" when cancelled.
  virtual std::string AskFile(const FileDialogRequest& rule, const std::string& initialName) = 0;
  virtual void SetPositionSlider(int position) = 0;
  virtual void SetSpeedSlider(int position) = 0;
  virtual void SetVolumeSlider(int position) = 0;
  virtual void SetBackupRunning(bool running) = 0;
  virtual void SetMuted(bool muted) = 0;
  virtual void ShowFrameCount(int framesPerSecond) = 0;
  // A line about the playing recording, shown while playback goes on (what
  // cannot be played of it); "" takes it away.
  virtual void ShowNotice(const std::string& text) = 0;
  // A recording was opened: show the video area and the map, start a new track.
  virtual void PlaybackOpened() = 0;
  // Playback stopped: grey timelines, no marked days, video area and map hidden.
  virtual void PlaybackStopped() = 0;
  // The channel's recording list is complete: mark the calendar and the timelines.
  virtual void RecordingsChanged() = 0;
};

// The system volume, 0..65535.
class VolumeMixer {
public:
  virtual ~VolumeMixer() = default;
  virtual uint32_t GetVolume() const = 0;
  virtual void SetVolume(uint32_t volume) = 0;
};
// The sound card's master volume.
std::unique_ptr<VolumeMixer> MakeSystemMixer();

class PanelController {
public:
  // Makes a channel whose messages carry the tag.
  using ChannelFactory = std::function<std::unique_ptr<PlayerChannel>(uint64_t tag)>;

  // self: where the export job's end is posted (the panel's own queue).
  PanelController(PanelView& view, ChannelFactory factory, VolumeMixer& mixer, platform::MessageTarget* self,
                  TelemetryMailbox* mailbox = nullptr);
  // Stops the export job and the channel, before any window goes.
  ~PanelController();
  PanelController(const PanelController&) = delete;
  PanelController& operator=(const PanelController&) = delete;

  PlayerChannel* Channel() const { return channel_.get(); }
  // The tag of the open channel's messages (0: none open).
  uint64_t ChannelTag() const { return tag_; }
  // A message with this tag comes from the open channel (tag 0: not tagged).
  bool IsCurrent(uint64_t tag) const { return tag == 0 || (channel_ && tag == tag_); }

  void OpenRecording(const std::string& path, const std::vector<RecordingEntry>* list);
  // Opens the first card with recordings; false when there is none (said only
  // when reportMissing is set).
  bool OpenCard(bool reportMissing);
  void OpenFile();
  void Stop();
  // Ends the export job (its output keeps what was saved) and the channel:
  // nothing posts to the windows afterwards.
  void Shutdown();

  // A panel button (control id); playback buttons do nothing without a channel.
  void Button(int id);
  void SliderDown(int number);
  void SliderUp(int number, int position);
  // A posted message from the pipeline or the export job.
  void OnMessage(uint32_t message, uintptr_t wParam, uint64_t tag);
  // Timer 100 (every second): frame count; the notice of what cannot be played
  // of the recording; a recording that vanished while it played (the card was
  // pulled out) stops playback.
  void OnTimer();
  // Says the notice again (in the language now in use).
  void RefreshNotice();

  // Keyboard helpers.
  void TogglePause();
  // Exactly one picture forward (1) or back (-1).
  void StepExact(int direction);
  void ChangeSpeed(int steps);  // moves the speed slider by steps
  void SeekSeconds(int seconds);
  void ToggleMute() { Button(1013); }

  int PositionSlider() const { return position_; }
  int SpeedSlider() const { return speedPosition_; }
  int VolumeSlider() const { return volumePosition_; }
  bool Muted() const { return muted_; }
  bool ExportRunning() const;
  const CTSBackup* Job() const { return job_.get(); }
  // The files the running export reads and writes (empty when none runs).
  std::vector<std::string> ExportPaths() const;

private:
  void SaveCopy();
  void Backup();
  void Snapshot();
  bool AskCancelRunningJob();
  void StartJob(bool wholeFile, const std::string& output);
  void ApplySpeed(int position);
  void UpdateNotice();
  void ClearNotice();

  PanelView& view_;
  ChannelFactory factory_;
  VolumeMixer& mixer_;
  platform::MessageTarget* self_;
  TelemetryMailbox* mailbox_;

  std::unique_ptr<CTSBackup> job_;
  uint64_t jobSerial_ = 0;
  std::vector<std::string> jobPaths_;
  std::unique_ptr<PlayerChannel> channel_;
  uint64_t tag_ = 0;
  uint64_t lastTag_ = 0;

  std::string seenFile_;   // the recording found on disk at the last timer
  std::string noticeFile_; // what the notice was made of
  int noticeFaults_ = 0;

  int position_ = 0;
  bool dragging_ = false;
  int speedPosition_ = 4;
  int volumePosition_ = 0;
  bool muted_ = false;
};
