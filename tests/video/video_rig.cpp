#include "tests/video/video_rig.h"

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "platform/event.h"
#include "tools/sample_card/frame_code.h"

namespace videotest {

void YieldingClock::SleepMs(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ManualClock::SleepMs(ms);
}

bool YieldingClock::WaitFor(platform::AutoResetEvent& event, int64_t ms) {
  if (event.Wait(ms > 0 ? 1 : 0)) {
    event.Set(); // the manual clock takes it
  }
  return ManualClock::WaitFor(event, ms);
}

std::vector<Packet> ReadVideoPackets(const std::string& path) {
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) throw std::runtime_error("cannot open " + path);
  std::vector<Packet> out;
  if (avformat_find_stream_info(format, nullptr) >= 0) {
    const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket* packet = av_packet_alloc();
    const int codec =
        video >= 0 && format->streams[video]->codecpar->codec_id == AV_CODEC_ID_HEVC ? kCodecH265 : kCodecH264;
    while (video >= 0 && av_read_frame(format, packet) >= 0) {
      if (packet->stream_index == video)
        out.push_back({std::vector<uint8_t>(packet->data, packet->data + packet->size),
                       (packet->flags & AV_PKT_FLAG_KEY) != 0, codec});
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&format);
  return out;
}

platform::PixelImage ReadImageFile(const std::string& path) {
  platform::PixelImage image;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return image;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (avformat_find_stream_info(format, nullptr) >= 0 && format->nb_streams > 0) {
    const AVCodecParameters* par = format->streams[0]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    codec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    bool decoded = false;
    if (codec && avcodec_parameters_to_context(codec, par) >= 0 && avcodec_open2(codec, decoder, nullptr) >= 0) {
      while (!decoded && av_read_frame(format, packet) >= 0) {
        if (avcodec_send_packet(codec, packet) >= 0) decoded = avcodec_receive_frame(codec, frame) >= 0;
        av_packet_unref(packet);
      }
    }
    if (decoded) {
      image.width = frame->width;
      image.height = frame->height;
      image.stride = 4 * frame->width;
      image.bytes.resize(static_cast<size_t>(image.stride) * static_cast<size_t>(frame->height));
      SwsContext* sws = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                       frame->width, frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr,
                                       nullptr);
      uint8_t* dst[1] = {image.bytes.data()};
      const int dstStride[1] = {image.stride};
      if (!sws || sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride) != frame->height)
        image = {};
      sws_freeContext(sws);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&codec);
  avformat_close_input(&format);
  return image;
}

int FrameNumberOf(const VideoPicture& p) {
  using samplegen::PixelLayout;
  const PixelLayout layout = p.format == PictureFormat::kYuv420  ? PixelLayout::kLuma8
                             : p.format == PictureFormat::kRgb565 ? PixelLayout::kRgb565
                                                                  : PixelLayout::kBgra32;
  return samplegen::DecodeFrameNumber(p.planes[0], p.width, p.height, p.strides[0], layout);
}

bool Tap::Show(std::shared_ptr<const VideoPicture> picture) {
  {
    std::lock_guard lock(mutex_);
    if (picture && !picture->blank && (pictures_.empty() || pictures_.back().serial != picture->serial))
      pictures_.push_back({picture->serial, picture->width, picture->height, picture->format, FrameNumberOf(*picture)});
    last_ = picture;
  }
  ++shows_;
  cv_.notify_all();
  return inner_.Show(std::move(picture));
}

std::vector<Shown> Tap::Pictures() {
  std::lock_guard lock(mutex_);
  return pictures_;
}

std::vector<int> Tap::Numbers() {
  std::vector<int> numbers;
  for (const auto& p : Pictures()) numbers.push_back(p.number);
  return numbers;
}

std::shared_ptr<const VideoPicture> Tap::Last() {
  std::lock_guard lock(mutex_);
  return last_;
}

bool Tap::WaitUntil(const std::function<bool(const std::vector<Shown>&)>& pred, int timeoutMs) {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pred(pictures_); });
}

VideoRig::VideoRig(VideoTarget& target, int mode) : tap(target), displayMode(mode) {
  state.audio = false;
  // A channel's ring and largest frame.
  if (!queue.Init(2 * 1024 * 1024, 512 * 1024, 1)) throw std::runtime_error("no queue");
  queue.SetGopState(CVBuffer2::kGopWaiting);
  queue.Flush(&desc_);
}

VideoRig::~VideoRig() {
  queue.Release();
  video.Stop(10000);
}

void VideoRig::Push(const std::vector<uint8_t>& bytes, int type, int fps, int speed) {
  if (bytes.size() > queue.LargestFrame()) throw std::runtime_error("frame too large");
  std::memcpy(desc_.pData, bytes.data(), bytes.size());
  desc_.nSize = static_cast<int32_t>(bytes.size());
  desc_.nType = type;
  desc_.nFps = fps;
  desc_.nSpeed = speed;
  queue.Push(desc_);
}

void VideoRig::Push(const Packet& p, int fps, int speed) {
  desc_.nCodec = p.codec;
  Push(p.bytes, p.key ? kFrameKey : kFrameOther, fps, speed);
}

bool VideoRig::WaitUntilDrained(int timeoutMs) {
  return Eventually(
      [&] {
        std::lock_guard lock(queue);
        return queue.Count() <= 1;
      },
      timeoutMs);
}

bool Eventually(const std::function<bool()>& pred, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; ++waited) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return pred();
}

} // namespace videotest
