#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVCodecParserContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

// Decodes AAC (ADTS frames, any number per call) to 16-bit mono PCM at
// 48000 Hz, whatever the stream's own channel layout and rate: libavcodec's
// AAC decoder gives float planar samples, libswresample converts them.
class AacDecoder {
public:
  static constexpr int kOutputRate = 48000;

  AacDecoder() = default;
  ~AacDecoder();
  AacDecoder(const AacDecoder&) = delete;
  AacDecoder& operator=(const AacDecoder&) = delete;

  // Opens the decoder; false when libavcodec has no AAC decoder.
  bool Open();
  void Close();
  bool IsOpen() const { return context_ != nullptr; }

  // Decodes the ADTS frames in the bytes and appends their samples to out
  // (which keeps its capacity between calls, so steady use does not allocate).
  // Returns false when a frame could not be decoded; the samples of the frames
  // decoded before it are kept.
  bool Decode(const uint8_t* data, size_t size, std::vector<int16_t>& out);

  // Forgets partly parsed input and the converter's delay (after a seek).
  void Reset();

private:
  bool Convert(const AVFrame* frame, std::vector<int16_t>& out);

  AVCodecContext* context_ = nullptr;
  AVCodecParserContext* parser_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwrContext* resampler_ = nullptr;
  // What the converter was set up for.
  int inRate_ = 0;
  int inFormat_ = -1;
  uint64_t inLayoutMask_ = 0;
  int inChannels_ = 0;
};
