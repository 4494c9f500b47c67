#pragma once
// TCustomSyncWSocket: waiting, with the messages pumped, until a flag that the socket's
// own handlers set says an operation is done.

#include <functional>

#include "http/line_wsocket.h"

// The result of a wait that ran out of time or was ended by the application's end.
constexpr int kWaitTimedOut = 12001;

class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  // Milliseconds a wait may last; 0 waits without limit.
  int32_t WaitTimeout() const { return waitTimeout_; }
  void SetWaitTimeout(int32_t value) { waitTimeout_ = value; }

  // Pumps messages until done is set: 0, or kWaitTimedOut when the time-out passes first
  // or the thread's loop (or, multi-threaded, the socket's own) has been told to quit.
  virtual int WaitUntilReady(bool& done);
  // Clears done, runs routine (when given) and waits for done.
  virtual int Synchronize(const std::function<void()>& routine, bool& done);

 private:
  int32_t waitTimeout_ = 0;
};
