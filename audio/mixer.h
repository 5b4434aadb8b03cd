#pragma once
#include <cstdint>
#include <string>

// The system's master playback volume as 0..65535: the "Master" playback
// control of the default sound card, through ALSA's simple mixer, mapped
// linearly from the control's own range. Without a card or without such a
// control the volume reads 0 and setting it does nothing.
//
// Construct one for each use; it opens the mixer only for the calls.
class CMixer {
public:
  static constexpr uint32_t kMaxVolume = 65535;

  // device: an ALSA control device name ("default", "hw:0", ...).
  explicit CMixer(std::string device = "default", std::string element = "Master");
  virtual ~CMixer() = default;

  // Construction has run to its end (also when no control was found).
  bool IsReady() const { return ready_; }
  // A playback volume control was found; its channel count.
  bool HasControl() const { return hasControl_; }
  int Channels() const { return channels_; }

  // 0..65535; 0 without a control or when it cannot be read.
  uint32_t GetVolume() const;
  // Sets every channel of the control (values above 65535 count as 65535).
  void SetVolume(uint32_t volume) const;

  // The linear mapping between a control's range [min, max] and 0..65535.
  static uint32_t ToVolume(long raw, long min, long max);
  static long FromVolume(uint32_t volume, long min, long max);

  // The control panel's volume slider: positions 0 (loud) to 27 (silent).
  static constexpr int kSliderPositions = 28;
  static constexpr int SliderPosition(uint32_t volume) {
    return 27 - static_cast<int>((volume > kMaxVolume ? kMaxVolume : volume) / 2427);
  }
  static constexpr uint32_t SliderVolume(int position) {
    return position <= 0 ? 65529u : position >= 27 ? 0u : static_cast<uint32_t>(65529 - position * 2427);
  }

private:
  std::string device_;
  std::string element_;
  int channels_ = 0;
  bool hasControl_ = false;
  bool ready_ = false;
};
