#include "app/qt_message_target.h"

#include <QCoreApplication>

QEvent::Type MessageEvent::Type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

void QtMessageTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (receiver_) QCoreApplication::postEvent(receiver_, new MessageEvent(message, wParam, lParam, tag_));
}
