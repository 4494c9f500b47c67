#include "station/give_up_rule.h"

#include "runtime/date_time.h"
#include "runtime/strings.h"

std::string GiveUpMessage(const std::string& name, int attempts) {
  return "Giving up on " + name + " after " + IntToStr(attempts) + " attempts";
}

bool TGiveUpRule::Failed(int64_t nowMs) {
  if (attempts_ == 0) firstFailureMs_ = nowMs;
  ++attempts_;
  return nowMs - firstFailureMs_ >= kGiveUpMinutes * kMillisecondsPerMinute;
}
