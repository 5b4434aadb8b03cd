#pragma once
#include <memory>

struct VideoPicture;

// The window a channel presents its pictures in. The video thread hands it whole
// back buffers; the window shows the latest one stretched over its whole area
// (black when it has none). Implementations: CVideoStatic (an OpenGL widget,
// video/video_static.h) and MemoryVideoTarget (an image in memory, for tests and
// benchmarks, video/memory_target.h).
class VideoTarget {
public:
  virtual ~VideoTarget() = default;
  // Bits per pixel of the RGB back buffer for this window: 16 on a 16-bit screen,
  // otherwise 32. Any thread.
  virtual int ScreenDepth() const = 0;
  // Whether the window converts planar 4:2:0 pictures itself. Any thread.
  virtual bool CanShowYuv() const = 0;
  // Shows a picture (null: black). Called on the video thread; never waits for the
  // window's own thread. The picture is not changed while the window holds the
  // pointer. False when the window can no longer show pictures of this kind; the
  // video thread then re-creates its presenter from the next picture on.
  virtual bool Show(std::shared_ptr<const VideoPicture> picture) = 0;
};
