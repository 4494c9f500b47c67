#include "http/sync_wsocket.h"

#include <algorithm>
#include <chrono>

namespace {

// The longest a wait sleeps between two pumps: events of a GUI toolkit, which do not
// wake the message loop, are handled at least this often.
constexpr int kPumpWaitMs = 10;

}  // namespace

int TCustomSyncWSocket::WaitUntilReady(bool& done) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitTimeout_);
  while (!done) {
    if (waitTimeout_ > 0 && Clock::now() >= deadline) return kWaitTimedOut;
    if (Loop().Terminated() || Terminated()) return kWaitTimedOut;
    PumpMessages();
    if (done) break;
    int waitMs = kPumpWaitMs;
    if (waitTimeout_ > 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      waitMs = static_cast<int>(std::clamp<int64_t>(left, 0, kPumpWaitMs));
    }
    Loop().WaitMessage(waitMs);
  }
  return 0;
}

int TCustomSyncWSocket::Synchronize(const std::function<void()>& routine, bool& done) {
  done = false;
  if (routine) routine();
  return WaitUntilReady(done);
}
