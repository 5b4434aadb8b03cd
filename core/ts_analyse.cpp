#include "core/ts_analyse.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>

#include "core/find_file_path.h"
#include "core/messages.h"
#include "core/my_thread.h"
#include "core/recording_fault.h"
#include "core/telemetry_mailbox.h"
#include "platform/clock.h"

namespace {

// A recording shows its program tables within its first bytes; a file
// without them this far in is not a transport stream.
constexpr int64_t kTablesWithin = 16 << 20;

} // namespace

CTSAnalyse::CTSAnalyse(const ReaderLinks& links) : links_(links) {
  if (!links_.files) links_.files = &ownFiles_;
}

CTSAnalyse::~CTSAnalyse() { Stop(); }

bool CTSAnalyse::Start(const std::string& path) {
  SetCurrentPath(path);
  if (thread_.joinable()) Stop();
  faults_ = kFaultNone;
  OpenFile(direction_);
  return StartThread(thread_, running_, [this] {
    Run();
    running_ = false;
  });
}

void CTSAnalyse::Stop() {
  running_ = false;
  wake_.Set();
  if (thread_.joinable()) thread_.join();
  CloseFile();
  streamsKnown_ = false;
  demux_.reset();
}

bool CTSAnalyse::OpenFile(int direction) {
  const std::string path = GetCurFile();
  bool ok = file_.Open(path, direction == 1);
  fileSize_ = file_.Size();
  position_ = file_.Position();
  struct stat st {};
  const bool missing = !ok && ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
  SetFault(kFaultMissingFile, missing);
  SetFault(kFaultCannotOpen, !ok && !missing);
  return ok;
}

void CTSAnalyse::SetFault(int fault, bool on) {
  if (on) faults_.fetch_or(fault, std::memory_order_acq_rel);
  else faults_.fetch_and(~fault, std::memory_order_acq_rel);
}

void CTSAnalyse::CloseFile() {
  file_.Close();
  fileSize_ = 0;
  position_ = 0;
}

int CTSAnalyse::Seek(int a) {
  if (a > 0 || a == kSeekPrevFile || a == kSeekNextFile) links_.files->NoteMove();
  return StoreSeek(a);
}

int CTSAnalyse::StoreSeek(int a) {
  if (a > 0) seekRequest_ = static_cast<int64_t>(a / 1000.0 * static_cast<double>(FileSize()));
  else seekRequest_ = a;
  wake_.Set();
  return a;
}

int CTSAnalyse::SetDirection(int d) {
  if (!StreamsKnown()) return -1;
  // A change still waiting to be taken counts as the direction in force.
  int current = DirectionRequested() ? requestedDirection_.load() : direction_.load();
  if (d == current) return d;
  requestedDirection_ = d;
  framesToSkip_ = 2;
  int head = videoQueue_ ? videoQueue_->LockedHeadPos() : 0;
  if (videoQueue_) videoQueue_->Clear();
  if (audioQueue_) audioQueue_->Clear();
  // The seek is stored before the request is raised, so the reader thread
  // takes both in the same pass or the seek first.
  StoreSeek(d == 0 ? head + 1 : head - 1);
  directionRequest_.store(true, std::memory_order_release);
  wake_.Set();
  return d;
}

int CTSAnalyse::SetPendingFile(const std::string& path) {
  links_.files->NoteMove();
  {
    std::lock_guard lock(pendingMutex_);
    pendingPath_ = path;
  }
  hasPending_.store(true, std::memory_order_release);
  wake_.Set();
  return 1;
}

std::string CTSAnalyse::GetCurFile() const {
  std::lock_guard lock(pathMutex_);
  return currentPath_;
}

void CTSAnalyse::SetCurrentPath(const std::string& path) {
  fileSerial_ = links_.files->Register(path);
  std::lock_guard lock(pathMutex_);
  currentPath_ = path;
}

int CTSAnalyse::Run() {
  BeginReading();
  while (running_.load(std::memory_order_relaxed)) OnePass();
  return 0;
}

void CTSAnalyse::BeginReading() {
  if (!demux_) demux_ = std::make_unique<TsDemux>();
  Drop();
  rateMeasured_ = false;
  rateCounter_ = -1;
  rateSpan_ = 30;
  tablesSeen_ = 0;
  videoQueue_->Flush(&videoDesc_);
  audioQueue_->Flush(&audioDesc_);
}

