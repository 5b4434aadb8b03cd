#pragma once
// The frames of an AVI export, fed packet by packet.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/aac_decoder.h"
#include "core/ts_demux.h"
#include "core/ts_format.h"
#include "export/avi_file.h"
#include "export/segment_plan.h"

// Takes the video and audio PES packets of the stretch into an AVI file: each
// video PES with a slice is one frame, from the start code that begins it; the
// audio is decoded to PCM. A PES counts when the read position at which it is
// cut (when the next PES of its stream begins) belongs to the stretch.
class AviFrames {
public:
  // The largest PES taken: video as the reader takes it (8 MiB), audio 1 MiB.
  static constexpr size_t kVideoCollection = TsDemux::kVideoPesCapacity;
  static constexpr size_t kAudioCollection = TsDemux::kPesCapacity;

  AviFrames(CAviFile& avi, AacDecoder& decoder, const SegmentPlan& plan, const StreamPids& pids)
      : avi_(avi), decoder_(decoder), plan_(plan), pids_(pids) {
    pcm_.reserve(48000);
  }

  // One transport packet, walked in file index of the plan with the read
  // position pos after the last block read.
  void Packet(const uint8_t* packet, size_t index, int64_t pos);

  // Mark Out has been passed.
  bool Finished() const { return finished_; }
  // A write failed (see the file's Error()).
  bool Failed() const { return failed_; }

private:
  struct Collection {
    explicit Collection(size_t size) : data(new uint8_t[size]), capacity(size) {}
    std::unique_ptr<uint8_t[]> data;
    size_t capacity;
    size_t count = 0;
    bool overflow = false;
    uint64_t startSeq = 0; // which packet of the two streams began it
  };
  struct Pending {
    uint64_t startSeq;
    std::vector<uint8_t> es;
  };

  void Cut(int which, size_t index, int64_t pos);

  void WriteAudio(const uint8_t* es, size_t size);

  CAviFile& avi_;
  AacDecoder& decoder_;
  const SegmentPlan& plan_;
  const StreamPids pids_;
  Collection collections_[2] = {Collection(kVideoCollection), Collection(kAudioCollection)};
  uint64_t seq_ = 0;
  bool pictureStarted_ = false;
  uint64_t pictureSeq_ = 0;
  std::vector<Pending> pending_;
  std::vector<int16_t> pcm_;
  bool finished_ = false;
  bool failed_ = false;
};
