#pragma once
// A reader with its two queues and a consumer thread that takes every frame
// at once, recording what arrived.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/buffer.h"
#include "core/find_file_path.h"
#include "core/messages.h"
#include "core/telemetry_mailbox.h"
#include "core/ts_analyse.h"
#include "core/ts_chn.h"
#include "core/ts_file.h"
#include "tests/support/test_support.h"

struct Arrived {
  int type;
  int fps;
  int speed;
  double pts;
  int size;
  int permille;
  int seq; // order of arrival over both queues
  int64_t filePos = -1;
  uint32_t generation = 0;
  int codec = kCodecH264;
  uint64_t hash = 0;       // FNV-1a of the frame's bytes
  size_t fileChanges = 0;  // WM_TS_FILECHANGE messages posted before it was taken
};

inline uint64_t HashBytes(const uint8_t* data, size_t size) {
  uint64_t h = 14695981039346656037ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

class ReaderRig {
public:
  explicit ReaderRig(const CFindFilePath* list = nullptr) : reader(ReaderLinks{&state, &panel, &mainWindow, &mailbox, nullptr, list}) {
    videoQueue.SetGopState(CVBuffer2::kGopWaiting);
    EXPECT_TRUE(videoQueue.Init(CTSChn::kVideoRing, CTSChn::kVideoLargest, 1, CTSChn::kVideoLargestLimit));
    EXPECT_TRUE(audioQueue.Init(CTSChn::kAudioRing, CTSChn::kAudioLargest, 1));
    reader.SetQueues(&videoQueue, &audioQueue);
  }
  ~ReaderRig() { Stop(); }

  void Start(const std::string& path) {
    consumer_ = std::thread([this] { Consume(); });
    ASSERT_TRUE(reader.Start(path));
  }
  void Stop() {
    videoQueue.Release();
    audioQueue.Release();
    reader.Stop();
    done_ = true;
    if (consumer_.joinable()) consumer_.join();
  }

  // Waits until at least n video frames (or n audio frames) have arrived.
  bool WaitVideo(size_t n, int timeoutMs = 10000) { return WaitFor([&] { return video_.size() >= n; }, timeoutMs); }
  bool WaitAudio(size_t n, int timeoutMs = 10000) { return WaitFor([&] { return audio_.size() >= n; }, timeoutMs); }
  // Waits until reverse reading has ended at the start of file (its first
  // block is never used, so the reader stops there) and the consumer has taken
  // every frame it pushed.
  bool WaitReverseEnd(const std::string& file, int timeoutMs = 10000) {
    return Poll(timeoutMs, [&] {
      return reader.GetCurFile() == file && reader.CurrentPosition() == TsFile::kBlockSize &&
             videoQueue.LockedCount() == 0;
    });
  }
  // Waits until forward reading has read the last block of the current file,
  // then until its frames have been taken.
  bool WaitForwardEnd(int timeoutMs = 10000) {
    if (!Poll(timeoutMs, [&] { return reader.FileSize() > 0 && reader.CurrentPosition() == reader.FileSize(); }))
      return false;
    WaitQuiet();
    return true;
  }
  // Waits until nothing has arrived for quietMs.
  void WaitQuiet(int quietMs = 300) {
    size_t last = SIZE_MAX;
    for (;;) {
      size_t now;
      {
        std::lock_guard lock(mutex_);
        now = video_.size() + audio_.size();
      }
      if (now == last) return;
      last = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(quietMs));
    }
  }
  std::vector<Arrived> Video() {
    std::lock_guard lock(mutex_);
    return video_;
  }
  std::vector<Arrived> Audio() {
    std::lock_guard lock(mutex_);
    return audio_;
  }
  void Forget() {
    std::lock_guard lock(mutex_);
    video_.clear();
    audio_.clear();
  }
  // Stops taking frames (the queues fill and the reader blocks) or resumes.
  void Hold(bool on) { hold_ = on; }
  // Takes at most one video frame per ms milliseconds, so the reader stays ahead.
  void Pace(int ms) { paceMs_ = ms; }

  PlaybackState state;
  testsupport::MessageRecorder panel, mainWindow;
  TelemetryMailbox mailbox;
  CVBuffer2 videoQueue{CTSChn::kVideoSlots};
  CABuffer2 audioQueue{CTSChn::kAudioSlots};
  CTSAnalyse reader;

private:
  template <typename F>
  static bool Poll(int timeoutMs, F&& pred) {
    for (int waited = 0; waited < timeoutMs && !pred(); waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pred();
  }
  template <typename F>
  bool WaitFor(F&& pred, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
  }
  void Consume() {
    FrameDesc d;
    while (!done_) {
      bool any = false;
      if (!hold_) {
        if (videoQueue.Pop(d)) {
          any = true;
          std::lock_guard lock(mutex_);
          video_.push_back({d.nType, d.nFps, d.nSpeed, d.dPts, d.nSize, d.nPosPermille, seq_++, d.nFilePos, d.nGeneration, d.nCodec});
          if (paceMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(paceMs_));
        }
        const size_t changes = mainWindow.Count(WM_TS_FILECHANGE);
        if (audioQueue.Pop(d)) {
          any = true;
          const uint64_t hash = HashBytes(d.pData, static_cast<size_t>(d.nSize));
          std::lock_guard lock(mutex_);
          audio_.push_back({d.nType, d.nFps, d.nSpeed, d.dPts, d.nSize, d.nPosPermille, seq_++, -1, 0, kCodecH264, hash, changes});
        }
      }
      if (any) cv_.notify_all();
      else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Arrived> video_, audio_;
  std::thread consumer_;
  std::atomic<bool> done_{false};
  std::atomic<bool> hold_{false};
  std::atomic<int> paceMs_{0};
  int seq_ = 0;
};

// The video PES of a file as they start in it: byte offset of the packet, time stamp, key frame.
struct VideoPes {
  int64_t offset;
  double pts;
  bool key;
};
inline std::vector<VideoPes> ListVideoPes(const std::string& bytes, int pid = 0x1011) {
  std::vector<VideoPes> list;
  std::string pes;
  int64_t pesOffset = -1;
  auto cut = [&] {
    PesHeader h;
    size_t start;
    auto data = reinterpret_cast<const uint8_t*>(pes.data());
    if (pesOffset >= 0 && ParsePesHeader(data, pes.size(), h))
      list.push_back({pesOffset, h.dts > 0.0001 ? h.dts : h.pts,
                      FindFrameKind(data + h.payloadOffset, pes.size() - h.payloadOffset, &start) == kFrameKey});
    pes.clear();
  };
  for (size_t at = 0; at + 188 <= bytes.size(); at += 188) {
    auto p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    TsPacket t;
    if (p[0] != 0x47 || !ParseTsPacket(p, t) || t.pid != pid) continue;
    if (t.unitStart) {
      cut();
      pesOffset = static_cast<int64_t>(at);
    }
    pes.append(reinterpret_cast<const char*>(t.payload), static_cast<size_t>(t.payloadLength));
  }
  cut();
  return list;
}

// The packets of one stream of a file as ffprobe lists them: (dts, pts, key).
struct ProbedPacket {
  double dts;
  double pts;
  bool key;
};
inline std::vector<ProbedPacket> ProbePackets(const std::string& file, const char* stream) {
  std::string out;
  testsupport::Run(std::string("ffprobe -v error -select_streams ") + stream +
                       " -show_entries packet=pts_time,dts_time,flags -of csv=p=0 '" + file + "'",
                   &out);
  std::vector<ProbedPacket> packets;
  size_t pos = 0;
  while (pos < out.size()) {
    size_t nl = out.find('\n', pos);
    std::string line = out.substr(pos, nl - pos);
    pos = nl == std::string::npos ? out.size() : nl + 1;
    if (line.empty()) continue;
    ProbedPacket p{};
    char flags[16] = {};
    // ffprobe prints the fields in its own order: pts, dts, flags.
    if (std::sscanf(line.c_str(), "%lf,%lf,%15s", &p.pts, &p.dts, flags) >= 2) {
      p.key = flags[0] == 'K';
      packets.push_back(p);
    }
  }
  return packets;
}
