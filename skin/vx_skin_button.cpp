#include "skin/vx_skin_button.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/qt_message_target.h"
#include "skin/skin_bitmaps.h"
#include "skin/skin_messages.h"

CVxSkinButton::CVxSkinButton(QWidget* parent) : QAbstractButton(parent) {
  setMouseTracking(true);
  textColor_ = palette().color(QPalette::ButtonText);
}

bool CVxSkinButton::SetSkin(int bitmapNumber) {
  strip_ = skin::LoadSkinBitmap(bitmapNumber, devicePixelRatioF());
  const skin::SkinBitmapInfo* info = strip_.isNull() ? nullptr : skin::FindSkinBitmap(bitmapNumber);
  cellWidth_ = info ? info->width / 4 : 0;
  cellHeight_ = info ? info->height : 0;
  if (info) resize(cellWidth_, cellHeight_);
  update();
  return info != nullptr;
}

void CVxSkinButton::SetCheck(bool checked) {
  checked_ = checked && kind_ != kPushButton;
  if (checked_ && kind_ == kRadioButton && parentWidget()) {
    for (auto* other : parentWidget()->findChildren<CVxSkinButton*>(Qt::FindDirectChildrenOnly)) {
      if (other != this && other->kind_ == kRadioButton && other->group_ == group_)
        QtMessageTarget(other).Post(WM_SKIN_RADIO_UNCHECK, 0, 0);
    }
  }
  update();
}

void CVxSkinButton::SetTextColor(const QColor& color) {
  textColor_ = color;
  update();
}

int CVxSkinButton::CurrentCell() const {
  if (strip_.isNull()) return -1;
  if (!isEnabled()) return 3;
  if (isDown() || checked_) return 2;
  return hover_ ? 1 : 0;
}

QSize CVxSkinButton::sizeHint() const {
  return strip_.isNull() ? QAbstractButton::sizeHint() : QSize(cellWidth_, cellHeight_);
}

void CVxSkinButton::DrawCell(QPainter& painter, int cell) const {
  if (strip_.isNull() || cell < 0) return;
  const qreal k = strip_.devicePixelRatio();
  painter.drawPixmap(QRectF(0, 0, cellWidth_, cellHeight_), strip_,
                     QRectF(cell * cellWidth_ * k, 0, cellWidth_ * k, cellHeight_ * k));
}

void CVxSkinButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int cell = CurrentCell();
  DrawCell(p, cell);
  if (text().isEmpty()) return;
  QRect textRect = rect().adjusted(2, 0, -2, 0);
  const int flags = Qt::AlignCenter | Qt::TextSingleLine;
  if (!isEnabled()) {
    p.setPen(palette().color(QPalette::Highlight));
    p.drawText(textRect, flags, text());
    p.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(textRect.translated(-1, -1), flags, text());
    return;
  }
  if (isDown() || checked_) textRect.translate(2, 1);
  p.setPen(textColor_);
  p.drawText(textRect, flags, text());
}

bool CVxSkinButton::event(QEvent* event) {
  if (event->type() == MessageEvent::Type()) {
    if (static_cast<MessageEvent*>(event)->Message() == WM_SKIN_RADIO_UNCHECK && checked_) {
      checked_ = false;
      update();
    }
    return true;
  }
  switch (event->type()) {
  case QEvent::Hide:
  case QEvent::UngrabMouse:
    CancelPress();
    break;
  case QEvent::EnabledChange:
    if (!isEnabled()) CancelPress();
    break;
  default:
    break;
  }
  return QAbstractButton::event(event);
}

void CVxSkinButton::enterEvent(QEnterEvent* event) {
  if (!pressed_ && QApplication::mouseButtons() == Qt::NoButton && !hover_) {
    hover_ = true;
    update();
  }
  QAbstractButton::enterEvent(event);
}

void CVxSkinButton::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CVxSkinButton::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ && !hover_) {
    hover_ = true;
    update();
  }
  QAbstractButton::mouseMoveEvent(event); // while pressed: pushed only over the button
}

void CVxSkinButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    hover_ = false;
    QAbstractButton::mousePressEvent(event);
    pressed_ = true;
    update();
    return;
  }
  QAbstractButton::mousePressEvent(event);
}

void CVxSkinButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    if (rect().contains(event->position().toPoint())) {
      if (kind_ == kCheckBox) SetCheck(!checked_);
      else if (kind_ == kRadioButton) SetCheck(true);
    }
    pressed_ = false;
  }
  QAbstractButton::mouseReleaseEvent(event);
  update();
}

void CVxSkinButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    if (kind_ == kCheckBox) SetCheck(!checked_);
    else if (kind_ == kRadioButton) SetCheck(true);
  }
  QAbstractButton::keyPressEvent(event);
}

void CVxSkinButton::focusOutEvent(QFocusEvent* event) {
  CancelPress();
  QAbstractButton::focusOutEvent(event);
}

void CVxSkinButton::CancelPress() {
  if (!pressed_ && !isDown()) return;
  pressed_ = false;
  if (mouseGrabber() == this) releaseMouse();
  setDown(false);
  update();
}
