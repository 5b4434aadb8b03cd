#pragma once

// The window a channel presents its pictures in. The video path gives it its
// operations; the pipeline only passes it on.
class VideoTarget {
public:
  virtual ~VideoTarget() = default;
};
