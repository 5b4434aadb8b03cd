#include "tools/sample_card/card_writer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "tools/sample_card/nmea.h"
#include "tools/sample_card/route.h"
#include "tools/sample_card/sample_constants.h"
#include "tools/sample_card/scene.h"
#include "tools/sample_card/ts_mux.h"

namespace samplegen {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct CodecDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
  void operator()(AVFrame* f) const { av_frame_free(&f); }
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, CodecDeleter>;

std::string AvError(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

struct FileCloser {
  void operator()(FILE* f) const { if (f) std::fclose(f); }
};

// An encoded access unit with every NAL unit behind a 4-byte start code, as the
// camera writes them (the player only recognises 00 00 00 01).
std::vector<uint8_t> WithLongStartCodes(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size + 16);
  // Positions of the NAL payloads: after each 00 00 01.
  std::vector<std::pair<size_t, size_t>> nals; // begin, end
  size_t i = 0, begin = SIZE_MAX;
  while (i + 2 < size) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      if (begin != SIZE_MAX) nals.push_back({begin, i});
      begin = i + 3;
      i += 3;
    } else {
      ++i;
    }
  }
  if (begin != SIZE_MAX) nals.push_back({begin, size});
  for (auto [b, e] : nals) {
    while (e > b && data[e - 1] == 0) --e; // zero bytes belong to the next start code
    if (e <= b) continue;
    static const uint8_t kStart[4] = {0, 0, 0, 1};
    out.insert(out.end(), kStart, kStart + 4);
    out.insert(out.end(), data + b, data + e);
  }
  return out;
}

// The sound of one recording, encoded on demand, one ADTS frame per packet.
class AudioSource {
public:
  bool Open(int64_t firstSample, int64_t samples, std::string* error) {
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (!codec) return Fail(error, "libavcodec has no \"aac\" encoder");
    ctx_.reset(avcodec_alloc_context3(codec));
    ctx_->sample_rate = kAudioSampleRate;
    ctx_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    ctx_->bit_rate = kAudioBitRate;
    ctx_->profile = FF_PROFILE_AAC_LOW;
    ctx_->time_base = {1, kAudioSampleRate};
    ctx_->flags |= AV_CODEC_FLAG_BITEXACT;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    av_channel_layout_copy(&ctx_->ch_layout, &mono);
    int rc = avcodec_open2(ctx_.get(), codec, nullptr);
    if (rc < 0) return Fail(error, "cannot open the AAC encoder: " + AvError(rc));
    frame_.reset(av_frame_alloc());
    pkt_.reset(av_packet_alloc());
    next_ = firstSample;
    end_ = firstSample + samples;
    return true;
  }

  // The time stamp (90 kHz, from 0) of the next ADTS frame; false when there is none.
  bool Peek(int64_t* ts) {
    while (ready_.empty() && !done_) Feed();
    if (ready_.empty()) return false;
    *ts = popped_ * kAudioFrameTicks;
    return true;
  }

  std::vector<uint8_t> Pop() {
    std::vector<uint8_t> f = std::move(ready_.front());
    ready_.pop_front();
    ++popped_;
    return f;
  }

