#include "audio/aac_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

AacDecoder::~AacDecoder() { Close(); }

bool AacDecoder::Open() {
  if (context_) return true;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
  if (!codec) return false;
  context_ = avcodec_alloc_context3(codec);
  parser_ = av_parser_init(AV_CODEC_ID_AAC);
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!context_ || !parser_ || !packet_ || !frame_ || avcodec_open2(context_, codec, nullptr) < 0) {
    Close();
    return false;
  }
  return true;
}

void AacDecoder::Close() {
  avcodec_free_context(&context_);
  if (parser_) av_parser_close(parser_);
  parser_ = nullptr;
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  swr_free(&resampler_);
  inRate_ = inChannels_ = 0;
  inFormat_ = -1;
  inLayoutMask_ = 0;
}

void AacDecoder::Reset() {
  if (!context_) return;
  avcodec_flush_buffers(context_);
  // A new parser forgets any partial frame it holds.
  av_parser_close(parser_);
  parser_ = av_parser_init(AV_CODEC_ID_AAC);
  if (resampler_) swr_init(resampler_); // drops the samples it delays
}

bool AacDecoder::Decode(const uint8_t* data, size_t size, std::vector<int16_t>& out) {
  if (!context_ || !parser_) return false;
  bool ok = true;
  while (size > 0) {
    uint8_t* frameData = nullptr;
    int frameSize = 0;
    int used = av_parser_parse2(parser_, context_, &frameData, &frameSize, data, static_cast<int>(size),
                                AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (used < 0) return false;
    data += used;
    size -= static_cast<size_t>(used);
    if (frameSize == 0) {
      if (used == 0) break;
      continue;
    }
    packet_->data = frameData;
    packet_->size = frameSize;
    if (avcodec_send_packet(context_, packet_) < 0) {
      ok = false;
      continue;
    }
    while (avcodec_receive_frame(context_, frame_) == 0) {
      ok = Convert(frame_, out) && ok;
      av_frame_unref(frame_);
    }
  }
  // The parser keeps a frame until it sees the next one begin; the frames of
  // one call are complete, so take the last one now.
  uint8_t* frameData = nullptr;
  int frameSize = 0;
  av_parser_parse2(parser_, context_, &frameData, &frameSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
  if (frameSize > 0) {
    packet_->data = frameData;
    packet_->size = frameSize;
    if (avcodec_send_packet(context_, packet_) == 0) {
      while (avcodec_receive_frame(context_, frame_) == 0) {
        ok = Convert(frame_, out) && ok;
        av_frame_unref(frame_);
      }
    } else {
      ok = false;
    }
  }
  return ok;
}

bool AacDecoder::Convert(const AVFrame* frame, std::vector<int16_t>& out) {
  const int channels = frame->ch_layout.nb_channels;
  const uint64_t mask = frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame->ch_layout.u.mask : 0;
  if (!resampler_ || frame->sample_rate != inRate_ || frame->format != inFormat_ || channels != inChannels_ ||
      mask != inLayoutMask_) {
    swr_free(&resampler_);
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    if (swr_alloc_set_opts2(&resampler_, &mono, AV_SAMPLE_FMT_S16, kOutputRate,
                            const_cast<AVChannelLayout*>(&frame->ch_layout),
                            static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler_) < 0) {
      swr_free(&resampler_);
      return false;
    }
    inRate_ = frame->sample_rate;
    inFormat_ = frame->format;
    inChannels_ = channels;
    inLayoutMask_ = mask;
  }
  const int room = swr_get_out_samples(resampler_, frame->nb_samples);
  if (room <= 0) return true;
  const size_t before = out.size();
  out.resize(before + static_cast<size_t>(room));
  auto* dst = reinterpret_cast<uint8_t*>(out.data() + before);
  int got = swr_convert(resampler_, &dst, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
  out.resize(before + static_cast<size_t>(got > 0 ? got : 0));
  return got >= 0;
}