void CTSAnalyse::OnePass() {
  if (!running_) return;

  int64_t seek = seekRequest_.load();
  if (seek > 0 && StreamsKnown()) {
    if (seekRequest_.compare_exchange_strong(seek, kSeekNone)) {
      file_.SeekTo(seek);
      position_ = seek;
      Flush();
      audioToKeyFrame_ = true;
      Restarted();
    }
  } else if (seek == kSeekPrevFile || seek == kSeekNextFile) {
    if (seekRequest_.compare_exchange_strong(seek, kSeekNone) &&
        (seek == kSeekPrevFile ? PrevFile() : NextFile())) {
      Flush();
      Restarted();
      return;
    }
  }

  if (hasPending_.load(std::memory_order_acquire)) {
    std::string path;
    {
      std::lock_guard lock(pendingMutex_);
      path.swap(pendingPath_);
      hasPending_ = false;
    }
    if (!path.empty() && SwitchTo(path)) {
      Flush();
      Restarted();
      return;
    }
  }

  if (DirectionRequested()) {
    direction_ = requestedDirection_.load();
    Flush();
    directionRequest_ = false;
    Restarted();
  }

  TakeJump();

  if (direction_ == 0) ReadForwardBlock();
  else ReadBackwardBlock();
}

// The video thread asks to read on from a byte offset of a recording (the
// picture it stepped to): taken after the user's own requests, so it wins.
void CTSAnalyse::TakeJump() {
  std::string path;
  int64_t offset = 0;
  uint32_t ticket = 0;
  if (!links_.files->TakeJump(path, offset, ticket)) return;
  if (path != GetCurFile()) SwitchTo(path);
  file_.SeekTo(std::clamp<int64_t>(offset, 0, file_.Size()));
  position_ = file_.Position();
  framesToSkip_ = 0;
  Flush();
  audioToKeyFrame_ = true;
  links_.files->JumpDone(ticket, generation_);
  Restarted();
}

void CTSAnalyse::ReadForwardBlock() {
  if (file_.FillForward() == 0) {
    // A whole file read without program tables is no transport stream.
    if (file_.IsOpen() && !demux_->StreamsKnown()) SetFault(kFaultNotTransportStream, true);
    // The end of the recording: the next one follows without a flush, so
    // playback runs on without a gap; when there is none, wait for one.
    if (!NextFile()) Idle();
    return;
  }
  position_ = file_.Position();
  if (position_ > kTablesWithin && !demux_->StreamsKnown()) SetFault(kFaultNotTransportStream, true);
  if (framesToSkip_ <= 0) platform::PostTo(links_.panel, WM_TS_PROGRESS, static_cast<uintptr_t>(ProgressPermille()));
  file_.WalkForward([this](const uint8_t* p) { return HandlePacket(p); },
                    [this] { return running_.load(std::memory_order_relaxed) && !DirectionRequested(); });
  if (rewind_) {
    rewind_ = false;
    file_.SeekTo(0);
    position_ = 0;
    Drop();
  }
}

void CTSAnalyse::ReadBackwardBlock() {
  if (file_.FillBackward() == 0) {
    position_ = file_.Position();
    if (!PrevFile()) Idle();
    return;
  }
  position_ = file_.Position();
  platform::PostTo(links_.panel, WM_TS_PROGRESS, static_cast<uintptr_t>(ProgressPermille()));
  file_.WalkBackward([this](const uint8_t* p) { return HandleReversePacket(p); },
                     [this] { return running_.load(std::memory_order_relaxed) && !DirectionRequested(); });
}

// Nothing to read: wait for a request or a new recording.
void CTSAnalyse::Idle() {
  idleWaits_.fetch_add(1, std::memory_order_release);
  platform::CurrentClock().WaitFor(wake_, 100);
}

int CTSAnalyse::ProgressPermille() const {
  int64_t size = fileSize_.load(std::memory_order_relaxed);
  if (size <= 0) return 0;
  double permille = static_cast<double>(position_.load(std::memory_order_relaxed)) / static_cast<double>(size) * 1000.0;
  return std::clamp(static_cast<int>(permille), 0, 1000);
}

// Forward reading queues every frame at every speed, steps included: a step
// shows the next picture, and no frame reaches the decoder without the frames
// it refers to.
bool CTSAnalyse::HandlePacket(const uint8_t* packet) {
  demux_->Feed(packet, [&](TsStream stream, const uint8_t* pes, size_t len) {
    switch (stream) {
      case TsStream::Video: CutVideo(pes, len, false, videoPesPos_, videoPesFile_); break;
      case TsStream::Audio: CutAudio(pes, len); break;
      case TsStream::Telemetry: CutTelemetry(pes, len); break;
    }
  });
  // Where the video PES that this packet starts begins.
  const int pid = ((packet[1] & 0x1F) << 8) | packet[2];
  if ((packet[1] & 0x40) && demux_->StreamsKnown() && pid == demux_->Pids().video) {
    TsPacket p;
    if (ParseTsPacket(packet, p)) {
      videoPesPos_ = file_.OffsetOf(packet);
      videoPesFile_ = fileSerial_;
    }
  }
  if (tablesSeen_ != demux_->TablesLearnt()) {
    const bool first = tablesSeen_ == 0;
    TablesMaybeLearnt();
    // Damaged tables at the start were passed over and a later copy was
    // used: the packets before it are read again, now that the streams are known.
    if (first && demux_->RejectedTables() > 0) {
      rewind_ = true;
      return false;
    }
  }
  return true;
}

