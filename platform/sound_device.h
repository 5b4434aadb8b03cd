#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

class AutoResetEvent;

// Interleaved integer PCM.
struct PcmFormat {
  int channels = 1;
  int samplesPerSecond = 48000;
  int bitsPerSample = 16;

  int BlockAlign() const { return channels * bitsPerSample / 8; }
  int BytesPerSecond() const { return samplesPerSecond * BlockAlign(); }
  bool Valid() const;
  bool operator==(const PcmFormat&) const = default;
};

// What a lock hands out: one region, or two when the locked range wraps past
// the end of the buffer.
struct SoundRegions {
  uint8_t* first = nullptr;
  uint32_t firstBytes = 0;
  uint8_t* second = nullptr;
  uint32_t secondBytes = 0;
};

namespace detail {
struct PlaybackLink;
}

// A looping PCM buffer played by a sound device.
//
// The device pulls bytes from the play position, wrapping at the end of the
// buffer. The play cursor is the start of the bytes the device pulled last
// (what is being heard now), the write cursor the end of them: bytes from the
// play cursor up to the write cursor are already with the device, everything
// else may be written. A notification position fires its event when the write
// cursor reaches or passes it.
//
// Writers lock a range, fill the regions they get and unlock them; the bytes
// go into the buffer at the unlock, under the buffer's lock, so the device
// never reads half-written bytes.
class SoundBuffer {
public:
  ~SoundBuffer();
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  uint32_t Size() const { return static_cast<uint32_t>(data_.size()); }
  const PcmFormat& Format() const { return format_; }

  // Locks bytes [offset, offset + bytes) (wrapping). The regions hold the
  // buffer's current bytes. Fails when a lock is already held or the range
  // does not fit the buffer.
  bool Lock(uint32_t offset, uint32_t bytes, SoundRegions& regions);
  // Stores the locked regions into the buffer and ends the lock.
  void Unlock(const SoundRegions& regions);
  bool GetCurrentPosition(uint32_t& play, uint32_t& write);
  // Moves both cursors to the position.
  bool SetCurrentPosition(uint32_t position);
  // Starts looping play at the current position; the device then plays this
  // buffer (a device plays the buffer started last).
  bool PlayLooping();
  // The positions signal the event, which must outlive the buffer. Replaces
  // earlier positions.
  bool SetNotificationPositions(const std::vector<uint32_t>& positions, AutoResetEvent& event);

  // Called by the device: copies the next bytes to play into out (silence
  // while stopped), moves the cursors and fires the notifications passed.
  void Render(uint8_t* out, size_t bytes);

private:
  friend class SoundDevice;
  SoundBuffer(const PcmFormat& format, uint32_t bytes, std::shared_ptr<detail::PlaybackLink> link);
  uint8_t Silence() const { return format_.bitsPerSample == 8 ? 0x80 : 0; }

  const PcmFormat format_;
  const std::shared_ptr<detail::PlaybackLink> link_;
  std::mutex mutex_;
  std::vector<uint8_t> data_;
  std::vector<uint8_t> staging_; // what a lock hands out
  uint32_t lockOffset_ = 0;
  uint32_t lockBytes_ = 0;
  bool locked_ = false;
  bool playing_ = false;
  uint32_t play_ = 0;
  uint32_t write_ = 0;
  std::vector<uint32_t> notifyPositions_;
  AutoResetEvent* notifyEvent_ = nullptr;
};

// A playback device in one PCM format. Buffers it creates may outlive it (they
// are then no longer played).
class SoundDevice {
public:
  explicit SoundDevice(const PcmFormat& format);
  virtual ~SoundDevice();
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  const PcmFormat& Format() const { return format_; }
  // A buffer of the given size in the device's format, stopped and silent;
  // none when the format is not the device's or the size is not a whole
  // number of sample frames.
  std::unique_ptr<SoundBuffer> CreateBuffer(const PcmFormat& format, uint32_t bytes);

  // Sees every byte the device outputs, as it is pulled, on the device's own
  // thread (meters, measurements). An empty tap removes it.
  using Tap = std::function<void(const uint8_t* bytes, size_t count)>;
  void SetTap(Tap tap);

protected:
  // The device's output: the bytes of the buffer playing, or silence.
  void Render(uint8_t* out, size_t bytes);

private:
  const PcmFormat format_;
  const std::shared_ptr<detail::PlaybackLink> link_;
};

// A device that plays only when told: tests and benchmarks drive it by hand.
class ManualSoundDevice final : public SoundDevice {
public:
  explicit ManualSoundDevice(const PcmFormat& format) : SoundDevice(format) {}
  // Plays the next bytes and returns them.
  std::vector<uint8_t> Play(size_t bytes);
};

// Opens the default playback device in the format: the system's (SDL) unless
// a test installed an opener. None when there is no device.
std::unique_ptr<SoundDevice> OpenSoundDevice(const PcmFormat& format);

using SoundDeviceOpener = std::function<std::unique_ptr<SoundDevice>(const PcmFormat&)>;
// Installs an opener (an empty one restores the system's). Call it while no
// device is being opened.
void SetSoundDeviceOpener(SoundDeviceOpener opener);

// The system's default playback device through SDL, pulling 10 ms at a time.
std::unique_ptr<SoundDevice> OpenSdlSoundDevice(const PcmFormat& format);

} // namespace platform