  const std::string& Error() const { return error_; }

private:
  static bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
  }

  void Feed() {
    int rc;
    if (next_ < end_) {
      int n = static_cast<int>(std::min<int64_t>(kAudioFrameSamples, end_ - next_));
      av_frame_unref(frame_.get());
      frame_->nb_samples = n;
      frame_->format = AV_SAMPLE_FMT_FLTP;
      av_channel_layout_copy(&frame_->ch_layout, &ctx_->ch_layout);
      frame_->sample_rate = kAudioSampleRate;
      if (av_frame_get_buffer(frame_.get(), 0) < 0) { Stop("out of memory"); return; }
      auto* samples = reinterpret_cast<float*>(frame_->data[0]);
      const double amplitude = std::pow(10.0, kToneDbfs / 20.0);
      for (int i = 0; i < n; ++i) {
        // The phase is taken modulo the tone's period in samples (exact for 1000 Hz at 48000 Hz).
        int64_t s = next_ + i;
        double phase = 2 * kPi * kToneHz * static_cast<double>(s % kAudioSampleRate) / kAudioSampleRate;
        samples[i] = static_cast<float>(amplitude * std::sin(phase));
      }
      frame_->pts = next_;
      next_ += n;
      rc = avcodec_send_frame(ctx_.get(), frame_.get());
    } else {
      rc = avcodec_send_frame(ctx_.get(), nullptr);
    }
    if (rc < 0 && rc != AVERROR_EOF) { Stop("AAC encoding failed: " + AvError(rc)); return; }
    for (;;) {
      rc = avcodec_receive_packet(ctx_.get(), pkt_.get());
      if (rc == AVERROR(EAGAIN)) return;
      if (rc == AVERROR_EOF) { done_ = true; return; }
      if (rc < 0) { Stop("AAC encoding failed: " + AvError(rc)); return; }
      ready_.push_back(Adts(pkt_->data, static_cast<size_t>(pkt_->size)));
      av_packet_unref(pkt_.get());
    }
  }

  void Stop(const std::string& message) {
    error_ = message;
    done_ = true;
  }

  static std::vector<uint8_t> Adts(const uint8_t* data, size_t size) {
    const size_t length = size + 7;
    const int profile = 1;      // AAC LC (object type 2) - 1
    const int rateIndex = 3;    // 48000 Hz
    const int channels = kAudioChannels;
    std::vector<uint8_t> f(length);
    f[0] = 0xFF;
    f[1] = 0xF1; // MPEG-4, layer 0, no CRC
    f[2] = static_cast<uint8_t>((profile << 6) | (rateIndex << 2) | (channels >> 2));
    f[3] = static_cast<uint8_t>(((channels & 3) << 6) | (length >> 11));
    f[4] = static_cast<uint8_t>((length >> 3) & 0xFF);
    f[5] = static_cast<uint8_t>(((length & 7) << 5) | 0x1F);
    f[6] = 0xFC;
    std::memcpy(f.data() + 7, data, size);
    return f;
  }

  CodecPtr ctx_;
  FramePtr frame_;
  PacketPtr pkt_;
  int64_t next_ = 0, end_ = 0, popped_ = 0;
  bool done_ = false;
  std::deque<std::vector<uint8_t>> ready_;
  std::string error_;
};

// A video encoder of the library name, set up as a camera's: the size and
// rate of the card, key frames exactly every gop frames, B-frames when asked,
// one thread (the same arguments give the same bytes on every machine), the
// colours of standard-definition video and bit-exact output. Not opened yet.
CodecPtr AllocVideoEncoder(const CardOptions& o, const char* name, const AVCodec** codec, std::string* error) {
  *codec = avcodec_find_encoder_by_name(name);
  if (!*codec) {
    *error = std::string("libavcodec has no ") + name + " encoder (install " + name + " and an FFmpeg built with it)";
    return nullptr;
  }
  CodecPtr c(avcodec_alloc_context3(*codec));
  c->width = o.width;
  c->height = o.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = {1, o.fps};
  c->framerate = {o.fps, 1};
  c->gop_size = o.gop;
  c->keyint_min = o.gop;
  c->max_b_frames = o.bframes ? kBFrames : 0;
  c->thread_count = 1;
  c->color_range = AVCOL_RANGE_MPEG;
  c->colorspace = AVCOL_SPC_SMPTE170M;
  c->color_primaries = AVCOL_PRI_SMPTE170M;
  c->color_trc = AVCOL_TRC_SMPTE170M;
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  return c;
}

CodecPtr OpenEncoder(CodecPtr c, const AVCodec* codec, const char* what, std::string* error) {
  int rc = avcodec_open2(c.get(), codec, nullptr);
  if (rc < 0) {
    *error = std::string("cannot open the ") + what + " encoder: " + AvError(rc);
    return nullptr;
  }
  return c;
}

// H.265 through libx265, with the same key frames (IDR pictures every gop
// frames, parameter sets before each, delimiters) on one thread.
CodecPtr OpenH265Encoder(const CardOptions& o, std::string* error) {
  const AVCodec* codec = nullptr;
  CodecPtr c = AllocVideoEncoder(o, "libx265", &codec, error);
  if (!c) return nullptr;
  av_opt_set(c->priv_data, "preset", "ultrafast", 0);
  std::string params = "log-level=error:pools=none:frame-threads=1:wpp=0:scenecut=0:open-gop=0:aud=1:"
                       "repeat-headers=1:b-adapt=0:b-pyramid=0:keyint=" + std::to_string(o.gop) +
                       ":min-keyint=" + std::to_string(o.gop) + ":bframes=" + std::to_string(c->max_b_frames);
  if (o.bitrateKbps > 0) {
    c->bit_rate = int64_t{o.bitrateKbps} * 1000;
    params += ":vbv-maxrate=" + std::to_string(o.bitrateKbps) + ":vbv-bufsize=" + std::to_string(o.bitrateKbps / 2) +
              ":strict-cbr=1";
  } else {
    av_opt_set(c->priv_data, "crf", "28", 0);
  }
  av_opt_set(c->priv_data, "x265-params", params.c_str(), 0);
  return OpenEncoder(std::move(c), codec, "H.265", error);
}

