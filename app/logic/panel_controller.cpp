#include "app/logic/panel_controller.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "app/logic/card_finder.h"
#include "app/logic/layout.h"
#include "app/settings.h"
#include "audio/mixer.h"
#include "core/messages.h"
#include "core/playback_state.h"
#include "core/telemetry_mailbox.h"
#include "export/export_text.h"
#include "export/ts_backup.h"
#include "platform/files.h"
#include "video/snapshot.h"

namespace {

class SystemMixer : public VolumeMixer {
public:
  uint32_t GetVolume() const override { return CMixer().GetVolume(); }
  void SetVolume(uint32_t volume) override { CMixer().SetVolume(volume); }
};

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string FileNameOf(const std::string& path) {
  const size_t sep = platform::LastSeparator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

} // namespace

std::unique_ptr<VolumeMixer> MakeSystemMixer() { return std::make_unique<SystemMixer>(); }

PanelController::PanelController(PanelView& view, ChannelFactory factory, VolumeMixer& mixer,
                                 platform::MessageTarget* self, TelemetryMailbox* mailbox)
    : view_(view), factory_(std::move(factory)), mixer_(mixer), self_(self),
      mailbox_(mailbox ? mailbox : &AppTelemetryMailbox()) {
  volumePosition_ = CMixer::SliderPosition(mixer_.GetVolume());
  view_.SetVolumeSlider(volumePosition_);
  view_.SetSpeedSlider(speedPosition_);
}

PanelController::~PanelController() { Shutdown(); }

void PanelController::Shutdown() {
  job_.reset();
  channel_.reset();
  tag_ = 0;
}

void PanelController::OpenRecording(const std::string& path, const std::vector<RecordingEntry>* list) {
  channel_.reset();
  ClearNotice();
  seenFile_.clear();
  // A telemetry text still waiting from the old channel is not shown.
  mailbox_->ClearPending();
  view_.PlaybackOpened();
  tag_ = ++lastTag_;
  channel_ = factory_(tag_);
  channel_->SetMuted(muted_);
  position_ = 0;
  view_.SetPositionSlider(0);
  channel_->Start(path, list);
  speedPosition_ = 4;
  view_.SetSpeedSlider(4);
}

bool PanelController::OpenCard(bool reportMissing) {
  const std::string folder = FindCardFolder();
  if (folder.empty()) {
    if (reportMissing) view_.ShowMessage(PanelMessage(PanelText::CardNotFound));
    return false;
  }
  const std::vector<RecordingEntry> list = CardRecordings(folder);
  if (list.empty()) return false;
  OpenRecording(list.front().path, &list);
  return true;
}

void PanelController::OpenFile() {
  const std::string path = view_.AskFile(PanelDialogSpec(PanelDialog::OpenRecording), "");
  if (!path.empty()) OpenRecording(path, nullptr);
}

void PanelController::Stop() {
  channel_.reset();
  ClearNotice();
  seenFile_.clear();
  tag_ = 0;
  position_ = 0;
  view_.SetPositionSlider(0);
  view_.PlaybackStopped();
}

void PanelController::Button(int id) {
  using namespace layout;
  if (id == kIdMute) {
    muted_ = !muted_;
    if (channel_) channel_->SetMuted(muted_);
    view_.SetMuted(muted_);
    return;
  }
  if (id == kIdStop) return Stop();
  if (id == kIdFaster) return ChangeSpeed(1);
  if (id == kIdSlower) return ChangeSpeed(-1);
  if (!channel_) return;
  PlayerChannel& c = *channel_;
  switch (id) {
    case kIdPrevFile: c.Seek(-1001); break;
    case kIdNextFile: c.Seek(-1002); break;
    case kIdPrevFrame:
      c.SetDirection(1);
      c.SetPause(0);
      c.SetSpeed(kSpeedStep);
      break;
    case kIdNextFrame:
      c.SetDirection(0);
      c.SetPause(0);
      c.SetSpeed(kSpeedStep);
      break;
    case kIdBackwardPlay:
      c.SetDirection(1);
      c.SetPause(0);
      c.SetSpeed(kSpeedSlowHalf);
      speedPosition_ = 4;
      view_.SetSpeedSlider(4);
      break;
    case kIdPause: c.SetPause(1); break;
    case kIdPlay:
      c.SetDirection(0);
      c.SetPause(0);
      c.SetSpeed(kSpeedNormal);
      c.EnableAudio(true);
      speedPosition_ = 4;
      view_.SetSpeedSlider(4);
      break;
    case kIdMarkIn: c.MarkIn(); break;
    case kIdMarkOut: c.MarkOut(); break;
    case kIdBackup: Backup(); break;
    case kIdSave: SaveCopy(); break;
    case kIdSnapshot: Snapshot(); break;
    default: break;
  }
}

void PanelController::TogglePause() {
  if (channel_) channel_->SetPause(channel_->Pause() ? 0 : 1);
}

void PanelController::StepExact(int direction) {
  if (channel_) channel_->StepExact(direction);
}

void PanelController::ApplySpeed(int position) {
  const int a = std::clamp(position, 0, 8);
  speedPosition_ = a;
  if (!channel_) return;
  channel_->SetSpeed(SpeedCodeForSlider(a));
  channel_->EnableAudio(SliderHasAudio(a));
}

void PanelController::ChangeSpeed(int steps) {
  const int a = std::clamp(speedPosition_ + steps, 0, 8);
  view_.SetSpeedSlider(a);
  ApplySpeed(a);
}

void PanelController::SeekSeconds(int seconds) {
  if (!channel_) return;
  // The reader seeks by permille of the file: the playing recording's length
  // turns seconds into permille (a minute when it is not known).
  const std::string current = channel_->CurrentFile();
  int64_t length = 60;
  for (const auto& e : channel_->Recordings())
    if (e.path == current && e.endTime > e.startTime) length = e.endTime - e.startTime;
  const int target = position_ + static_cast<int>(seconds * 1000 / length);
  if (target >= 1000) {
    channel_->Seek(-1002);
  } else if (target <= 0) {
    channel_->SeekToFileStart();
    position_ = 0;
  } else {
    channel_->Seek(target);
    position_ = target;
  }
  view_.SetPositionSlider(position_);
}

void PanelController::SliderDown(int number) {
  if (number == 1) dragging_ = true;
}

void PanelController::SliderUp(int number, int position) {
  switch (number) {
    case 1:
      dragging_ = false;
      position_ = std::clamp(position, 0, 1000);
      if (!channel_) break;
      // The left end is the start of the file.
      if (position_ <= 0) channel_->SeekToFileStart();
      else channel_->Seek(position_);
      break;
    case 2:
      volumePosition_ = std::clamp(position, 0, 27);
      mixer_.SetVolume(CMixer::SliderVolume(volumePosition_));
      break;
    case 3: ApplySpeed(position); break;
    default: break;
  }
}

void PanelController::OnMessage(uint32_t message, uintptr_t wParam, uint64_t tag) {
  if (message == WM_PANEL_EXPORT_ENDED) {
    if (!job_ || wParam != jobSerial_) return; // a job replaced or cancelled since
    job_->Wait();
    view_.SetBackupRunning(false);
    const std::string text = ExportEndText(job_->EndNotice(), Translate);
    if (!text.empty()) view_.ShowMessage(text);
    return;
  }
  if (!channel_ || tag != tag_) return; // from a channel closed since
  if (message == WM_TS_PROGRESS) {
    if (dragging_) return;
    position_ = static_cast<int>(std::min<uintptr_t>(wParam, 1000));
    view_.SetPositionSlider(position_);
  } else if (message == WM_TS_FILECHANGE) {
    view_.RecordingsChanged();
  }
}

void PanelController::OnTimer() {
  if (!channel_) return;
  view_.ShowFrameCount(channel_->TakeFrameCount());
  const std::string current = channel_->CurrentFile();
  if (!current.empty() && !Exists(current)) {
    // Gone while it played: the card was pulled out. A file that was never
    // there is said by the notice, and the channel waits as it does.
    if (current == seenFile_) {
      Stop();
      view_.ShowMessage(PanelMessage(PanelText::CardRemoved));
      return;
    }
  } else {
    seenFile_ = current;
  }
  UpdateNotice();
}

void PanelController::UpdateNotice() {
  const int faults = channel_ ? channel_->Faults() : 0;
  const std::string file = channel_ ? channel_->CurrentFile() : std::string();
  if (faults == noticeFaults_ && (faults == 0 || file == noticeFile_)) return;
  noticeFaults_ = faults;
  noticeFile_ = file;
  view_.ShowNotice(FaultNotice(file, faults));
}

void PanelController::ClearNotice() {
  if (noticeFaults_ != 0) view_.ShowNotice("");
  noticeFaults_ = 0;
  noticeFile_.clear();
}

void PanelController::RefreshNotice() {
  if (noticeFaults_ == 0) return;
  view_.ShowNotice(FaultNotice(noticeFile_, noticeFaults_));
}

bool PanelController::ExportRunning() const { return job_ && job_->IsRunning(); }

std::vector<std::string> PanelController::ExportPaths() const {
  return ExportRunning() ? jobPaths_ : std::vector<std::string>{};
}

bool PanelController::AskCancelRunningJob() {
  if (!ExportRunning()) return false;
  if (view_.AskYesNo(PanelMessage(PanelText::CancelBackup))) {
    ++jobSerial_; // its end notice is not shown
    job_->Cancel();
    view_.SetBackupRunning(false);
  }
  return true;
}

void PanelController::SaveCopy() {
  if (AskCancelRunningJob()) return;
  const std::string current = channel_->CurrentFile();
  if (current.empty()) return;
  const std::string path = view_.AskFile(PanelDialogSpec(PanelDialog::SaveCopy), FileNameOf(current));
  if (path.empty()) return;
  StartJob(true, path);
}

void PanelController::Backup() {
  if (AskCancelRunningJob()) return;
  if (!MarksInOrder(channel_->MarkInPoint(), channel_->MarkOutPoint())) return;
  const std::string path = view_.AskFile(PanelDialogSpec(PanelDialog::Backup), "");
  if (path.empty()) return;
  StartJob(false, path);
}

void PanelController::StartJob(bool wholeFile, const std::string& output) {
  job_.reset();
  job_ = std::make_unique<CTSBackup>();
  const uint64_t serial = ++jobSerial_;
  platform::MessageTarget* self = self_;
  // Runs on the job's thread: only a posted message reaches the panel.
  job_->SetEndCallback([self, serial](const ExportEnd&) {
    platform::PostTo(self, WM_PANEL_EXPORT_ENDED, static_cast<uintptr_t>(serial));
  });
  ExportRequest request;
  if (wholeFile) {
    request.output = output;
    request.start.file = request.end.file = channel_->CurrentFile();
  } else {
    request = channel_->ExportRequestFor(output);
  }
  jobPaths_ = {output, request.start.file};
  if (request.end.file != request.start.file) jobPaths_.push_back(request.end.file);
  const ExportStart started = wholeFile ? job_->BeginCopy(request.start.file, output) : job_->BeginExport(request);
  if (started != ExportStart::Started) {
    job_.reset();
    const std::string text = ExportRefusalText(started, output, Translate);
    if (!text.empty()) view_.ShowMessage(text);
    return;
  }
  view_.SetBackupRunning(true);
}

void PanelController::Snapshot() {
  const AppSettings& s = Settings();
  channel_->Snapshot(SnapshotTemplate(s.snapshotFolder, s.imageType, std::time(nullptr)), SnapshotCount(s.burstCount));
}
