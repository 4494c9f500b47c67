#pragma once
// How long a queued line may keep failing: a line whose job has failed for kGiveUpMinutes,
// counted from its first failure, leaves the queue. Measured on the steady clock, so that
// setting the wall clock neither hastens nor holds off a give-up.

#include <cstdint>
#include <string>

inline constexpr int64_t kGiveUpMinutes = 10;

// "Giving up on <name> after <attempts> attempts".
std::string GiveUpMessage(const std::string& name, int attempts);

class TGiveUpRule {
 public:
  // Records a failed attempt of the line at the steady time nowMs; answers whether to give
  // the line up now.
  bool Failed(int64_t nowMs);
  int Attempts() const { return attempts_; }

 private:
  int attempts_ = 0;
  int64_t firstFailureMs_ = 0;
};
