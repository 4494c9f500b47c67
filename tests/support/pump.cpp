#include "tests/support/pump.h"

namespace {

constexpr int kMaxRounds = 100000;
constexpr int kWaitLimitMs = 10000;

}  // namespace

bool PumpUntil(MessageLoop& loop, const std::function<bool()>& done) {
  for (int round = 0; round < kMaxRounds; ++round) {
    loop.ProcessMessages();
    if (done()) return true;
    loop.WaitMessage(kWaitLimitMs);
  }
  return done();
}