CodecPtr OpenVideoEncoder(const CardOptions& o, std::string* error) {
  if (o.h265) return OpenH265Encoder(o, error);
  const AVCodec* codec = nullptr;
  CodecPtr c = AllocVideoEncoder(o, "libx264", &codec, error);
  if (!c) return nullptr;
  av_opt_set(c->priv_data, "preset", "veryfast", 0);
  // Key frames exactly every gop frames, each an IDR with SPS and PPS before it;
  // an access unit delimiter opens every access unit.
  std::string params = "scenecut=0:open-gop=0:aud=1:repeat-headers=1:b-pyramid=none:b-adapt=0:sliced-threads=0";
  if (o.bitrateKbps > 0) {
    // A constant bit rate, padded with filler data as a camera's encoder does.
    c->bit_rate = c->rc_max_rate = int64_t{o.bitrateKbps} * 1000;
    c->rc_min_rate = c->bit_rate;
    c->rc_buffer_size = static_cast<int>(c->bit_rate / 2);
    params += ":nal-hrd=cbr:filler=1";
  } else {
    av_opt_set(c->priv_data, "crf", "23", 0);
  }
  av_opt_set(c->priv_data, "x264-params", params.c_str(), 0);
  return OpenEncoder(std::move(c), codec, "H.264", error);
}

