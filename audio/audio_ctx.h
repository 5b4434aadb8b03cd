#pragma once
#include "core/frame_desc.h"
#include "core/my_thread.h"

class CTSChn;

// The audio thread of a channel: takes audio frames from the audio queue and
// plays them; plays silence while the video thread holds it.
class CAudioCtx : public CMyThread {
public:
  explicit CAudioCtx(CTSChn& channel);
  ~CAudioCtx() override;

protected:
  int Run() override;

private:
  CTSChn& channel_;
};
