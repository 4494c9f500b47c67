#pragma once
// How long the head of the queue may keep failing: a line whose job has failed without
// a success in between for kGiveUpMinutes leaves the queue, so the lines behind it run.

#include <cstdint>
#include <string>

#include "runtime/date_time.h"

inline constexpr int64_t kGiveUpMinutes = 10;

std::string GiveUpMessage(const std::string& url, int attempts);

class TGiveUpRule {
 public:
  // Records a failed attempt of the head line at the UTC time; answers whether to give
  // the line up now. The count and the start of the failures then begin again.
  bool Failed(TDateTime now);
  // The head line's job ended normally, or the line left the queue.
  void Reset() { attempts_ = 0; }
  int Attempts() const { return attempts_; }

 private:
  int attempts_ = 0;
  TDateTime firstFailure_;
};
