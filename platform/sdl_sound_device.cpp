// The system's playback device through SDL's audio callback.
#include <SDL.h>

#include "platform/alsa_quiet.h"
#include "platform/sound_device.h"

namespace platform {
namespace {

class SdlSoundDevice final : public SoundDevice {
public:
  explicit SdlSoundDevice(const PcmFormat& format) : SoundDevice(format) {}

  ~SdlSoundDevice() override {
    if (device_ != 0) SDL_CloseAudioDevice(device_); // waits for a callback under way
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool Open() {
    QuietAlsaReports();
    // SDL would take SIGINT and SIGTERM for a quit event that nobody reads:
    // the programs end on them through their own quit.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystem_ = true;
    SDL_AudioSpec want{};
    want.freq = Format().samplesPerSecond;
    want.format = Format().bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(Format().channels);
    // 10 ms a pull: the drivers that pace themselves (disk, dummy) sleep for
    // whole milliseconds, so a pull of exactly 10 ms keeps their timing true.
    want.samples = static_cast<Uint16>(Format().samplesPerSecond / 100);
    want.callback = &SdlSoundDevice::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to what the hardware wants.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

private:
  static void Callback(void* self, Uint8* stream, int len) {
    static_cast<SdlSoundDevice*>(self)->Render(stream, static_cast<size_t>(len));
  }

  bool subsystem_ = false;
  SDL_AudioDeviceID device_ = 0;
};

} // namespace

std::unique_ptr<SoundDevice> OpenSdlSoundDevice(const PcmFormat& format) {
  if (!format.Valid()) return nullptr;
  auto device = std::make_unique<SdlSoundDevice>(format);
  if (!device->Open()) return nullptr;
  return device;
}

} // namespace platform
