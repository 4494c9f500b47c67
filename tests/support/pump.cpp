#include "tests/support/pump.h"

#include <chrono>

namespace {

// Far beyond what any test needs: reached only when the awaited event never comes.
constexpr auto kGuardTime = std::chrono::seconds(30);
constexpr int kWaitLimitMs = 1000;

}  // namespace

bool PumpUntil(MessageLoop& loop, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + kGuardTime;
  for (;;) {
    loop.ProcessMessages();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    loop.WaitMessage(kWaitLimitMs);
  }
}
