#include "video/av_decoder.h"

#include "core/frame_desc.h"

#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

AVPixelFormat OutputFormat(int bitDepth) {
  switch (bitDepth) {
  case 12: return AV_PIX_FMT_YUV420P;
  case 16: return AV_PIX_FMT_RGB565LE;
  case 32: return AV_PIX_FMT_BGRA;
  default: return AV_PIX_FMT_NONE;
  }
}

// Tells the scaler the source's level range and matrix. RGB output is always full range.
void ApplyColour(SwsContext* scaler, const PictureColour& colour, int bitDepth) {
  const int* coefficients = sws_getCoefficients(colour.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
  // A 4:2:0 copy keeps its levels.
  const int dstRange = bitDepth == 12 ? (colour.fullRange ? 1 : 0) : 1;
  sws_setColorspaceDetails(scaler, coefficients, colour.fullRange ? 1 : 0, coefficients, dstRange, 0, 1 << 16,
                           1 << 16);
}

} // namespace

AvDecoder::~AvDecoder() { Close(); }

void AvDecoder::InitLibrary() {
  // A damaged access unit is dropped without a message; the libraries' own
  // reports would only fill the terminal. VELMORA_FFMPEG_LOG=1 keeps them.
  if (!std::getenv("VELMORA_FFMPEG_LOG")) av_log_set_level(AV_LOG_QUIET);
}

bool AvDecoder::Open(int width, int height, int bitDepth) {
  if (!context_) {
    const AVCodec* codec = avcodec_find_decoder(codec_ == kCodecH265 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
    if (!codec) return false;
    context_ = avcodec_alloc_context3(codec);
    if (!context_) return false;
    // Decoded on the calling thread, one picture out per access unit in: frame
    // threads would hold pictures back and make a step show an older picture.
    context_->thread_count = 1;
    if (avcodec_open2(context_, codec, nullptr) < 0) {
      avcodec_free_context(&context_);
      return false;
    }
  }
  if (!picture_ && !(picture_ = av_frame_alloc())) return false;
  if (!packet_ && !(packet_ = av_packet_alloc())) return false;

  if (width == 0 || height == 0 || bitDepth == 0) {
    width_ = width;
    height_ = height;
    bitDepth_ = bitDepth;
    return true;
  }
  if (scaler_ && width == width_ && height == height_ && bitDepth == bitDepth_) return true;
  const AVPixelFormat out = OutputFormat(bitDepth);
  if (out == AV_PIX_FMT_NONE || width < 0 || height < 0) return false;
  SwsContext* scaler = sws_getCachedContext(scaler_, width, height, AV_PIX_FMT_YUV420P, width, height, out,
                                            SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler) {
    scaler_ = nullptr; // the cached-context call has freed the old one
    return false;
  }
  scaler_ = scaler;
  ApplyColour(scaler_, scalerColour_, bitDepth);
  width_ = width;
  height_ = height;
  bitDepth_ = bitDepth;
  return true;
}

void AvDecoder::SetCodec(int codec) {
  if (codec == codec_) return;
  codec_ = codec;
  if (context_) avcodec_free_context(&context_);
}

bool AvDecoder::Decode(const uint8_t* data, int size) {
  if (!context_ || !picture_ || !packet_ || !data || size <= 0) return false;
  av_packet_unref(packet_);
  // The decoder reads the bytes in place; they stay valid until the next Decode.
  packet_->data = const_cast<uint8_t*>(data);
  packet_->size = size;
  int rc = avcodec_send_packet(context_, packet_);
  bool got = false;
  if (rc == AVERROR(EAGAIN)) {
    // A picture is still waiting: take it first, then hand the unit over.
    got = avcodec_receive_frame(context_, picture_) == 0;
    avcodec_send_packet(context_, packet_);
  } else {
    got = avcodec_receive_frame(context_, picture_) == 0;
  }
  packet_->data = nullptr;
  packet_->size = 0;
  return got;
}

bool AvDecoder::Convert(const uint8_t* const src[], const int srcStrides[], int firstRow, int rows,
                        uint8_t* const dst[], const int dstStrides[], const PictureColour& colour) {
  if (!scaler_) return false;
  if (!(colour == scalerColour_)) {
    scalerColour_ = colour;
    ApplyColour(scaler_, colour, bitDepth_);
  }
  return sws_scale(scaler_, src, srcStrides, firstRow, rows, dst, dstStrides) > 0;
}

void AvDecoder::Close() {
  if (context_) avcodec_free_context(&context_);
  if (picture_) av_frame_free(&picture_);
  if (packet_) av_packet_free(&packet_);
  if (scaler_) {
    sws_freeContext(scaler_);
    scaler_ = nullptr;
  }
}

bool AvDecoder::IsPlanar420(const AVFrame* picture) {
  return picture && (picture->format == AV_PIX_FMT_YUV420P || picture->format == AV_PIX_FMT_YUVJ420P) &&
         picture->width > 0 && picture->height > 0 && picture->data[0] && picture->data[1] && picture->data[2];
}

PictureColour AvDecoder::ColourOf(const AVFrame* picture) {
  PictureColour c;
  c.fullRange = picture->color_range == AVCOL_RANGE_JPEG || picture->format == AV_PIX_FMT_YUVJ420P;
  c.bt709 = picture->colorspace == AVCOL_SPC_BT709;
  return c;
}
