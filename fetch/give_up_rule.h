#pragma once
// How long a queued line may keep failing: a line whose job has failed for kGiveUpMinutes,
// counted from its first failure, leaves the queue.

#include <cstdint>
#include <string>

#include "runtime/date_time.h"

inline constexpr int64_t kGiveUpMinutes = 10;

// "Giving up on <name> after <attempts> attempts".
std::string GiveUpMessage(const std::string& name, int attempts);

class TGiveUpRule {
 public:
  // Records a failed attempt of the line at the UTC time; answers whether to give
  // the line up now. The count and the start of the failures then begin again.
  bool Failed(TDateTime now);
  // The line's job ended normally.
  void Reset() { attempts_ = 0; }
  int Attempts() const { return attempts_; }

 private:
  int attempts_ = 0;
  TDateTime firstFailure_;
};
