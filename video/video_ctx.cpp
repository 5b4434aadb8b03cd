#include "video/video_ctx.h"

#include "core/ts_chn.h"
#include "platform/clock.h"

CVideoCtx::CVideoCtx(CTSChn& channel) : channel_(channel) {}

CVideoCtx::~CVideoCtx() {
  Stop(10000);
  Join();
}

bool CVideoCtx::Start() {
  channel_.state.pictureWidth = 0;
  channel_.state.pictureHeight = 0;
  return CMyThread::Start();
}

bool CVideoCtx::Stop(int64_t timeoutMs) {
  running_ = false;
  channel_.FpsCtrl().Wake();
  return CMyThread::Stop(timeoutMs);
}

int CVideoCtx::Run() {
  CFpsCtrl& clock = channel_.FpsCtrl();
  clock.SetFps(60);
  clock.Reset();
  FrameDesc frame;
  while (running_.load(std::memory_order_relaxed)) {
    if (!channel_.VideoQueue().Pop(frame)) {
      platform::SleepMs(10);
      clock.Reset();
      continue;
    }
    if (frame.nFps > 0) clock.Wait(1000.0 / (frame.nFps * SpeedRateFactor(frame.nSpeed)));
    channel_.state.shownFrames.fetch_add(1, std::memory_order_relaxed);
  }
  return 0;
}
