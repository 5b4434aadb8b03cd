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
  int32_t nCodec = kCodecH264; // video frames: the codec to decode them with
};