// The tables of the open recording have been learnt: its video codec, and
// whether its video and sound can be played.
void CTSAnalyse::TablesMaybeLearnt() {
  tablesSeen_ = demux_->TablesLearnt();
  const StreamPids& pids = demux_->Pids();
  videoCodec_ = pids.videoCodec;
  SetFault(kFaultNotTransportStream, false);
  SetFault(kFaultVideoNotSupported, pids.video < 0);
  SetFault(kFaultSoundNotSupported, pids.audio < 0 && pids.otherAudio);
  if (!streamsKnown_.load(std::memory_order_relaxed)) streamsKnown_.store(true, std::memory_order_release);
}

// Reverse reading: only video is assembled, from the end of the buffer
// towards its start; a PES is complete when its first packet is met.
bool CTSAnalyse::HandleReversePacket(const uint8_t* packet) {
  TsPacket p;
  if (!ParseTsPacket(packet, p)) return true;
  if (demux_->Learning()) {
    const bool known = demux_->LearnTables(p);
    if (tablesSeen_ != demux_->TablesLearnt()) TablesMaybeLearnt();
    if (!known) return true;
  }
  if (p.pid != demux_->Pids().video) return true;
  uint8_t* buf = demux_->VideoBuffer();
  const auto len = static_cast<size_t>(p.payloadLength);
  if (reverseCount_ + len <= TsDemux::kVideoPesCapacity) {
    reverseCount_ += len;
    std::memcpy(buf + TsDemux::kVideoPesCapacity - reverseCount_, p.payload, len);
  }
  if (!p.unitStart) return true;
  if (!reverseTailSeen_) {
    // The first PES met going backwards was entered in its middle: its tail
    // lies beyond where reading began, so it is not a whole frame.
    reverseTailSeen_ = true;
  } else {
    std::memmove(buf, buf + TsDemux::kVideoPesCapacity - reverseCount_, reverseCount_);
    if (CutVideo(buf, reverseCount_, true, file_.OffsetOf(packet), fileSerial_)) {
      Drop();
      return false; // the rest of this block is not read
    }
  }
  reverseCount_ = 0;
  return true;
}

bool CTSAnalyse::CutVideo(const uint8_t* pes, size_t len, bool keyOnly, int64_t filePos, int file) {
  PesHeader h;
  if (!ParsePesHeader(pes, len, h)) return false;

  const bool reverse = direction_.load(std::memory_order_relaxed) == 1;
  if (!rateMeasured_ && h.hasPts && !reverse) MeasureRate(h);

  size_t start = 0;
  const uint8_t* es = pes + h.payloadOffset;
  const size_t esSize = len - h.payloadOffset;
  const int kind = FindFrameKind(es, esSize, &start, videoCodec_);
  const int permille = ProgressPermille();
  if (kind == kFrameNone || DirectionRequested()) return false;
  const bool key = kind == kFrameKey;
  if (keyOnly && !key) return false;
  if (!reverse && framesToSkip_.load() > 0) {
    if (key) --framesToSkip_;
    if (framesToSkip_.load() > 0) return key;
  }
  const size_t size = esSize - start;
  if (size > videoQueue_->LargestFrame() && !GrowVideoQueue(size)) return key;

  std::memcpy(videoDesc_.pData, es + start, size);
  int speed = links_.state->speedCode.load(std::memory_order_relaxed);
  if (speed == kSpeedHeld) speed = kSpeedStep;
  videoDesc_.nSize = static_cast<int32_t>(size);
  videoDesc_.nType = kind;
  videoDesc_.nFps = keyOnly ? 2 : nominalRate_.load(std::memory_order_relaxed);
  videoDesc_.nSpeed = reverse ? -speed : speed;
  videoDesc_.dPts = h.dts > 0.0001 ? h.dts : h.pts;
  videoDesc_.nPosPermille = permille;
  videoDesc_.nFilePos = filePos;
  videoDesc_.nPts = h.hasPts ? std::llround(h.pts * 90000.0) : -1;
  videoDesc_.nFile = file;
  videoDesc_.nGeneration = generation_;
  videoDesc_.nCodec = videoCodec_;
  videoQueue_->Push(videoDesc_);
  return key;
}

