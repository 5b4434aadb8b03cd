#include "skin/vx_skin_sld_button.h"

#include <algorithm>
#include <cmath>

#include <QMouseEvent>
#include <QPainter>

#include "app/qt_message_target.h"
#include "skin/skin_bitmaps.h"
#include "skin/skin_messages.h"

CVxSkinSldButton::CVxSkinSldButton(QWidget* parent) : CVxSkinButton(parent) {}

CVxSkinSldButton::~CVxSkinSldButton() = default;

void CVxSkinSldButton::SetRange(int minimum, int maximum) {
  min_ = minimum;
  max_ = maximum;
}

void CVxSkinSldButton::SetPos(int pos) {
  pos_ = pos;
  fraction_ = max_ != min_ ? double(pos - min_) / double(max_ - min_) : 0.0;
  update();
}

bool CVxSkinSldButton::SetThumb(int bitmapNumber) {
  thumb_ = skin::LoadSkinImage(bitmapNumber, devicePixelRatioF());
  const skin::SkinBitmapInfo* info = thumb_.isNull() ? nullptr : skin::FindSkinBitmap(bitmapNumber);
  thumbWidth_ = info ? info->width : 0;
  thumbHeight_ = info ? info->height : 0;
  update();
  return info != nullptr;
}

int CVxSkinSldButton::ThumbX() const {
  const int span = width() - thumbWidth_;
  const int x = static_cast<int>(std::trunc(span * fraction_));
  return std::clamp(x, 0, std::max(0, span));
}

int CVxSkinSldButton::PositionAt(double x, double* fraction) const {
  const double f = width() > 0 ? x / width() : 0.0;
  if (fraction) *fraction = f;
  if (max_ == min_) return min_;
  const double p = std::trunc(min_ + double(max_ - min_) * f + 0.5);
  const double lo = std::min(min_, max_), hi = std::max(min_, max_);
  return static_cast<int>(std::clamp(p, lo, hi));
}

void CVxSkinSldButton::Post(uint32_t message) {
  platform::MessageTarget* target = target_;
  if (!target) {
    if (!parentTarget_ && parentWidget()) parentTarget_ = std::make_unique<QtMessageTarget>(parentWidget());
    target = parentTarget_.get();
  }
  platform::PostTo(target, message, static_cast<uintptr_t>(number_), pos_);
}

void CVxSkinSldButton::paintEvent(QPaintEvent*) {
  const int cell = CurrentCell();
  if (cell < 0) return;
  const qreal k = Strip().devicePixelRatio();
  QImage canvas(QSize(std::lround(CellWidth() * k), std::lround(CellHeight() * k)), QImage::Format_ARGB32_Premultiplied);
  canvas.setDevicePixelRatio(k);
  canvas.fill(Qt::transparent);
  {
    QPainter p(&canvas);
    DrawCell(p, cell);
    if (!thumb_.isNull()) {
      const int y = (height() - thumbHeight_) / 2;
      p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
      p.drawImage(QRectF(ThumbX(), y, thumbWidth_, thumbHeight_), thumb_);
    }
  }
  QPainter(this).drawImage(QPointF(0, 0), canvas);
}

void CVxSkinSldButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    CVxSkinButton::mousePressEvent(event);
    return;
  }
  dragging_ = true;
  CVxSkinButton::mousePressEvent(event);
  pos_ = PositionAt(event->position().x(), &fraction_);
  update();
  Post(WM_SKINSLIDER_DOWN);
}

void CVxSkinSldButton::mouseMoveEvent(QMouseEvent* event) {
  CVxSkinButton::mouseMoveEvent(event);
  if (!IsPressed()) return;
  const int p = PositionAt(event->position().x(), &fraction_);
  update();
  if (p != pos_) {
    pos_ = p;
    Post(WM_SKINSLIDER_MOVE);
  }
}

void CVxSkinSldButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    CVxSkinButton::mouseReleaseEvent(event);
    return;
  }
  dragging_ = false;
  CVxSkinButton::mouseReleaseEvent(event);
  pos_ = PositionAt(event->position().x(), nullptr);
  fraction_ = max_ != min_ ? double(pos_ - min_) / double(max_ - min_) : 0.0;
  update();
  Post(WM_SKINSLIDER_UP);
}

void CVxSkinSldButton::CancelPress() {
  dragging_ = false;
  CVxSkinButton::CancelPress();
}
