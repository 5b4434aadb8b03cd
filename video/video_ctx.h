#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/decode_links.h"
#include "core/frame_desc.h"
#include "core/group_reader.h"
#include "core/my_thread.h"
#include "video/av_decoder.h"
#include "video/presenter.h"

// The video thread of a channel: takes H.264 access units from the channel's
// video queue, decodes them, waits on the pacing clock until each picture is due
// (the frame's rate times the speed factor) and presents it in the channel's
// window. It also implements the playback modes of the speed code and the pause
// flag: fast forward (higher rate; codes 3 to 6 decode only the first part of each
// group of pictures), slow motion, the hold after a step or while paused (with
// the audio thread held too), and reverse play (key frames decoded into stored
// pictures that are shown one group late, last first). Between frames it takes
// the snapshots the channel asks for.
class CVideoCtx : public CMyThread {
public:
  explicit CVideoCtx(const VideoLinks& links);
  ~CVideoCtx() override;
  // Opens the decoder and starts the thread.
  bool Start() override;
  // Ends the thread (cutting a pacing wait short) and turns the window black.
  bool Stop(int64_t timeoutMs) override;

  // Stored pictures of reverse play: those waiting in the current and the previous
  // group, and those free for reuse. Any thread.
  int HeldPictures() const { return heldPictures_.load(std::memory_order_relaxed); }
  int FreePictures() const { return freeCount_.load(std::memory_order_relaxed); }
  // Pictures and bytes kept for exact steps now, and the most bytes ever kept. Any thread.
  int CachedPictures() const { return cachedPictures_.load(std::memory_order_relaxed); }
  int64_t PeakCachedBytes() const { return peakCachedBytes_.load(std::memory_order_relaxed); }
  // Groups decoded for exact steps so far.
  int GroupsDecoded() const { return groupsDecoded_.load(std::memory_order_relaxed); }

protected:
  int Run() override;

private:
  // Which picture: the recording (a PlaybackFiles serial), the byte offset of its
  // access unit and its time stamp (90 kHz).
  struct PictureId {
    int file = 0;
    int64_t pos = -1;
    int64_t pts = -1;
    bool Valid() const { return file > 0 && pos >= 0 && pts >= 0; }
  };
  // A decoded picture kept for reverse play: the frame it came from and a copy of
  // its planes (packed 4:2:0 buffer).
  struct StoredPicture {
    FrameDesc frame;
    std::unique_ptr<uint8_t[]> buffer;
    PictureColour colour;
    PictureId id;
  };

  // The same with the recording's path, for exact steps.
  struct Place {
    std::string path;
    int64_t pos = -1;
    int64_t pts = -1;
  };
  // A decoded picture of the group being stepped through: a reference to the
  // decoder's own picture, not a copy.
  struct FrameFree {
    void operator()(AVFrame* f) const;
  };
  struct CachedPicture {
    int64_t pts = -1;
    std::unique_ptr<AVFrame, FrameFree> frame;
    int64_t bytes = 0;
  };

  bool InitVideo();
  static PictureId IdOf(const AVFrame* picture);
  bool TakeFromQueue(const FrameDesc& frame);
  void ChooseThreads(const FrameDesc& frame, bool restart);
  void ShowHeldBack(FrameDesc last);
  static constexpr int kIdlePollsBeforeDrain = 50; // 500 ms without a frame
  // Pictures larger than full HD are decoded by several threads in play.
  static constexpr int64_t kThreadedArea = 1920 * 1088;
  // Groups of pictures this large are decoded by several threads for exact steps.
  static constexpr int64_t kStepThreadedArea = 1280 * 720;
  void TakeExactSteps();
  bool StepOnce(int direction);
  bool LoadGroup(const std::string& path, const PictureGroup& group);
  bool DecodeGroup(int64_t target, int direction);
  bool PresentCached(int64_t pts);
  void LeaveExactMode();
  void DropCache();
  bool DecodeFrame(const FrameDesc& frame);
  bool PrepareFrame(FrameDesc& frame);
  bool PresentFrame();
  void ServiceDisplay();
  bool HoldAfterFrame();
  std::unique_ptr<uint8_t[]> TakePictureBuffer();
  void ReturnStoredPictures();
  void ReleasePictureBuffers();
  void SaveSnapshot(const std::string& fileName);
  void CountPictures();
  void PointAtStored(const StoredPicture& p);

  VideoLinks links_;
  bool gotFrame_ = false;
  bool framePending_ = false;
  uint32_t backgroundColour_ = CD3DPresenter::kBlack;
  std::vector<StoredPicture> freePictures_;
  std::vector<StoredPicture> gopPictures_;
  std::vector<StoredPicture> showPictures_;
  CD3DPresenter presenter_;
  AvDecoder decoder_;
  // The picture to present next and its colour.
  const uint8_t* picturePlanes_[4] = {};
  int pictureStrides_[4] = {};
  PictureColour pictureColour_;
  // Size of the stored-picture buffers in freePictures_.
  int storedWidth_ = 0;
  int storedHeight_ = 0;
  std::atomic<int> heldPictures_{0};
  std::atomic<int> freeCount_{0};

  // The stream the frames come from: a new generation flushes the decoder.
  uint32_t generation_ = 0;
  int unitsInDecoder_ = 0; // units sent since the decoder last started afresh
  int idlePolls_ = 0;
  // The next picture starts the pacing afresh (a new stream, or after a pause or
  // an empty queue): shown at once, the ones after paced from it.
  bool restartClock_ = true;
  bool needKey_ = false;   // after showing what was held back: wait for a key frame
  PictureId decoded_; // the picture prepared for presenting
  PictureId shown_;   // the picture on screen

  // Exact steps: the picture on screen, the group it belongs to with the decoded
  // pictures kept of it (bounded in bytes), and a decoder of its own (one thread,
  // one picture out for each unit in).
  bool exactMode_ = false;
  Place exact_;
  std::string groupPath_;
  PictureGroup group_;
  std::vector<int64_t> groupPts_; // every time stamp of the group, ascending
  std::deque<CachedPicture> cache_; // ascending time stamps
  int64_t cacheBytes_ = 0;
  AvDecoder stepDecoder_;
  uint32_t movesAtStep_ = 0;
  std::atomic<int> cachedPictures_{0};
  std::atomic<int64_t> peakCachedBytes_{0};
  std::atomic<int> groupsDecoded_{0};

  // After exact steps: the reader reads on from the group on screen; its frames
  // until the jump are dropped, and the pictures up to the one on screen are
  // decoded but not shown.
  bool awaitingJump_ = false;
  uint32_t jumpTicket_ = 0;
  bool resuming_ = false;
  uint32_t resumeGeneration_ = 0;
  std::string resumePath_;
  int64_t resumeAfterPts_ = -1;
};
