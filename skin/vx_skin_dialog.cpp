#include "skin/vx_skin_dialog.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QWindow>

#include "skin/skin_bitmaps.h"

CVxSkinDialog::CVxSkinDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {
  // QDialog makes itself a window whatever the flags say; a skinned dialog
  // given a parent and no window type lives inside that parent.
  if (parent && (flags & Qt::WindowType_Mask) == Qt::Widget) setWindowFlags(flags);
}

bool CVxSkinDialog::SetBackground(int bitmapNumber) {
  backgroundNumber_ = bitmapNumber;
  background_ = skin::LoadSkinBitmap(bitmapNumber, devicePixelRatioF());
  const skin::SkinBitmapInfo* info = background_.isNull() ? nullptr : skin::FindSkinBitmap(bitmapNumber);
  bgWidth_ = info ? info->width : 0;
  bgHeight_ = info ? info->height : 0;
  UpdateShape();
  update();
  return true;
}

void CVxSkinDialog::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && backgroundNumber_ != 0) SetBackground(backgroundNumber_);
  QDialog::changeEvent(event);
}

void CVxSkinDialog::SetCornerEllipse(int width, int height) {
  ellipseWidth_ = width;
  ellipseHeight_ = height;
  UpdateShape();
}

void CVxSkinDialog::paintEvent(QPaintEvent* event) {
  if (background_.isNull()) {
    QDialog::paintEvent(event);
    return;
  }
  const int W = bgWidth_, H = bgHeight_;
  const int cw = width(), ch = height();
  const qreal k = background_.devicePixelRatio();
  QPainter p(this);
  auto copy = [&](QRect to, QRect from) {
    p.drawPixmap(QRectF(to), background_, QRectF(from.x() * k, from.y() * k, from.width() * k, from.height() * k));
  };
  if (cw < W || ch < H) {
    // A smaller client area shows the top-left of the picture, unscaled.
    copy(QRect(0, 0, std::min(cw, W), std::min(ch, H)), QRect(0, 0, std::min(cw, W), std::min(ch, H)));
    return;
  }
  // Quarters: the left and top ones W/2 and H/2, the right and bottom ones take
  // the rest, so an odd-sized picture shows whole, without a seam.
  const int lw = W / 2, th = H / 2, rw = W - lw, bh = H - th;
  copy(QRect(0, 0, lw, th), QRect(0, 0, lw, th));
  copy(QRect(cw - rw, 0, rw, th), QRect(lw, 0, rw, th));
  copy(QRect(0, ch - bh, lw, bh), QRect(0, th, lw, bh));
  copy(QRect(cw - rw, ch - bh, rw, bh), QRect(lw, th, rw, bh));
  if (cw > W) {
    copy(QRect(lw, ch - bh, cw - W, bh), QRect(lw, th, W / 10, bh));
    copy(QRect(lw, 0, cw - W, th), QRect(lw, 0, W / 10, th));
  }
  if (ch > H) {
    copy(QRect(0, th, lw, ch - H), QRect(0, th, lw, H / 10));
    copy(QRect(cw - rw, th, rw, ch - H), QRect(lw, th, rw, H / 10));
  }
}

void CVxSkinDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (!background_.isNull()) {
    UpdateShape();
    update();
  }
}

void CVxSkinDialog::UpdateShape() {
  if (background_.isNull()) return;
  if (ellipseWidth_ <= 0 || ellipseHeight_ <= 0) {
    setMask(QRegion(rect()));
    return;
  }
  QPainterPath path;
  path.addRoundedRect(QRectF(rect()), ellipseWidth_ / 2.0, ellipseHeight_ / 2.0);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void CVxSkinDialog::mousePressEvent(QMouseEvent* event) {
  if (drag_ && event->button() == Qt::LeftButton) DragWindowOf(this, event->globalPosition().toPoint());
  QDialog::mousePressEvent(event);
}

namespace {

// Follows the mouse from the press until the button is released, moving the
// top-level window by the pointer's travel. Used where the window system
// offers no move of its own.
class FollowMouse : public QObject {
public:
  FollowMouse(QWidget* source, QPoint globalPress)
      : QObject(source), top_(source->window()), press_(globalPress), origin_(top_->pos()) {
    source->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (done_) return false;
    if (event->type() == QEvent::MouseMove) {
      auto* e = static_cast<QMouseEvent*>(event);
      if (top_) top_->move(origin_ + (e->globalPosition().toPoint() - press_));
    } else if (event->type() == QEvent::MouseButtonRelease) {
      done_ = true;
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

private:
  QPointer<QWidget> top_;
  QPoint press_;
  QPoint origin_;
  bool done_ = false;
};

} // namespace

void CVxSkinDialog::DragWindowOf(QWidget* source, const QPoint& globalPos) {
  QWidget* top = source->window();
  QWindow* handle = top->windowHandle();
  if (handle && handle->startSystemMove()) return;
  new FollowMouse(source, globalPos);
}
