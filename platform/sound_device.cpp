#include "platform/sound_device.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/event.h"

namespace platform {

namespace detail {
// Which buffer a device plays. Shared by the device and its buffers, so either
// may go first.
struct PlaybackLink {
  std::mutex mutex;
  SoundBuffer* playing = nullptr;
  SoundDevice::Tap tap;
};
} // namespace detail

bool PcmFormat::Valid() const {
  return channels >= 1 && channels <= 8 && samplesPerSecond >= 8000 && samplesPerSecond <= 192000 &&
         (bitsPerSample == 8 || bitsPerSample == 16);
}

SoundBuffer::SoundBuffer(const PcmFormat& format, uint32_t bytes, std::shared_ptr<detail::PlaybackLink> link)
    : format_(format), link_(std::move(link)), data_(bytes, Silence()), staging_(bytes) {}

SoundBuffer::~SoundBuffer() {
  std::lock_guard lock(link_->mutex);
  if (link_->playing == this) link_->playing = nullptr;
}

bool SoundBuffer::Lock(uint32_t offset, uint32_t bytes, SoundRegions& regions) {
  regions = {};
  std::lock_guard lock(mutex_);
  const uint32_t size = Size();
  if (locked_ || offset >= size || bytes == 0 || bytes > size) return false;
  const uint32_t first = std::min(bytes, size - offset);
  std::memcpy(staging_.data(), data_.data() + offset, first);
  std::memcpy(staging_.data() + first, data_.data(), bytes - first);
  regions.first = staging_.data();
  regions.firstBytes = first;
  if (bytes > first) {
    regions.second = staging_.data() + first;
    regions.secondBytes = bytes - first;
  }
  locked_ = true;
  lockOffset_ = offset;
  lockBytes_ = bytes;
  return true;
}

void SoundBuffer::Unlock(const SoundRegions& regions) {
  std::lock_guard lock(mutex_);
  if (!locked_ || regions.first != staging_.data()) return;
  locked_ = false;
  const uint32_t first = std::min(regions.firstBytes, Size() - lockOffset_);
  const uint32_t second = std::min(regions.secondBytes, lockBytes_ - first);
  std::memcpy(data_.data() + lockOffset_, staging_.data(), first);
  std::memcpy(data_.data(), staging_.data() + first, second);
}

bool SoundBuffer::GetCurrentPosition(uint32_t& play, uint32_t& write) {
  std::lock_guard lock(mutex_);
  play = play_;
  write = write_;
  return true;
}

bool SoundBuffer::SetCurrentPosition(uint32_t position) {
  std::lock_guard lock(mutex_);
  if (position >= Size()) return false;
  position -= position % static_cast<uint32_t>(format_.BlockAlign());
  play_ = write_ = position;
  return true;
}

bool SoundBuffer::PlayLooping() {
  {
    std::lock_guard lock(mutex_);
    playing_ = true;
  }
  std::lock_guard lock(link_->mutex);
  link_->playing = this;
  return true;
}

bool SoundBuffer::SetNotificationPositions(const std::vector<uint32_t>& positions, AutoResetEvent& event) {
  std::lock_guard lock(mutex_);
  for (uint32_t p : positions)
    if (p >= Size()) return false;
  notifyPositions_ = positions;
  notifyEvent_ = &event;
  return true;
}

void SoundBuffer::Render(uint8_t* out, size_t bytes) {
  std::lock_guard lock(mutex_);
  if (!playing_ || bytes == 0) {
    std::memset(out, Silence(), bytes);
    return;
  }
  const uint32_t size = Size();
  uint32_t at = write_;
  for (size_t done = 0; done < bytes;) {
    const size_t n = std::min<size_t>(bytes - done, size - at);
    std::memcpy(out + done, data_.data() + at, n);
    done += n;
    at = static_cast<uint32_t>((at + n) % size);
  }
  // Positions in (write_, write_ + bytes], around the ring.
  if (notifyEvent_) {
    for (uint32_t p : notifyPositions_) {
      uint32_t ahead = (p + size - write_) % size;
      if (ahead == 0) ahead = size;
      if (ahead <= bytes) notifyEvent_->Set();
    }
  }
  play_ = write_;
  write_ = at;
}

SoundDevice::SoundDevice(const PcmFormat& format)
    : format_(format), link_(std::make_shared<detail::PlaybackLink>()) {}

SoundDevice::~SoundDevice() = default;

std::unique_ptr<SoundBuffer> SoundDevice::CreateBuffer(const PcmFormat& format, uint32_t bytes) {
  if (!(format == format_) || bytes == 0 || bytes % static_cast<uint32_t>(format.BlockAlign()) != 0) return nullptr;
  return std::unique_ptr<SoundBuffer>(new SoundBuffer(format, bytes, link_));
}

void SoundDevice::SetTap(Tap tap) {
  std::lock_guard lock(link_->mutex);
  link_->tap = std::move(tap);
}

void SoundDevice::Render(uint8_t* out, size_t bytes) {
  std::lock_guard lock(link_->mutex);
  if (link_->playing) link_->playing->Render(out, bytes);
  else std::memset(out, format_.bitsPerSample == 8 ? 0x80 : 0, bytes);
  if (link_->tap) link_->tap(out, bytes);
}

std::vector<uint8_t> ManualSoundDevice::Play(size_t bytes) {
  std::vector<uint8_t> out(bytes);
  Render(out.data(), bytes);
  return out;
}

namespace {
std::mutex g_openerMutex;
SoundDeviceOpener g_opener;
} // namespace

std::unique_ptr<SoundDevice> OpenSoundDevice(const PcmFormat& format) {
  if (!format.Valid()) return nullptr;
  SoundDeviceOpener opener;
  {
    std::lock_guard lock(g_openerMutex);
    opener = g_opener;
  }
  return opener ? opener(format) : OpenSdlSoundDevice(format);
}

void SetSoundDeviceOpener(SoundDeviceOpener opener) {
  std::lock_guard lock(g_openerMutex);
  g_opener = std::move(opener);
}

} // namespace platform
