#include "app/picture_static.h"

#include <QPainter>

#include "skin/skin_bitmaps.h"

void PictureStatic::SetBitmap(int number) {
  number_ = number;
  pixmap_ = skin::LoadSkinBitmap(number, devicePixelRatioF());
  update();
}

void PictureStatic::paintEvent(QPaintEvent*) {
  if (pixmap_.isNull()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawPixmap(rect(), pixmap_);
}
