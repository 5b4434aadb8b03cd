#include "audio/mixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <utility>

#include "platform/alsa_quiet.h"

namespace {

// The simple-mixer element of a device, opened for one call.
class OpenElement {
public:
  OpenElement(const std::string& device, const std::string& element) {
    platform::QuietAlsaReports();
    if (snd_mixer_open(&mixer_, 0) < 0) {
      mixer_ = nullptr;
      return;
    }
    if (snd_mixer_attach(mixer_, device.c_str()) < 0 || snd_mixer_selem_register(mixer_, nullptr, nullptr) < 0 ||
        snd_mixer_load(mixer_) < 0)
      return;
    snd_mixer_selem_id_t* id = nullptr;
    if (snd_mixer_selem_id_malloc(&id) < 0) return;
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, element.c_str());
    snd_mixer_elem_t* e = snd_mixer_find_selem(mixer_, id);
    snd_mixer_selem_id_free(id);
    if (e && snd_mixer_selem_has_playback_volume(e) && snd_mixer_selem_get_playback_volume_range(e, &min_, &max_) >= 0 &&
        max_ > min_)
      elem_ = e;
  }
  ~OpenElement() {
    if (mixer_) snd_mixer_close(mixer_);
  }
  OpenElement(const OpenElement&) = delete;
  OpenElement& operator=(const OpenElement&) = delete;

  snd_mixer_elem_t* elem() const { return elem_; }
  long min() const { return min_; }
  long max() const { return max_; }

private:
  snd_mixer_t* mixer_ = nullptr;
  snd_mixer_elem_t* elem_ = nullptr;
  long min_ = 0, max_ = 0;
};

} // namespace

CMixer::CMixer(std::string device, std::string element) : device_(std::move(device)), element_(std::move(element)) {
  OpenElement open(device_, element_);
  if (snd_mixer_elem_t* e = open.elem()) {
    hasControl_ = true;
    for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c)
      channels_ += snd_mixer_selem_has_playback_channel(e, static_cast<snd_mixer_selem_channel_id_t>(c)) ? 1 : 0;
  }
  ready_ = true;
}

uint32_t CMixer::GetVolume() const {
  if (!ready_ || !hasControl_) return 0;
  OpenElement open(device_, element_);
  if (!open.elem()) return 0;
  // The first channel the control has (a mono control has only channel 0).
  for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
    auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
    long raw = 0;
    if (snd_mixer_selem_has_playback_channel(open.elem(), channel)) {
      if (snd_mixer_selem_get_playback_volume(open.elem(), channel, &raw) < 0) return 0;
      return ToVolume(raw, open.min(), open.max());
    }
  }
  return 0;
}

void CMixer::SetVolume(uint32_t volume) const {
  if (!ready_ || !hasControl_) return;
  OpenElement open(device_, element_);
  if (!open.elem()) return;
  snd_mixer_selem_set_playback_volume_all(open.elem(), FromVolume(volume, open.min(), open.max()));
}

uint32_t CMixer::ToVolume(long raw, long min, long max) {
  if (max <= min) return 0;
  raw = std::clamp(raw, min, max);
  const long double span = static_cast<long double>(max) - static_cast<long double>(min);
  const long double v = (static_cast<long double>(raw) - static_cast<long double>(min)) * kMaxVolume / span;
  return static_cast<uint32_t>(v + 0.5L);
}

long CMixer::FromVolume(uint32_t volume, long min, long max) {
  if (max <= min) return min;
  volume = std::min(volume, kMaxVolume);
  const long double span = static_cast<long double>(max) - static_cast<long double>(min);
  return min + static_cast<long>(static_cast<long double>(volume) * span / kMaxVolume + 0.5L);
}
