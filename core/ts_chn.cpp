#include "core/ts_chn.h"

#include "core/messages.h"
#include "core/telemetry_mailbox.h"

CTSChn::CTSChn(const ChannelLinks& links) : links_(links) {
  if (!links_.mailbox) links_.mailbox = &AppTelemetryMailbox();
  if (!links_.displayMode) links_.displayMode = &ownDisplayMode_;
  if (!links_.amplification) links_.amplification = &ownAmplification_;
  fpsCtrl_ = std::make_unique<CFpsCtrl>(30);
  videoQueue_ = std::make_unique<CVBuffer2>(kVideoSlots);
  VideoLinks video{&state, fpsCtrl_.get(), videoQueue_.get(), &videoWindow_, &snapshots_, links_.displayMode, &files_};
  if (links_.stepCacheBytes > 0) video.stepCacheBytes = links_.stepCacheBytes;
  videoThread_ = MakeVideoThread(video);
  audioQueue_ = std::make_unique<CABuffer2>(kAudioSlots);
  audioThread_ = MakeAudioThread(AudioLinks{&state, audioQueue_.get(), links_.amplification});
  list_ = std::make_unique<CFindFilePath>();
  reader_ = std::make_unique<CTSAnalyse>(
      ReaderLinks{&state, links_.panel, links_.mainWindow, links_.mailbox, &files_, list_.get()});
  reader_->SetQueues(videoQueue_.get(), audioQueue_.get());
}

CTSChn::~CTSChn() {
  Stop();
  // The members go in the reverse order of their construction.
  reader_.reset();
  list_.reset();
  audioThread_.reset();
  audioQueue_.reset();
  videoThread_.reset();
  videoQueue_.reset();
  fpsCtrl_.reset();
}

void CTSChn::Open(VideoTarget* window, const std::string& path) {
  videoWindow_ = window;
  path_ = path;
}

bool CTSChn::Start(const std::vector<RecordingEntry>* list) {
  videoQueue_->SetGopState(CVBuffer2::kGopWaiting);
  bool ok = videoQueue_->Init(kVideoRing, kVideoLargest, 1, kVideoLargestLimit) && audioQueue_->Init(kAudioRing, kAudioLargest, 1) &&
            videoThread_->Start() && audioThread_->Start();
  if (!ok) {
    Stop();
    return false;
  }
  if (!list) {
    list_->ScanAsync(path_, links_.panel);
  } else {
    for (const auto& e : *list) list_->Append(e);
    platform::PostTo(links_.panel, WM_TS_FILECHANGE);
  }
  return reader_->Start(path_);
}

bool CTSChn::Stop() {
  videoQueue_->Release();
  audioQueue_->Release();
  reader_->Stop();
  const bool video = videoThread_->Stop(10000);
  const bool audio = audioThread_->Stop(10000);
  return video && audio;
}

void CTSChn::ExactStep(int direction) {
  // The request first: the video thread takes it before it looks at the speed code.
  state.exactSteps.fetch_add(direction);
  state.pause = 0;
  state.speedCode = kSpeedHeld;
}

int CTSChn::Seek(int a) { return reader_->Seek(a); }

int CTSChn::SetDirection(int direction) { return reader_->SetDirection(direction); }

int CTSChn::PlayAtTime(int64_t t) {
  for (const auto& e : list_->Entries()) {
    if (e.endTime <= t) continue;
    if (e.path == reader_->GetCurFile()) return 0;
    return reader_->SetPendingFile(e.path);
  }
  return 0;
}

std::string CTSChn::GetCurFile() const { return reader_->GetCurFile(); }

void CTSChn::MarkIn() {
  std::string path = reader_->GetCurFile();
  int64_t pos = reader_->CurrentPosition();
  std::lock_guard lock(markMutex_);
  markIn_ = {CFindFilePath::FileNumber(path), path, pos};
  markOut_.number = -1;
  markOut_.position = -1;
}

void CTSChn::MarkOut() {
  std::string path = reader_->GetCurFile();
  int64_t pos = reader_->CurrentPosition();
  std::lock_guard lock(markMutex_);
  markOut_ = {CFindFilePath::FileNumber(path), path, pos};
}

MarkPoint CTSChn::MarkInPoint() const { std::lock_guard l(markMutex_); return markIn_; }
MarkPoint CTSChn::MarkOutPoint() const { std::lock_guard l(markMutex_); return markOut_; }

void CTSChn::Snapshot(const std::string& pathTemplate, int count) { snapshots_.Place(pathTemplate, count); }

SnapshotRequest CTSChn::SnapshotState() const { return snapshots_.State(); }

void CTSChn::TakeFrameCount() { fps_ = state.shownFrames.exchange(0); }
