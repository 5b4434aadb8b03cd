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

// Polls until pred holds; false when it still does not after timeoutMs.
template <typename F>
bool Poll(int timeoutMs, F&& pred) {
  for (int waited = 0; waited < timeoutMs && !pred(); waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return pred();
}

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
  bool WaitVideo(size_t n, int timeoutMs = 30000) { return WaitFor([&] { return video_.size() >= n; }, timeoutMs); }
  bool WaitAudio(size_t n, int timeoutMs = 30000) { return WaitFor([&] { return audio_.size() >= n; }, timeoutMs); }
  // Waits until the reader has taken every request made so far and has
  // nothing left to read (a whole pass that began after this call found
  // nothing and waited), then until the consumer has taken and recorded every
  // frame it pushed. The reader idles at the end (start, in reverse) of the
  // last recording, so this is where reading has ended.
  bool WaitIdle(int timeoutMs = 30000) {
    const int start = reader.IdleWaits();
    return Poll(timeoutMs, [&] { return reader.IdleWaits() >= start + 2; }) && WaitDrained(timeoutMs);
  }
  // Waits until reverse reading has ended at the start of file (its first
  // block is never used, so the reader stops there) and the consumer has taken
  // every frame it pushed.
  bool WaitReverseEnd(const std::string& file, int timeoutMs = 30000) {
    return WaitIdle(timeoutMs) && reader.GetCurFile() == file && reader.CurrentPosition() == TsFile::kBlockSize;
  }
  // Waits until forward reading has read the last block of the last
  // recording and the consumer has taken its frames.
  bool WaitForwardEnd(int timeoutMs = 30000) {
    return WaitIdle(timeoutMs) && reader.FileSize() > 0 && reader.CurrentPosition() == reader.FileSize();
  }
  // Waits until the queues are empty: every frame popped has been recorded,
  // as the consumer pops and records under one lock.
  bool WaitDrained(int timeoutMs = 30000) {
    return Poll(timeoutMs, [&] {
      std::lock_guard lock(mutex_);
      return videoQueue.LockedCount() == 0 && audioQueue.LockedCount() == 0;
    });
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
  bool WaitFor(F&& pred, int timeoutMs) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
  }
  void Consume() {
    FrameDesc d;
    while (!done_) {
      bool any = false;
      if (!hold_) {
        // The restarts announced before the audio frame is taken.
        const size_t changes = mainWindow.Count(WM_TS_FILECHANGE);
        // Popped and recorded under the lock: a queue seen empty under it
        // holds no frame that is still on its way into the record.
        std::unique_lock lock(mutex_);
        const bool videoTaken = videoQueue.Pop(d);
        if (videoTaken) {
          any = true;
          video_.push_back({d.nType, d.nFps, d.nSpeed, d.dPts, d.nSize, d.nPosPermille, seq_++, d.nFilePos, d.nGeneration, d.nCodec});
        }
        if (audioQueue.Pop(d)) {
          any = true;
          const uint64_t hash = HashBytes(d.pData, static_cast<size_t>(d.nSize));
          audio_.push_back({d.nType, d.nFps, d.nSpeed, d.dPts, d.nSize, d.nPosPermille, seq_++, -1, 0, kCodecH264, hash, changes});
        }
        lock.unlock();
        if (videoTaken && paceMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(paceMs_));
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
// Calls fn(offset of its first packet, header, bytes, size) for each PES of
// one PID of a file, in file order.
template <typename F>
void ForEachPes(const std::string& bytes, int pid, F&& fn) {
  std::string pes;
  int64_t pesOffset = -1;
  auto cut = [&] {
    PesHeader h;
    auto data = reinterpret_cast<const uint8_t*>(pes.data());
    if (pesOffset >= 0 && ParsePesHeader(data, pes.size(), h)) fn(pesOffset, h, data, pes.size());
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
}
inline std::vector<VideoPes> ListVideoPes(const std::string& bytes, int pid = 0x1011) {
  std::vector<VideoPes> list;
  ForEachPes(bytes, pid, [&](int64_t offset, const PesHeader& h, const uint8_t* data, size_t size) {
    size_t start;
    list.push_back({offset, h.dts > 0.0001 ? h.dts : h.pts,
                    FindFrameKind(data + h.payloadOffset, size - h.payloadOffset, &start) == kFrameKey});
  });
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
