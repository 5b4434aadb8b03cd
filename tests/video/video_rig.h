#pragma once
// A video thread fed by the test: frames cut from recordings with libavformat are
// pushed into the thread's video queue as the reader would queue them, and every
// picture the thread shows is recorded with the frame number read back from it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/decode_links.h"
#include "platform/image_file.h"
#include "tests/support/test_support.h"
#include "video/video_picture.h"
#include "video/video_ctx.h"
#include "video/video_target.h"

namespace videotest {

// A manual clock whose sleeps and waits also take a millisecond of real time, so
// that an idle thread does not spin while the test waits for it.
class YieldingClock : public testsupport::ManualClock {
public:
  void SleepMs(int64_t ms) override;
  bool WaitFor(platform::AutoResetEvent& event, int64_t ms) override;
};

// One access unit of a recording.
struct Packet {
  std::vector<uint8_t> bytes;
  bool key = false;
  int codec = 0; // kCodecH264, kCodecH265
};
// The video access units of a file, in file order.
std::vector<Packet> ReadVideoPackets(const std::string& path);

// The first picture of an image file (BMP, JPEG) as 32-bit RGB, read with
// FFmpeg; empty when it cannot be read.
platform::PixelImage ReadImageFile(const std::string& path);

// The frame number drawn into a picture by the sample tool; -1 when none.
int FrameNumberOf(const VideoPicture& picture);

// A picture as the window got it.
struct Shown {
  uint64_t serial = 0;
  int width = 0, height = 0;
  PictureFormat format = PictureFormat::kBgra32;
  int number = -1;
};

// A window that records what it is shown and hands it on to another window.
class Tap : public VideoTarget {
public:
  explicit Tap(VideoTarget& inner) : inner_(inner) {}
  int ScreenDepth() const override { return inner_.ScreenDepth(); }
  bool CanShowYuv() const override { return inner_.CanShowYuv(); }
  bool Show(std::shared_ptr<const VideoPicture> picture) override;

  // Every decoded picture shown, once each, in order (shows of black and repeated
  // shows of one picture are left out).
  std::vector<Shown> Pictures();
  std::vector<int> Numbers();
  // The picture shown last (null: black).
  std::shared_ptr<const VideoPicture> Last();
  // Every show so far, repeated shows of one picture included.
  int Shows() const { return shows_.load(); }
  // Waits until pred(pictures) holds (at most timeoutMs of real time).
  bool WaitUntil(const std::function<bool(const std::vector<Shown>&)>& pred, int timeoutMs = 10000);
  bool WaitForCount(size_t n, int timeoutMs = 10000) {
    return WaitUntil([n](const std::vector<Shown>& p) { return p.size() >= n; }, timeoutMs);
  }

private:
  VideoTarget& inner_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Shown> pictures_;
  std::shared_ptr<const VideoPicture> last_;
  std::atomic<int> shows_{0};
};

// A video thread that takes the frames the test pushes, with the queue, clock,
// playback state and snapshot request a channel would give it.
class VideoRig {
public:
  explicit VideoRig(VideoTarget& window, int displayMode = 1);
  ~VideoRig();

  bool Start() { return video.Start(); }
  // Queues one access unit as the reader would (blocks while the queue is full).
  void Push(const Packet& p, int fps = 30, int speed = 1);
  void Push(const std::vector<uint8_t>& bytes, int type, int fps = 30, int speed = 1);
  // Waits (real time) until the thread has taken every queued frame.
  bool WaitUntilDrained(int timeoutMs = 10000);

  Tap tap;
  PlaybackState state;
  CFpsCtrl clock{30};
  CVBuffer2 queue{30};
  std::atomic<VideoTarget*> window{&tap};
  SnapshotRequests snapshots;
  std::atomic<int> displayMode;
  CVideoCtx video{VideoLinks{&state, &clock, &queue, &window, &snapshots, &displayMode}};

private:
  FrameDesc desc_;
};

// Polls pred every millisecond for at most timeoutMs of real time.
bool Eventually(const std::function<bool()>& pred, int timeoutMs = 10000);

} // namespace videotest
