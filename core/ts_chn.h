#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/buffer.h"
#include "core/decode_links.h"
#include "core/find_file_path.h"
#include "core/fps_ctrl.h"
#include "core/mark_point.h"
#include "core/playback_state.h"
#include "core/snapshot_request.h"
#include "core/ts_analyse.h"
#include "platform/message_target.h"

class VideoTarget;
class TelemetryMailbox;

// The windows a channel reports to and the settings its threads read.
struct ChannelLinks {
  platform::MessageTarget* panel = nullptr;      // progress; list scan start and end
  platform::MessageTarget* mainWindow = nullptr; // telemetry; reader restarts
  TelemetryMailbox* mailbox = nullptr;           // the application's mailbox when null
  // The display mode (0 YV12, 1 RGB) and the sound amplification (1..10), read
  // by the threads for every frame; the channel's own (YV12, 100 %) when null.
  std::atomic<int>* displayMode = nullptr;
  const std::atomic<int>* amplification = nullptr;
  // Bytes of decoded pictures kept for exact steps; 0: the default (256 MiB).
  int64_t stepCacheBytes = 0;
};

// One opened recording (a file, or a card's list of recordings) with
// everything that plays it: pacing clock, queues, decode threads, recording
// list and reader. All operations run on the user-interface thread.
class CTSChn {
public:
  static constexpr int kVideoSlots = 30;
  static constexpr int kAudioSlots = 15;
  static constexpr int32_t kVideoRing = 2 * 1024 * 1024;
  static constexpr uint32_t kVideoLargest = 512 * 1024;
  // The video ring grows for larger frames (high bit rate key frames), up to this.
  static constexpr uint32_t kVideoLargestLimit = 8 * 1024 * 1024;
  static constexpr int32_t kAudioRing = 128 * 1024;
  static constexpr uint32_t kAudioLargest = 16 * 1024;

  explicit CTSChn(const ChannelLinks& links = {});
  virtual ~CTSChn();
  CTSChn(const CTSChn&) = delete;
  CTSChn& operator=(const CTSChn&) = delete;

  void Open(VideoTarget* window, const std::string& path);
  // Starts the threads and the reader; with a list, the list is the channel's
  // recording list, otherwise the file's folder is scanned in the background.
  bool Start(const std::vector<RecordingEntry>* list = nullptr);
  // Stops the reader (without limit) and the decode threads (10 s each).
  // Returns false when a decode thread had to be waited out.
  bool Stop();

  int Seek(int a);
  int SetDirection(int direction);
  void SetPause(int pause) { state.pause = pause; }
  int Pause() const { return state.pause; }
  void SetSpeed(int code) { state.speedCode = code; }
  int Speed() const { return state.speedCode; }
  void EnableAudio(bool on) { state.audio = on; }
  // Shows exactly the picture before (after) the one on screen, whatever the
  // group structure, across recordings, and holds there as a step does (speed
  // code 0, sound held). Play, a step or reverse play go on from that picture.
  void StepBack() { ExactStep(-1); }
  void StepForward() { ExactStep(1); }
  // Plays the recording that covers local time t; 1 when the reader switches.
  int PlayAtTime(int64_t t);
  std::string GetCurFile() const;
  // What keeps the playing recording from playing whole (RecordingFault bits).
  int Faults() const { return reader_->Faults(); }

  // Marks the reader's recording and position; Mark In clears Mark Out's
  // number and position (not its path).
  void MarkIn();
  void MarkOut();
  MarkPoint MarkInPoint() const;
  MarkPoint MarkOutPoint() const;

  void Snapshot(const std::string& pathTemplate, int count);
  // The request as a unit (the video thread takes pictures from it).
  SnapshotRequest SnapshotState() const;

  // Takes the shown-frame counter (zeroing it) as the frames per second.
  void TakeFrameCount();
  int FramesPerSecond() const { return fps_; }

  VideoTarget* VideoWindow() const { return videoWindow_.load(); }
  CFpsCtrl& FpsCtrl() { return *fpsCtrl_; }
  CVBuffer2& VideoQueue() { return *videoQueue_; }
  CABuffer2& AudioQueue() { return *audioQueue_; }
  CMyThread& VideoThread() { return *videoThread_; }
  CMyThread& AudioThread() { return *audioThread_; }
  CFindFilePath& RecordingList() { return *list_; }
  CTSAnalyse& Reader() { return *reader_; }
  const ChannelLinks& Links() const { return links_; }

  PlaybackState state;

private:
  void ExactStep(int direction);

  ChannelLinks links_;
  PlaybackFiles files_;
  std::atomic<VideoTarget*> videoWindow_{nullptr};
  std::string path_;
  int fps_ = 0;

  mutable std::mutex markMutex_; // the export job reads the marks from its thread
  MarkPoint markIn_, markOut_;

  SnapshotRequests snapshots_;
  std::atomic<int> ownDisplayMode_{0};
  std::atomic<int> ownAmplification_{1};

  // Built in this order, destroyed in the reverse order.
  std::unique_ptr<CFpsCtrl> fpsCtrl_;
  std::unique_ptr<CVBuffer2> videoQueue_;
  std::unique_ptr<CMyThread> videoThread_;
  std::unique_ptr<CABuffer2> audioQueue_;
  std::unique_ptr<CMyThread> audioThread_;
  std::unique_ptr<CFindFilePath> list_;
  std::unique_ptr<CTSAnalyse> reader_;
};
