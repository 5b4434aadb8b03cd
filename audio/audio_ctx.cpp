#include "audio/audio_ctx.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/clock.h"

namespace {

constexpr size_t kBlockSamples = CDSoundCtx::kBlockBytes / sizeof(int16_t);

} // namespace

CAudioCtx::CAudioCtx(const AudioLinks& links) : links_(links) {}

std::unique_ptr<CMyThread> MakeAudioThread(const AudioLinks& links) { return std::make_unique<CAudioCtx>(links); }

CAudioCtx::~CAudioCtx() {
  Stop(10000);
  Join();
  // The buffer and the device go before the event they signal.
  soundBuffer_.reset();
  Release();
}

bool CAudioCtx::Start() {
  if (IsRunning()) return false;
  if (!decoder_.Open()) return false;
  notifyEvent_.Reset();
  // No sound output is not an error: the thread then drains the queue.
  if (Init(kChannels, kSampleRate, kBits) && !soundBuffer_)
    soundBuffer_ = CreateStreamBuffer(notifyEvent_, kChannels, kSampleRate, kBits);
  return CMyThread::Start();
}

bool CAudioCtx::Stop(int64_t timeoutMs) {
  if (!CMyThread::Stop(timeoutMs)) return false;
  soundBuffer_.reset();
  Release();
  return true;
}

void CAudioCtx::Amplify(int16_t* samples, size_t count, int factor) {
  if (factor == 1) return;
  for (size_t i = 0; i < count; ++i) {
    int32_t v = static_cast<int32_t>(samples[i]) * factor;
    samples[i] = static_cast<int16_t>(std::clamp<int32_t>(v, -32768, 32767));
  }
}

int CAudioCtx::Run() {
  pcm_.clear();
  pcm_.reserve(4 * kBlockSamples);
  pcmRead_ = 0;
  std::array<int16_t, kBlockSamples> block{};
  uint32_t writeOffset = 0;
  bool playing = false;
  bool catchingUp = false; // after a resync: writing without waiting until ahead again

  while (running_.load(std::memory_order_relaxed)) {
    if (!soundBuffer_) {
      FrameDesc discarded;
      links_.queue->Pop(discarded);
      platform::SleepMs(kRetryMs);
      continue;
    }

    platform::SoundRegions regions;
    if (!LockBlock(*soundBuffer_, writeOffset, regions)) {
      platform::SleepMs(kRetryMs);
      continue;
    }
    if (regions.second || regions.firstBytes != kBlockBytes) {
      soundBuffer_->Unlock(regions);
      platform::SleepMs(kRetryMs);
      continue;
    }
    FillBlock(block.data(), block.size());
    std::memcpy(regions.first, block.data(), kBlockBytes);
    soundBuffer_->Unlock(regions);

    bool resynchronised = false;
    writeOffset = NextBlock(*soundBuffer_, writeOffset, &resynchronised);
    catchingUp = catchingUp || resynchronised;

    if (!playing) {
      // The second block follows at once.
      playing = StartLooping(*soundBuffer_);
      if (!playing) platform::SleepMs(kRetryMs);
      continue;
    }
    if (catchingUp) {
      if (BlockDueNow(*soundBuffer_, writeOffset)) continue;
      catchingUp = false;
    }
    platform::CurrentClock().WaitFor(notifyEvent_, kNotifyWaitMs);
  }
  pcm_.clear();
  pcm_.shrink_to_fit();
  pcmRead_ = 0;
  return 0;
}

void CAudioCtx::FillBlock(int16_t* out, size_t samples) {
  size_t at = 0;
  while (at < samples && running_.load(std::memory_order_relaxed)) {
    if (pcmRead_ == pcm_.size()) {
      if (!DecodeNextFrame()) break;
      continue;
    }
    if (!links_.state->audio.load(std::memory_order_relaxed)) {
      // Audio off: what is left of the frame is dropped.
      pcm_.clear();
      pcmRead_ = 0;
      break;
    }
    // A frame longer than the room left goes on in the next block.
    size_t n = std::min(samples - at, pcm_.size() - pcmRead_);
    std::memcpy(out + at, pcm_.data() + pcmRead_, n * sizeof(int16_t));
    at += n;
    pcmRead_ += n;
  }
  // Muted: the frames are played on (audio and video stay in step), as silence.
  if (links_.state->muted.load(std::memory_order_relaxed)) at = 0;
  std::fill(out + at, out + samples, int16_t{0});
}

bool CAudioCtx::DecodeNextFrame() {
  pcm_.clear();
  pcmRead_ = 0;
  if (links_.state->audioHold.load(std::memory_order_relaxed)) return false;
  FrameDesc frame;
  if (!links_.queue->Pop(frame)) return false;
  // Audio off: the frame is taken and dropped.
  if (!links_.state->audio.load(std::memory_order_relaxed)) return false;
  if (frame.pData && frame.nSize > 0) decoder_.Decode(frame.pData, static_cast<size_t>(frame.nSize), pcm_);
  Amplify(pcm_.data(), pcm_.size(), std::clamp(links_.amplification->load(std::memory_order_relaxed), 1, 10));
  return true;
}