bool WriteRecording(const CardOptions& o, int index, const std::string& path, std::string* error) {
  const int64_t fileStart = o.start + static_cast<int64_t>(index) * o.seconds;
  const int64_t cardSecond0 = static_cast<int64_t>(index) * o.seconds;
  const int64_t frames = static_cast<int64_t>(o.seconds) * o.fps;
  const int64_t ticksPerFrame = kTsClock / o.fps;

  std::error_code ec;
  std::filesystem::remove(path, ec); // also a read-only one from an earlier run
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);
  bool writeFailed = false;
  TsMuxer mux({kPmtPid, kVideoPid, kAudioPid, kTelemetryPid, o.telemetry, o.bframes,
               o.h265 ? kVideoStreamTypeH265 : kVideoStreamType},
              [&](const uint8_t* p) {
    if (std::fwrite(p, 1, 188, file.get()) != 188) writeFailed = true;
  });

  CodecPtr video = OpenVideoEncoder(o, error);
  if (!video) return false;
  AudioSource audio;
  if (!audio.Open(cardSecond0 * kAudioSampleRate, static_cast<int64_t>(o.seconds) * kAudioSampleRate, error))
    return false;

  // Interleaving: everything is stamped from 0 in its own clock; with B-frames the
  // first DTS is negative, and all streams are shifted by the same amount so that it is 0.
  int64_t shift = -1;
  int nextTelemetry = o.telemetry ? 0 : o.seconds;
  auto emitBefore = [&](int64_t limit, bool all) {
    for (;;) {
      int64_t audioTs = 0;
      bool haveAudio = audio.Peek(&audioTs) && (all || audioTs < limit);
      int64_t dataTs = static_cast<int64_t>(nextTelemetry) * kTelemetryIntervalSeconds * kTsClock;
      bool haveData = nextTelemetry < o.seconds && (all || dataTs < limit);
      if (!haveAudio && !haveData) return;
      if (haveData && (!haveAudio || dataTs <= audioTs)) {
        int64_t cardSecond = cardSecond0 + nextTelemetry;
        std::string text = BuildTelemetryText(RouteAt(o.seed, static_cast<double>(cardSecond)),
                                              fileStart + nextTelemetry, cardSecond >= o.noFixSeconds);
        mux.WriteTelemetry(reinterpret_cast<const uint8_t*>(text.data()), text.size(), dataTs + shift);
        ++nextTelemetry;
      } else {
        std::vector<uint8_t> f = audio.Pop();
        mux.WriteAudio(f.data(), f.size(), audioTs + shift);
      }
    }
  };

  PacketPtr pkt(av_packet_alloc());
  int64_t videoPackets = 0;
  auto drain = [&]() -> bool {
    for (;;) {
      int rc = avcodec_receive_packet(video.get(), pkt.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) {
        *error = "video encoding failed: " + AvError(rc);
        return false;
      }
      int64_t dts = (pkt->dts == AV_NOPTS_VALUE ? pkt->pts : pkt->dts) * ticksPerFrame;
      int64_t pts = pkt->pts * ticksPerFrame;
      if (shift < 0) shift = dts < 0 ? -dts : 0;
      emitBefore(dts, false);
      std::vector<uint8_t> au = WithLongStartCodes(pkt->data, static_cast<size_t>(pkt->size));
      mux.WriteVideo(au.data(), au.size(), pts + shift, dts + shift, (pkt->flags & AV_PKT_FLAG_KEY) != 0);
      ++videoPackets;
      av_packet_unref(pkt.get());
    }
  };

  FramePtr frame(av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = o.width;
  frame->height = o.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) {
    *error = "out of memory";
    return false;
  }
  int64_t routeSecond = -1;
  RoutePoint where;
  for (int64_t i = 0; i < frames; ++i) {
    if (av_frame_make_writable(frame.get()) < 0) {
      *error = "out of memory";
      return false;
    }
    const int64_t second = i / o.fps;
    if (second != routeSecond) {
      routeSecond = second;
      where = RouteAt(o.seed, static_cast<double>(cardSecond0 + second));
    }
    SceneInfo info;
    info.cardFrame = cardSecond0 * o.fps + i;
    info.fileFrame = i;
    info.fileNumber = o.firstNumber + index;
    info.fps = o.fps;
    info.clock = fileStart + second;
    info.fix = cardSecond0 + second >= o.noFixSeconds;
    info.latitude = where.latitude;
    info.longitude = where.longitude;
    info.speedKmh = where.speedKnots * 1.852;
    YuvImage img{o.width, o.height, frame->data[0], frame->linesize[0], frame->data[1], frame->data[2],
                 frame->linesize[1]};
    DrawScene(img, info);
    frame->pts = i;
    int rc = avcodec_send_frame(video.get(), frame.get());
    if (rc < 0) {
      *error = "video encoding failed: " + AvError(rc);
      return false;
    }
    if (!drain()) return false;
  }
  avcodec_send_frame(video.get(), nullptr);
  if (!drain()) return false;
  if (shift < 0) shift = 0;
  emitBefore(0, true);
  if (!audio.Error().empty()) {
    *error = audio.Error();
    return false;
  }
  if (videoPackets != frames) {
    *error = "the video encoder gave " + std::to_string(videoPackets) + " frames instead of " + std::to_string(frames);
    return false;
  }
  if (std::fflush(file.get()) != 0 || writeFailed || std::ferror(file.get())) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  file.reset();

  // Last-write time: the end of the recording on the camera clock.
  const int64_t end = fileStart + o.seconds;
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(end);
  times[0].tv_nsec = 0;
  times[1] = times[0];
  bool readOnly = o.readOnly == index + 1;
  if (::chmod(path.c_str(), readOnly ? 0444 : 0644) != 0 || ::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
    *error = "cannot set the attributes of " + path + ": " + std::strerror(errno);
    return false;
  }
  if (!o.quiet) {
    std::printf("%s  %lld frames  %d s  %lld bytes%s\n", path.c_str(), static_cast<long long>(frames), o.seconds,
                static_cast<long long>(mux.PacketsWritten() * 188), readOnly ? "  read-only" : "");
    std::fflush(stdout);
  }
  return true;
}

} // namespace

std::string RecordingName(int64_t localStart, int number) {
  time_t t = static_cast<time_t>(localStart);
  struct tm tm {};
  localtime_r(&t, &tm);
  char name[64];
  std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d_%04d.ts", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec, number);
  return name;
}

bool WriteCard(const CardOptions& options, std::string* error) {
  CardOptions o = options;
  if (o.gop <= 0) o.gop = o.fps;
  av_log_set_level(AV_LOG_ERROR);
  const std::filesystem::path folder = std::filesystem::path(o.out) / "DCIM" / "100MEDIA";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    *error = "cannot create " + folder.string() + ": " + ec.message();
    return false;
  }
  for (int i = 0; i < o.files; ++i) {
    const int64_t fileStart = o.start + static_cast<int64_t>(i) * o.seconds;
    const std::string path = (folder / RecordingName(fileStart, o.firstNumber + i)).string();
    if (!WriteRecording(o, i, path, error)) return false;
  }
  return true;
}

} // namespace samplegen
