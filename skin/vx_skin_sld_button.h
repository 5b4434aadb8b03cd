#pragma once
#include <memory>

#include <QImage>

#include "platform/message_target.h"
#include "skin/vx_skin_button.h"

// A horizontal slider built on a skinned button: the strip is the track, a
// second bitmap the thumb (combined onto the track with a bitwise OR, so its
// black pixels leave the track visible). A press, a drag to a new position and
// the release post WM_SKINSLIDER_DOWN, _MOVE and _UP (wParam = slider number,
// lParam = position, always within the range) to the message target, after the
// slider's own handling; by default the target is the parent widget.
class CVxSkinSldButton : public CVxSkinButton {
  Q_OBJECT
public:
  explicit CVxSkinSldButton(QWidget* parent = nullptr);
  ~CVxSkinSldButton() override;

  void SetRange(int minimum, int maximum);
  int Minimum() const { return min_; }
  int Maximum() const { return max_; }
  // Stores the position (as given) and moves the thumb to it.
  void SetPos(int pos);
  int GetPos() const { return pos_; }
  // Loads the numbered thumb bitmap; returns true when it was loaded.
  bool SetThumb(int bitmapNumber);
  QSize ThumbSize() const { return {thumbWidth_, thumbHeight_}; }
  void SetSliderNumber(int number) { number_ = number; }
  int SliderNumber() const { return number_; }
  // True from a press until the release (or until the mouse is taken away).
  bool IsDragging() const { return dragging_; }
  // The thumb's place within the range, 0..1 (0 when the range is empty).
  double Fraction() const { return fraction_; }
  // The thumb's left edge in the client area.
  int ThumbX() const;

  // Where the messages go instead of the parent (null: back to the parent).
  // The target must outlive the slider.
  void SetMessageTarget(platform::MessageTarget* target) { target_ = target; }

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void CancelPress() override;

private:
  // Pointer x to a position: min + (max - min) * x / width, rounded, limited to the range.
  int PositionAt(double x, double* fraction) const;
  void Post(uint32_t message);

  QImage thumb_;
  int thumbWidth_ = 0;
  int thumbHeight_ = 0;
  int min_ = 0;
  int max_ = 0;
  int pos_ = 0;
  double fraction_ = 0;
  int number_ = 0;
  bool dragging_ = false;
  platform::MessageTarget* target_ = nullptr;
  std::unique_ptr<platform::MessageTarget> parentTarget_;
};
