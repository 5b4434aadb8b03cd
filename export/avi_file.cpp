#include "export/avi_file.h"

#include "core/frame_desc.h"
#include "core/ts_demux.h"
#include "core/ts_file.h"

#include <cmath>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace {

constexpr int kVideo = 0;
constexpr int kAudio = 1;

std::string AvError(int averror) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(averror, text, sizeof text);
  return text;
}

} // namespace

CAviFile::~CAviFile() {
  if (IsOpen()) Close();
}

bool CAviFile::Fail(const char* what, int averror) {
  failed_ = true;
  if (error_.empty()) error_ = std::string(what) + ": " + AvError(averror);
  return false;
}

void CAviFile::Free() {
  av_packet_free(&packet_);
  if (!context_) return;
  if (context_->pb) avio_closep(&context_->pb);
  avformat_free_context(context_);
  context_ = nullptr;
}

bool CAviFile::Create(const std::string& path, int width, int height, int frameRate, int codec) {
  if (IsOpen()) Abandon();
  videoFrames_ = audioSamples_ = 0;
  failed_ = false;
  fileCreated_ = false;
  error_.clear();
  if (width <= 0 || height <= 0 || frameRate <= 0) return Fail("bad picture size or frame rate", AVERROR(EINVAL));
  frameRate_ = frameRate;

  int ret = avformat_alloc_output_context2(&context_, nullptr, "avi", path.c_str());
  if (ret < 0 || !context_) return Fail("no AVI muxer", ret < 0 ? ret : AVERROR_MUXER_NOT_FOUND);

  // Video: H.264 or H.265 as it is; the muxer writes one four-character code
  // for the stream handler and the bitmap header's compression alike.
  AVStream* video = avformat_new_stream(context_, nullptr);
  AVStream* audio = video ? avformat_new_stream(context_, nullptr) : nullptr;
  if (!audio) {
    Free();
    return Fail("cannot add the streams", AVERROR(ENOMEM));
  }
  AVCodecParameters* v = video->codecpar;
  v->codec_type = AVMEDIA_TYPE_VIDEO;
  v->codec_id = codec == kCodecH265 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264;
  v->codec_tag = codec == kCodecH265 ? MKTAG('H', 'E', 'V', 'C') : MKTAG('X', '2', '6', '4');
  v->width = width;
  v->height = height;
  v->bits_per_coded_sample = 24;
  video->time_base = AVRational{1, frameRate};
  video->avg_frame_rate = video->r_frame_rate = AVRational{frameRate, 1};

  AVCodecParameters* a = audio->codecpar;
  a->codec_type = AVMEDIA_TYPE_AUDIO;
  a->codec_id = AV_CODEC_ID_PCM_S16LE;
  a->codec_tag = 0x0001; // WAVE_FORMAT_PCM
  a->ch_layout = AV_CHANNEL_LAYOUT_MONO;
  a->sample_rate = kAudioRate;
  a->format = AV_SAMPLE_FMT_S16;
  a->bits_per_coded_sample = 16;
  a->block_align = 2;
  a->bit_rate = int64_t{kAudioRate} * 16;
  audio->time_base = AVRational{1, kAudioRate};

  packet_ = av_packet_alloc();
  if (!packet_) {
    Free();
    return Fail("out of memory", AVERROR(ENOMEM));
  }
  ret = avio_open(&context_->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (ret < 0) {
    Free();
    return Fail("cannot create the file", ret);
  }
  fileCreated_ = true;
  ret = avformat_write_header(context_, nullptr);
  if (ret < 0) {
    Free();
    return Fail("cannot write the AVI headers", ret);
  }
  return true;
}

bool CAviFile::Write(int stream, const uint8_t* data, size_t size, int64_t at, int64_t duration, AVRational unit) {
  if (size > INT32_MAX) return Fail("a chunk too large", AVERROR(EINVAL));
  AVPacket* packet = packet_;
  av_packet_unref(packet);
  packet->data = const_cast<uint8_t*>(data); // read only; not owned by the packet
  packet->size = static_cast<int>(size);
  packet->stream_index = stream;
  const AVRational tb = context_->streams[stream]->time_base;
  packet->pts = packet->dts = av_rescale_q(at, unit, tb);
  packet->duration = av_rescale_q(duration, unit, tb);
  packet->flags = AV_PKT_FLAG_KEY;
  int ret = av_write_frame(context_, packet);
  packet->data = nullptr;
  packet->size = 0;
  if (ret < 0) return Fail(stream == kVideo ? "cannot write a video frame" : "cannot write audio", ret);
  return true;
}

bool CAviFile::WriteVideoFrame(const uint8_t* data, size_t size) {
  if (!IsOpen() || failed_) return false;
  // Frame n is shown at n / frame rate.
  if (!Write(kVideo, data, size, videoFrames_, 1, AVRational{1, frameRate_})) return false;
  ++videoFrames_;
  return true;
}

bool CAviFile::WriteAudio(const uint8_t* data, size_t size) {
  if (!IsOpen() || failed_) return false;
  const auto samples = static_cast<int64_t>(size / 2);
  if (samples == 0) return true;
  if (!Write(kAudio, data, static_cast<size_t>(samples) * 2, audioSamples_, samples, AVRational{1, kAudioRate}))
    return false;
  audioSamples_ += samples;
  return true;
}

bool CAviFile::Close() {
  if (!IsOpen()) return !failed_;
  if (!failed_) {
    int ret = av_write_trailer(context_);
    if (ret < 0) Fail("cannot write the index", ret);
  }
  int ret = avio_closep(&context_->pb);
  if (ret < 0) Fail("cannot close the file", ret);
  Free();
  return !failed_;
}

void CAviFile::Abandon() {
  Free();
  failed_ = true;
}

bool ProbeVideoFormat(const std::string& path, int* width, int* height, int* frameRate, int* codecOut) {
  // The picture size from the first sequence parameter set (libavcodec's
  // parser of the stream's codec); the rate from the decoding times of the first 31 frames.
  constexpr int kSpan = 30;
  AVCodecParserContext* parser = nullptr;
  AVCodecContext* context = nullptr;
  int videoCodec = kCodecH264;
  int w = 0, h = 0, frames = 0;
  double first = 0, last = 0;
  TsFile file;
  TsDemux demux;
  bool done = false;
  auto onPes = [&](TsStream stream, const uint8_t* pes, size_t len) {
    PesHeader header;
    if (done || stream != TsStream::Video || !ParsePesHeader(pes, len, header)) return;
    if (!context) {
      videoCodec = demux.Pids().videoCodec;
      const AVCodecID id = videoCodec == kCodecH265 ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264;
      const AVCodec* codec = avcodec_find_decoder(id);
      parser = av_parser_init(id);
      context = codec ? avcodec_alloc_context3(codec) : nullptr;
      if (!parser || !context) {
        done = true;
        return;
      }
      parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    }
    if (w <= 0) {
      uint8_t* out = nullptr;
      int outSize = 0;
      av_parser_parse2(parser, context, &out, &outSize, pes + header.payloadOffset,
                       static_cast<int>(len - header.payloadOffset), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (parser->width > 0 && parser->height > 0) w = parser->width, h = parser->height;
    }
    if (header.hasPts && frames <= kSpan) {
      const double t = header.dts > 0.0001 ? header.dts : header.pts;
      if (frames == 0) first = t;
      last = t;
      ++frames;
    }
    done = w > 0 && frames > kSpan;
  };
  if (file.Open(path, false)) {
    while (!done && file.Position() < (16 << 20) && file.FillForward() > 0)
      file.WalkForward([&](const uint8_t* p) { demux.Feed(p, onPes, false); return true; }, [&] { return !done; });
  }
  if (parser) av_parser_close(parser);
  avcodec_free_context(&context);
  if (w <= 0 || h <= 0) return false;
  *width = w;
  *height = h;
  if (codecOut) *codecOut = videoCodec;
  const double span = last - first;
  const int rate = frames > 1 && span > 0 ? static_cast<int>(std::lround((frames - 1) / span)) : 0;
  *frameRate = rate > 0 ? rate : 30;
  return true;
}
