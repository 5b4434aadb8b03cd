#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/aac_decoder.h"
#include "audio/dsound_ctx.h"
#include "core/decode_links.h"
#include "core/frame_desc.h"
#include "core/my_thread.h"
#include "platform/event.h"

// The audio thread of a channel: takes AAC frames from the channel's audio
// queue, decodes them to 16-bit mono at 48000 Hz, amplifies them by the sound
// amplification setting and writes them block by block into the looping
// stream buffer of its sound output.
//
// It plays silence while there is no frame, while the channel is muted, while
// the channel's audio flag is clear and while the video thread holds it (the channel's audioHold flag, set
// during pause and single steps); while held it takes no frame, so the audio
// queue fills and holds the reader back. Without a sound device it drains the
// queue so that the reader never waits on it.
class CAudioCtx : public CMyThread, public CDSoundCtx {
public:
  static constexpr int kChannels = 1;
  static constexpr int kSampleRate = AacDecoder::kOutputRate;
  static constexpr int kBits = 16;
  static constexpr int64_t kNotifyWaitMs = 1000;
  static constexpr int64_t kRetryMs = 10;

  explicit CAudioCtx(const AudioLinks& links);
  ~CAudioCtx() override;

  // Opens the decoder (false when that fails), then the sound output; without
  // a sound output the thread still runs, draining the queue.
  bool Start() override;
  // Ends the thread, then releases the stream buffer and the device (a later
  // Start opens them again). False when the thread did not end in time; the
  // output is then kept until the thread has ended.
  bool Stop(int64_t timeoutMs) override;

  bool HasSoundBuffer() const { return soundBuffer_ != nullptr; }

  // Multiplies each sample by the factor, saturating at the 16-bit range.
  static void Amplify(int16_t* samples, size_t count, int factor);

protected:
  int Run() override;

private:
  // Fills a block with decoded sound, then silence.
  void FillBlock(int16_t* out, size_t samples);
  // Takes the next frame and decodes it into pcm_; false when there is none
  // to play (nothing queued, held, or the audio flag clear).
  bool DecodeNextFrame();

  AudioLinks links_;
  std::unique_ptr<platform::SoundBuffer> soundBuffer_;
  platform::AutoResetEvent notifyEvent_;
  AacDecoder decoder_;
  // Decoded sound of the current frame not yet written (thread only).
  std::vector<int16_t> pcm_;
  size_t pcmRead_ = 0;
};
