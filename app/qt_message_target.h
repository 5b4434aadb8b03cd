#pragma once
#include <cstdint>

#include <QEvent>

#include "platform/message_target.h"

class QObject;

// A posted message (number, wParam, lParam) as a Qt event. A window that takes
// messages from the pipeline handles this event type in its event().
class MessageEvent : public QEvent {
public:
  MessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam, uint64_t tag = 0)
      : QEvent(Type()), message_(message), wParam_(wParam), lParam_(lParam), tag_(tag) {}
  // The event type, registered once per process.
  static QEvent::Type Type();

  uint32_t Message() const { return message_; }
  uintptr_t WParam() const { return wParam_; }
  intptr_t LParam() const { return lParam_; }
  // The sender's tag (a channel's serial; 0: untagged), so that messages still
  // queued from a closed sender can be told apart.
  uint64_t Tag() const { return tag_; }

private:
  uint32_t message_;
  uintptr_t wParam_;
  intptr_t lParam_;
  uint64_t tag_;
};

// A message target that posts MessageEvents to a Qt object (any thread may post;
// the object receives them on its own thread, in the order they were posted).
// The object must outlive every thread that posts to it: stop the channel first.
class QtMessageTarget : public platform::MessageTarget {
public:
  explicit QtMessageTarget(QObject* receiver, uint64_t tag = 0) : receiver_(receiver), tag_(tag) {}
  void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

private:
  QObject* receiver_;
  uint64_t tag_;
};
