#pragma once
// Drives a thread's MessageLoop from Qt's event loop and joins the two pumps: Qt wakes the
// loop through a socket notifier on its descriptor, TApplication::ProcessMessages also
// dispatches the loop, and the loop's application pump (used by a synchronous request
// waiting inside a window handler) also lets Qt run its timers, repaints and menus.

#include <QSocketNotifier>
#include <memory>

#include "runtime/message_loop.h"

class TQtMessagePump {
 public:
  explicit TQtMessagePump(MessageLoop& loop = MessageLoop::Current());
  ~TQtMessagePump();
  TQtMessagePump(const TQtMessagePump&) = delete;
  TQtMessagePump& operator=(const TQtMessagePump&) = delete;

 private:
  MessageLoop& loop_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
