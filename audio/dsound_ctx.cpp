#include "audio/dsound_ctx.h"

#include <vector>

#include "platform/event.h"

CDSoundCtx::~CDSoundCtx() { Release(); }

bool CDSoundCtx::Init(int channels, int samplesPerSecond, int bitsPerSample) {
  if (device_) return true;
  device_ = platform::OpenSoundDevice({channels, samplesPerSecond, bitsPerSample});
  return device_ != nullptr;
}

std::unique_ptr<platform::SoundBuffer> CDSoundCtx::CreateStreamBuffer(platform::AutoResetEvent& event, int channels,
                                                                      int samplesPerSecond, int bitsPerSample) {
  if (!device_) return nullptr;
  auto buffer = device_->CreateBuffer({channels, samplesPerSecond, bitsPerSample}, kBufferBytes);
  if (!buffer) return nullptr;
  std::vector<uint32_t> positions;
  for (uint32_t i = 0; i < kBlocks; ++i) positions.push_back(i * kBlockBytes + kBlockBytes / 2);
  if (!buffer->SetNotificationPositions(positions, event)) return nullptr;
  return buffer;
}

void CDSoundCtx::Release() { device_.reset(); }

bool CDSoundCtx::LockBlock(platform::SoundBuffer& buffer, uint32_t writeOffset, platform::SoundRegions& regions) {
  return buffer.Lock(writeOffset, kBlockBytes, regions);
}

uint32_t CDSoundCtx::NextBlock(platform::SoundBuffer& buffer, uint32_t writeOffset, bool* resynchronised) {
  uint32_t play = 0, write = 0;
  bool known = buffer.GetCurrentPosition(play, write);
  return NextBlockFor(writeOffset, known, play, write, resynchronised);
}

uint32_t CDSoundCtx::NextBlockFor(uint32_t writeOffset, bool cursorsKnown, uint32_t playCursor, uint32_t writeCursor,
                                  bool* resynchronised) {
  if (resynchronised) *resynchronised = false;
  if (cursorsKnown) {
    // The first two blocks count as following the end of the ring, so that a
    // writer that has just wrapped is not taken for one left behind.
    uint32_t o = writeOffset <= kBlockBytes ? writeOffset + kBufferBytes : writeOffset;
    if (o < writeCursor && o < playCursor) {
      writeOffset = writeCursor - writeCursor % kBlockBytes;
      if (resynchronised) *resynchronised = true;
    }
  }
  writeOffset += kBlockBytes;
  return writeOffset >= kBufferBytes ? 0 : writeOffset;
}

bool CDSoundCtx::BlockDueNow(platform::SoundBuffer& buffer, uint32_t writeOffset) {
  uint32_t play = 0, write = 0;
  return buffer.GetCurrentPosition(play, write) && BlockDueNowFor(writeOffset, write);
}

bool CDSoundCtx::BlockDueNowFor(uint32_t writeOffset, uint32_t writeCursor) {
  uint32_t ahead = (writeOffset + kBufferBytes - writeCursor % kBufferBytes) % kBufferBytes;
  return ahead <= kBlockBytes + kBlockBytes / 2;
}

bool CDSoundCtx::StartLooping(platform::SoundBuffer& buffer) {
  return buffer.SetCurrentPosition(0) && buffer.PlayLooping();
}
