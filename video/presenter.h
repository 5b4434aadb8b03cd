#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "video/video_picture.h"

class VideoTarget;

// The presenter of a video thread: the back buffer of the picture's size and the
// window it is shown in. The back buffer is filled either with a planar 4:2:0
// picture (the "YV12" display mode; the window converts it) or with RGB pixels
// made by the scaler, 16-bit on a 16-bit screen and 32-bit otherwise. Showing
// hands the filled buffer to the window, which stretches it over its whole area.
//
// A few surfaces circulate: the window holds the one it shows while the video
// thread fills another, so neither waits for the other and no picture is copied.
//
// Used by the video thread while it runs, by its owner before and after.
class CD3DPresenter {
public:
  static constexpr uint32_t kBlack = 0xFF000000; // ARGB

  CD3DPresenter() = default;
  ~CD3DPresenter() = default;
  CD3DPresenter(const CD3DPresenter&) = delete;
  CD3DPresenter& operator=(const CD3DPresenter&) = delete;

  // Makes a back buffer of w x h for the window (null: pictures are shown nowhere).
  // *yuvRefused tells that the window cannot convert 4:2:0 pictures, so only the
  // RGB path is open. False for a size of 0 or less.
  bool Create(VideoTarget* window, int width, int height, bool* yuvRefused);
  void Release();
  bool HasTarget() const { return created_; }
  VideoTarget* Window() const { return window_; }
  bool HasYv12Surface() const { return created_ && yuvAllowed_; }
  // 16 or 32: the RGB back buffer's bits per pixel.
  int BackBufferDepth() const { return depth_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Fills the back buffer with a colour (0xAARRGGBB).
  bool Clear(uint32_t colour);
  // Hands the back buffer to the window. A window that refuses it releases the
  // presenter (false); the video thread then re-creates it.
  bool Show();

  // The planar 4:2:0 surface to fill (null when there is none); BlitYv12 makes
  // what was filled the back buffer's content.
  VideoPicture* LockYv12();
  bool UnlockYv12();
  bool BlitYv12(const PictureColour& colour);
  // The RGB back buffer to fill (null on failure); unlocking makes it the content.
  VideoPicture* LockBackBuffer();
  bool UnlockBackBuffer();

  // The back buffer's content: the picture last filled or cleared (snapshots read it).
  std::shared_ptr<const VideoPicture> Target() const { return current_; }

private:
  std::shared_ptr<VideoPicture> Acquire(PictureFormat format);
  PictureFormat RgbFormat() const { return depth_ == 16 ? PictureFormat::kRgb565 : PictureFormat::kBgra32; }

  VideoTarget* window_ = nullptr;
  bool created_ = false;
  bool yuvAllowed_ = false;
  int width_ = 0;
  int height_ = 0;
  int depth_ = 32;
  std::vector<std::shared_ptr<VideoPicture>> pool_;
  std::shared_ptr<VideoPicture> current_; // the back buffer's content
  std::shared_ptr<VideoPicture> filling_; // locked, being filled
  bool filled_ = false;                   // filling_ holds a complete picture (YV12 unlock before blit)
};
