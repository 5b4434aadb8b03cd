#include "audio/audio_ctx.h"

#include "core/ts_chn.h"
#include "platform/clock.h"

CAudioCtx::CAudioCtx(CTSChn& channel) : channel_(channel) {}

CAudioCtx::~CAudioCtx() {
  Stop(10000);
  Join();
}

int CAudioCtx::Run() {
  FrameDesc frame;
  while (running_.load(std::memory_order_relaxed)) {
    if (channel_.state.audioHold.load(std::memory_order_relaxed) || !channel_.AudioQueue().Pop(frame))
      platform::SleepMs(10);
  }
  return 0;
}
