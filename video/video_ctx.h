#pragma once
#include "core/frame_desc.h"
#include "core/my_thread.h"

class CTSChn;

// The video thread of a channel: takes frames from the video queue and presents
// them at the frame rate times the speed factor.
class CVideoCtx : public CMyThread {
public:
  explicit CVideoCtx(CTSChn& channel);
  ~CVideoCtx() override;
  bool Start() override;
  bool Stop(int64_t timeoutMs) override;

protected:
  int Run() override;

private:
  CTSChn& channel_;
};
