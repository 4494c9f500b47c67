#pragma once
// The repeating timers of one message loop, one timerfd each. Used on the loop's thread.

#include <cstdint>
#include <map>
#include <utility>

#include "runtime/message_loop.h"

class TMessageQueue;

class TLoopTimers {
 public:
  TLoopTimers(int epoll, TMessageQueue& queue) : epoll_(epoll), queue_(queue) {}
  ~TLoopTimers();
  TLoopTimers(const TLoopTimers&) = delete;
  TLoopTimers& operator=(const TLoopTimers&) = delete;

  bool Set(TWindowHandle window, uintptr_t id, uint32_t msg, uint32_t intervalMs);
  void Kill(TWindowHandle window, uintptr_t id);
  void KillWindow(TWindowHandle window);
  // The timerfd fd expired.
  void OnExpired(int fd);

 private:
  struct TTimer {
    uint32_t msg = 0;
    int fd = -1;
  };
  using TKey = std::pair<TWindowHandle, uintptr_t>;

  int epoll_;
  TMessageQueue& queue_;
  std::map<TKey, TTimer> timers_;

  void Close(TTimer& timer);
};
