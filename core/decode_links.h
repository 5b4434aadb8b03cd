#pragma once
// What the decode threads of a channel use, handed to them by the channel (or
// by a test) as the reader gets its ReaderLinks. Every pointer is set and
// outlives the thread.
#include <atomic>
#include <memory>

#include "core/buffer.h"
#include "core/fps_ctrl.h"
#include "core/my_thread.h"
#include "core/playback_state.h"
#include "core/snapshot_request.h"

class VideoTarget;

struct VideoLinks {
  PlaybackState* state = nullptr;   // speed code, pause, picture size, counters, audio hold
  CFpsCtrl* clock = nullptr;        // the pacing clock
  CVBuffer2* queue = nullptr;       // the frames to decode
  const std::atomic<VideoTarget*>* window = nullptr; // where pictures go (may hold null)
  SnapshotRequests* snapshots = nullptr;
  // The display mode, 0 YV12, 1 RGB: read for every frame; the thread turns it to
  // RGB when the window cannot take 4:2:0.
  std::atomic<int>* displayMode = nullptr;
};

struct AudioLinks {
  PlaybackState* state = nullptr;   // audio flag, audio hold
  CABuffer2* queue = nullptr;       // the frames to decode
  // The sound amplification, 1..10 (100 % .. 1000 %): read for every frame.
  const std::atomic<int>* amplification = nullptr;
};

// The decode threads, built by the video and the audio library.
std::unique_ptr<CMyThread> MakeVideoThread(const VideoLinks& links);
std::unique_ptr<CMyThread> MakeAudioThread(const AudioLinks& links);
