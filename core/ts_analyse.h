#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/buffer.h"
#include "core/playback_files.h"
#include "core/playback_state.h"
#include "core/ts_demux.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "platform/event.h"
#include "platform/message_target.h"

class TelemetryMailbox;
class CFindFilePath;

// Where the reader's output and messages go.
struct ReaderLinks {
  const PlaybackState* state = nullptr;   // speed code and audio flag, read per frame
  platform::MessageTarget* panel = nullptr;      // WM_TS_PROGRESS
  platform::MessageTarget* mainWindow = nullptr; // WM_TS_TELEMETRY, WM_TS_FILECHANGE
  TelemetryMailbox* mailbox = nullptr;
  PlaybackFiles* files = nullptr;         // serials of the recordings read; jumps (the reader's own when null)
  // The recording list: after (before) a recording without a number come the
  // next (previous) entries of this list. Null: such a recording has no neighbours.
  const CFindFilePath* list = nullptr;
};

// Seek request values besides byte positions.
constexpr int64_t kSeekNone = -1;
constexpr int64_t kSeekPrevFile = -1001;
constexpr int64_t kSeekNextFile = -1002;

// The reader: reads one recording at a time forward or backward in blocks,
// learns the stream PIDs from the program tables, reassembles the PES packets
// and queues video and audio frames and posts telemetry texts. At the end (or
// start, in reverse) of a recording it goes on with the neighbouring number.
class CTSAnalyse {
public:
  explicit CTSAnalyse(const ReaderLinks& links);
  virtual ~CTSAnalyse();
  CTSAnalyse(const CTSAnalyse&) = delete;
  CTSAnalyse& operator=(const CTSAnalyse&) = delete;

  void SetQueues(CVBuffer2* video, CABuffer2* audio) {
    videoQueue_ = video;
    audioQueue_ = audio;
  }

  // Starts reading path on the reader thread.
  virtual bool Start(const std::string& path);
  // Stops the thread (waiting without limit), closes the file, frees the buffers.
  virtual void Stop();

  // 1..1000: a position in permille; -1001 previous recording; -1002 next;
  // 0 and other values are stored and never acted on. Returns a.
  int Seek(int a);
  // 0 forward, 1 reverse. -1 while the stream layout is unknown.
  int SetDirection(int direction);
  // Switches to another recording at the start of the next pass.
  int SetPendingFile(const std::string& path);
  std::string GetCurFile() const;
  int64_t CurrentPosition() const { return position_.load(std::memory_order_relaxed); }
  int64_t FileSize() const { return fileSize_.load(std::memory_order_relaxed); }
  int Direction() const { return direction_.load(std::memory_order_relaxed); }
  bool StreamsKnown() const { return streamsKnown_.load(std::memory_order_acquire); }
  int NominalFrameRate() const { return nominalRate_.load(std::memory_order_relaxed); }
  // What keeps the open recording from playing whole (RecordingFault bits).
  int Faults() const { return faults_.load(std::memory_order_acquire); }
  // How often the reader has found nothing to read (the end, or the start in
  // reverse, of the last recording) and waited. Once it has grown by two since
  // a request was made, a whole pass began after the request: it was taken.
  int IdleWaits() const { return idleWaits_.load(std::memory_order_acquire); }

protected:
  virtual bool OpenFile(int direction);
  virtual void CloseFile();
  virtual int Run();
  // The parts of Run: setting up the buffers and the queues' write positions,
  // and one pass of the loop. A test may drive them on its own thread.
  void BeginReading();
  void OnePass();

  std::atomic<bool> running_{false};

private:
  void ReadForwardBlock();
  void ReadBackwardBlock();
  void Idle();
  bool HandlePacket(const uint8_t* packet);
  bool HandleReversePacket(const uint8_t* packet);
  // Cuts the video PES in the buffer; true when it was a key frame.
  bool CutVideo(const uint8_t* pes, size_t len, bool keyOnly, int64_t filePos, int file);
  void TakeJump();
  int StoreSeek(int a);
  void CutAudio(const uint8_t* pes, size_t len);
  void CutTelemetry(const uint8_t* pes, size_t len);
  void Flush();
  void Drop();
  void Restarted(); // clears the telemetry flag and tells the main window
  bool SwitchTo(const std::string& path);
  std::string NeighbourOf(const std::string& path, int delta) const;
  bool PrevFile();
  bool NextFile();
  void SetCurrentPath(const std::string& path);
  int ProgressPermille() const;
  // Makes room in the video queue for a frame larger than its largest frame;
  // waits while the ring cannot grow yet. False when the frame cannot be queued.
  bool GrowVideoQueue(size_t size);
  void MeasureRate(const PesHeader& h);
  void TablesMaybeLearnt();
  void SetFault(int fault, bool on);
  bool DirectionRequested() const { return directionRequest_.load(std::memory_order_acquire); }

  ReaderLinks links_;
  PlaybackFiles ownFiles_;
  CVBuffer2* videoQueue_ = nullptr;
  CABuffer2* audioQueue_ = nullptr;

  std::thread thread_;
  platform::AutoResetEvent wake_; // cuts the idle wait at the end of the last recording

  // Requests from the user interface, taken at the start of a pass.
  bool audioToKeyFrame_ = false; // reader thread: drop sound until the video resumes after a seek
  std::atomic<int64_t> seekRequest_{kSeekNone};
  std::mutex pendingMutex_;
  std::string pendingPath_;
  std::atomic<bool> hasPending_{false};
  std::atomic<int> requestedDirection_{0};
  std::atomic<bool> directionRequest_{false};
  std::atomic<int> framesToSkip_{0};

  // Reader state, shared for reading.
  std::atomic<bool> streamsKnown_{false};
  std::atomic<int> direction_{0};
  std::atomic<int64_t> position_{0};
  std::atomic<int64_t> fileSize_{0};
  std::atomic<int> nominalRate_{30};
  std::atomic<int> faults_{0};
  std::atomic<int> idleWaits_{0};
  mutable std::mutex pathMutex_;
  std::string currentPath_;
  int fileSerial_ = 0;       // of the current path; written before the thread starts, then by it
  uint32_t generation_ = 0;  // flushes so far (reader thread)

  // Reader-thread state.
  TsFile file_;
  std::unique_ptr<TsDemux> demux_; // program tables and PES buffers, from thread start to Stop
  size_t reverseCount_ = 0;        // reverse: video bytes at the end of the demuxer's video buffer
  bool reverseTailSeen_ = false;   // reverse: a PES start has been met since the last drop
  int64_t videoPesPos_ = -1;       // forward: where the video PES being assembled began
  int videoPesFile_ = 0;
  FrameDesc videoDesc_, audioDesc_;
  bool rateMeasured_ = false;
  int rateCounter_ = -1;
  int rateSpan_ = 30;
  double firstPts_ = 0, lastPts_ = 0;
  int tablesSeen_ = 0;   // the demultiplexer's TablesLearnt() last taken
  int videoCodec_ = 0;   // of the open recording's video
  bool rewind_ = false;  // read the recording again from its start
};