// The rate is measured from the decoding stamps (which go up one interval per
// frame, B-frames or not): a first estimate after four intervals, so that the
// opening second is not shown at a guessed rate, then the rate over thirty.
void CTSAnalyse::MeasureRate(const PesHeader& h) {
  constexpr int kFirstSpan = 4;
  const double stamp = h.dts > 0.0001 ? h.dts : h.pts;
  if (rateCounter_ == 0) firstPts_ = stamp;
  if (rateCounter_ == kFirstSpan || rateCounter_ == rateSpan_) {
    lastPts_ = stamp;
    const int rate = NominalRateOf(lastPts_ - firstPts_, rateCounter_);
    if (rate > 0) nominalRate_ = rate;
    if (rateCounter_ == rateSpan_) rateMeasured_ = true;
  }
  ++rateCounter_;
}

bool CTSAnalyse::GrowVideoQueue(size_t size) {
  while (running_.load(std::memory_order_relaxed) && !DirectionRequested()) {
    switch (videoQueue_->Grow(size, videoDesc_)) {
      case CBuffer::Growth::Done: return true;
      case CBuffer::Growth::Never: return false;
      case CBuffer::Growth::Later: platform::SleepMs(2); break;
    }
  }
  return false;
}

void CTSAnalyse::CutAudio(const uint8_t* pes, size_t len) {
  PesHeader h;
  if (!ParsePesHeader(pes, len, h)) return;
  if (!links_.state->audio.load(std::memory_order_relaxed) || DirectionRequested()) return;
  // After a seek, until the video queue admits a key frame, the sound has no
  // picture to go with: dropping it keeps the reader from waiting on a full
  // audio queue on its way to the key frame, which would hold the new picture
  // back by up to a group of pictures.
  if (audioToKeyFrame_) {
    if (videoQueue_ && videoQueue_->GopState() == CVBuffer2::kGopWaiting) return;
    audioToKeyFrame_ = false;
  }
  const size_t size = len - h.payloadOffset;
  if (size > audioQueue_->LargestFrame()) return;
  std::memcpy(audioDesc_.pData, pes + h.payloadOffset, size);
  audioDesc_.nSize = static_cast<int32_t>(size);
  audioDesc_.nType = kFrameAudio;
  audioDesc_.nFps = 0;
  audioDesc_.nSpeed = 0;
  audioDesc_.dPts = 0;
  audioDesc_.nPosPermille = 0;
  audioQueue_->Push(audioDesc_);
}

void CTSAnalyse::CutTelemetry(const uint8_t* pes, size_t len) {
  PesHeader h;
  if (!ParsePesHeader(pes, len, h) || DirectionRequested()) return;
  if (links_.mailbox) links_.mailbox->Put(pes + h.payloadOffset, len - h.payloadOffset);
  platform::PostTo(links_.mainWindow, WM_TS_TELEMETRY);
}

void CTSAnalyse::Flush() {
  ++generation_;
  // A rate still being measured starts again from the frames after the jump:
  // stamps on both sides of it span far more time than frames.
  if (!rateMeasured_) rateCounter_ = -1;
  Drop();
  videoQueue_->Clear();
  audioQueue_->Clear();
}

void CTSAnalyse::Drop() {
  file_.DropWindow(direction_ == 1);
  if (demux_) demux_->Drop();
  reverseCount_ = 0;
  reverseTailSeen_ = false;
  videoPesPos_ = -1;
}

void CTSAnalyse::Restarted() {
  if (links_.mailbox) links_.mailbox->ClearPending();
  platform::PostTo(links_.mainWindow, WM_TS_FILECHANGE);
}

bool CTSAnalyse::SwitchTo(const std::string& path) {
  rateMeasured_ = false;
  rateCounter_ = -1;
  // Each recording is read by its own tables (the ones known so far serve
  // until they are found); its faults are its own.
  if (demux_) demux_->RelearnTables();
  faults_ = kFaultNone;
  SetCurrentPath(path);
  OpenFile(direction_);
  return true;
}

std::string CTSAnalyse::NeighbourOf(const std::string& path, int delta) const {
  // Recordings without a number are linked by their places in the list.
  if (CFindFilePath::FileNumber(path) < 0) return links_.list ? links_.list->ListNeighbour(path, delta) : std::string();
  return delta < 0 ? CFindFilePath::PrevPath(path) : CFindFilePath::NextPath(path);
}

bool CTSAnalyse::PrevFile() {
  std::string path = NeighbourOf(GetCurFile(), -1);
  return !path.empty() && SwitchTo(path);
}

bool CTSAnalyse::NextFile() {
  std::string path = NeighbourOf(GetCurFile(), +1);
  return !path.empty() && SwitchTo(path);
}
