#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/decode_links.h"
#include "core/frame_desc.h"
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

protected:
  int Run() override;

private:
  // A decoded picture kept for reverse play: the frame it came from and a copy of
  // its planes (packed 4:2:0 buffer).
  struct StoredPicture {
    FrameDesc frame;
    std::unique_ptr<uint8_t[]> buffer;
    PictureColour colour;
  };

  bool InitVideo();
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
};
