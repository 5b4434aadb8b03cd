#include "video/av_decoder.h"

#include <algorithm>
#include "core/frame_desc.h"

#include <cstdlib>
#include <thread>

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
    context_->thread_count = threads_;
    if (threads_ != 1) context_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
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

void AvDecoder::SetThreads(int threads) {
  if (threads == 0) threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  if (threads == threads_) return;
  threads_ = threads;
  if (context_) avcodec_free_context(&context_);
}

bool AvDecoder::Renew() {
  if (context_) avcodec_free_context(&context_);
  return Open(width_, height_, bitDepth_);
}

bool AvDecoder::HoldsBack() const { return context_ && (threads_ != 1 || context_->has_b_frames > 0); }

bool AvDecoder::Decode(const uint8_t* data, int size) { return Decode(data, size, AV_NOPTS_VALUE, -1); }

bool AvDecoder::Decode(const uint8_t* data, int size, int64_t pts, int64_t pos) {
  if (!context_ || !picture_ || !packet_ || !data || size <= 0) return false;
  av_packet_unref(packet_);
  // The decoder reads the bytes in place; they stay valid until the next Decode.
  packet_->data = const_cast<uint8_t*>(data);
  packet_->size = size;
  packet_->pts = pts;
  packet_->pos = pos;
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
  return got && ToPlanar420();
}

bool AvDecoder::Send(const uint8_t* data, int size, int64_t pts, int64_t pos) {
  if (!context_ || !packet_ || !data || size <= 0) return false;
  av_packet_unref(packet_);
  packet_->data = const_cast<uint8_t*>(data);
  packet_->size = size;
  packet_->pts = pts;
  packet_->pos = pos;
  const int rc = avcodec_send_packet(context_, packet_);
  packet_->data = nullptr;
  packet_->size = 0;
  return rc >= 0;
}

bool AvDecoder::Receive() {
  if (!context_ || !picture_) return false;
  // Into a frame of its own: a failed receive empties the frame it is given.
  if (!spare_ && !(spare_ = av_frame_alloc())) return false;
  if (avcodec_receive_frame(context_, spare_) != 0) return false;
  av_frame_unref(picture_);
  av_frame_move_ref(picture_, spare_);
  return ToPlanar420();
}

bool AvDecoder::ToPlanar420() {
  if (IsPlanar420(picture_)) return true;
  const int w = picture_->width;
  const int h = picture_->height;
  if (w <= 0 || h <= 0 || picture_->format < 0) return false;
  const auto format = static_cast<AVPixelFormat>(picture_->format);
  SwsContext* layout = sws_getCachedContext(layout_, w, h, format, w, h, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                            nullptr, nullptr);
  if (!layout) {
    layout_ = nullptr; // the cached-context call has freed the old one
    return false;
  }
  layout_ = layout;
  const bool fullRange = picture_->color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ444P ||
                         format == AV_PIX_FMT_YUVJ422P;
  const int* matrix = sws_getCoefficients(picture_->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
  sws_setColorspaceDetails(layout_, matrix, fullRange ? 1 : 0, matrix, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
  if (!converted_ && !(converted_ = av_frame_alloc())) return false;
  av_frame_unref(converted_);
  converted_->format = AV_PIX_FMT_YUV420P;
  converted_->width = w;
  converted_->height = h;
  if (av_frame_get_buffer(converted_, 0) < 0) return false;
  if (sws_scale(layout_, picture_->data, picture_->linesize, 0, h, converted_->data, converted_->linesize) <= 0 ||
      av_frame_copy_props(converted_, picture_) < 0) {
    av_frame_unref(converted_);
    return false;
  }
  if (fullRange) converted_->color_range = AVCOL_RANGE_JPEG;
  av_frame_unref(picture_);
  av_frame_move_ref(picture_, converted_);
  return true;
}

void AvDecoder::Drain() {
  if (context_) avcodec_send_packet(context_, nullptr);
}

void AvDecoder::Flush() {
  if (context_) avcodec_flush_buffers(context_);
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
  if (spare_) av_frame_free(&spare_);
  if (converted_) av_frame_free(&converted_);
  if (layout_) {
    sws_freeContext(layout_);
    layout_ = nullptr;
  }
  if (packet_) av_packet_free(&packet_);
  if (scaler_) {
    sws_freeContext(scaler_);
    scaler_ = nullptr;
  }
}

bool AvDecoder::ProbeSize(const uint8_t* data, int size, int* width, int* height) {
  AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
  AVCodecContext* context = avcodec_alloc_context3(nullptr);
  bool ok = false;
  if (parser && context) {
    parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    uint8_t* out = nullptr;
    int outSize = 0;
    av_parser_parse2(parser, context, &out, &outSize, data, size, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    ok = parser->width > 0 && parser->height > 0;
    *width = parser->width;
    *height = parser->height;
  }
  if (parser) av_parser_close(parser);
  avcodec_free_context(&context);
  return ok;
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
