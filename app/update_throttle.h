#pragma once
// Lets a display follow a fast stream of changes at most once per interval: a download
// reports every piece it reads, and repainting for each would slow the download.

#include <cstdint>

#include "runtime/date_time.h"

class TUpdateThrottle {
 public:
  explicit TUpdateThrottle(int64_t IntervalMs) : intervalMs_(IntervalMs) {}

  // Whether an update at Now is due; when it is, the interval starts again from Now. The
  // first change after Restart is always shown, and so is one after the clock was set
  // back, which would otherwise hold the display until the clock caught up again.
  bool Due(TDateTime Now) {
    if (started_ && Now.ms >= last_.ms && Now.ms - last_.ms < intervalMs_) return false;
    started_ = true;
    last_ = Now;
    return true;
  }
  void Restart() { started_ = false; }

 private:
  int64_t intervalMs_;
  bool started_ = false;
  TDateTime last_;
};
