#pragma once
// Lets a display follow a fast stream of changes at most once per interval: a download
// reports every piece it reads, and repainting for each would slow the download.

#include <cstdint>

class TUpdateThrottle {
 public:
  explicit TUpdateThrottle(int64_t IntervalMs) : intervalMs_(IntervalMs) {}

  // Whether an update at the steady time NowMs is due; when it is, the interval starts
  // again from NowMs. The first change after Restart is always shown.
  bool Due(int64_t NowMs) {
    if (started_ && NowMs - lastMs_ < intervalMs_) return false;
    started_ = true;
    lastMs_ = NowMs;
    return true;
  }
  void Restart() { started_ = false; }

 private:
  int64_t intervalMs_;
  bool started_ = false;
  int64_t lastMs_ = 0;
};
