#pragma once
#include <cstdint>

// Frame kinds carried in FrameDesc::nType.
constexpr int kFrameNone = 0;
constexpr int kFrameKey = 17;   // H.264 key frame
constexpr int kFrameOther = 18; // any other H.264 frame
constexpr int kFrameAudio = 35; // AAC frames with ADTS headers

// Video codecs carried in FrameDesc::nCodec.
constexpr int kCodecH264 = 0;
constexpr int kCodecH265 = 1;

// The description of one queued frame. Copied by value into and out of the
// queues; pData points into the queue's ring (or, for a producer's working
// descriptor, at the position where the next frame is to be written).
struct FrameDesc {
  uint8_t* pData = nullptr;
  int32_t nSize = 0;
  int32_t nType = kFrameNone;
  int32_t nFps = 0;         // nominal frame rate to present the frame at
  int32_t nSpeed = 0;       // speed code when queued, negative in reverse play
  double dPts = 0.0;        // presentation time in seconds
  int32_t nPosPermille = 0; // reader position in the file when the frame was cut
  // Where the frame came from, for stepping to an exact picture: the byte offset
  // of its PES's first packet in its recording (-1 unknown), its presentation time
  // stamp in 90 kHz ticks (-1 none), the recording (a PlaybackFiles serial) and
  // the reader restarts (flushes) before it: a new generation is a new stream.
  int64_t nFilePos = -1;
  int64_t nPts = -1;
  int32_t nFile = 0;
  uint32_t nGeneration = 0;
  int32_t nCodec = kCodecH264; // video frames: the codec to decode them with
};
