#include "fetch/give_up_rule.h"

#include "runtime/strings.h"

std::string GiveUpMessage(const std::string& name, int attempts) {
  return "Giving up on " + name + " after " + IntToStr(attempts) + " attempts";
}

bool TGiveUpRule::Failed(TDateTime now) {
  if (attempts_ == 0) firstFailure_ = now;
  ++attempts_;
  return now.ms - firstFailure_.ms >= kGiveUpMinutes * kMillisecondsPerMinute;
}
