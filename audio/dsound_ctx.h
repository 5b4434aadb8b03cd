#pragma once
#include <cstdint>
#include <memory>

#include "platform/sound_device.h"

namespace platform {
class AutoResetEvent;
}

// The sound output: a playback device and the looping stream buffer the audio
// thread writes into, one block at a time.
//
// The stream buffer is a ring of 16 blocks of 6144 bytes (64 ms of 16-bit mono
// at 48000 Hz); the device signals the stream's event in the middle of each
// block. The writer keeps one and a half to two and a half blocks ahead of
// the device: it writes block k + 2 when the middle of block k is reached.
class CDSoundCtx {
public:
  static constexpr uint32_t kBufferBytes = 98304;
  static constexpr uint32_t kBlockBytes = 6144;
  static constexpr uint32_t kBlocks = kBufferBytes / kBlockBytes;

  CDSoundCtx() = default;
  virtual ~CDSoundCtx();
  CDSoundCtx(const CDSoundCtx&) = delete;
  CDSoundCtx& operator=(const CDSoundCtx&) = delete;

  // Opens the default playback device in the format (once; true when open).
  bool Init(int channels, int samplesPerSecond, int bitsPerSample);
  bool HasDevice() const { return device_ != nullptr; }
  // The looping stream buffer (stopped) with its notification positions in the
  // middle of each block, all signalling the event; none without a device.
  std::unique_ptr<platform::SoundBuffer> CreateStreamBuffer(platform::AutoResetEvent& event, int channels,
                                                            int samplesPerSecond, int bitsPerSample);
  // Closes the device; its buffers are no longer played.
  void Release();

  // Locks the block at the write offset.
  static bool LockBlock(platform::SoundBuffer& buffer, uint32_t writeOffset, platform::SoundRegions& regions);
  // The offset of the next block to write after the block at writeOffset.
  // When the device has overtaken the writer, the writer moves on to the block
  // after the one that holds the device's write cursor (resynchronised is then
  // set when given).
  static uint32_t NextBlock(platform::SoundBuffer& buffer, uint32_t writeOffset, bool* resynchronised = nullptr);
  // The rule of NextBlock on given cursors (cursorsKnown false: no resync).
  static uint32_t NextBlockFor(uint32_t writeOffset, bool cursorsKnown, uint32_t playCursor, uint32_t writeCursor,
                               bool* resynchronised = nullptr);
  // Whether the block at writeOffset must be written now rather than at the
  // next notification: it starts no more than one and a half blocks after the
  // device's write cursor, so the next notification would come too late for
  // it. (Used to catch up after a resync.)
  static bool BlockDueNow(platform::SoundBuffer& buffer, uint32_t writeOffset);
  static bool BlockDueNowFor(uint32_t writeOffset, uint32_t writeCursor);
  // Rewinds the buffer to 0 and plays it looping.
  static bool StartLooping(platform::SoundBuffer& buffer);

private:
  std::unique_ptr<platform::SoundDevice> device_;
};
