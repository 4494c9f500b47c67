#include "gui/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>

namespace {

constexpr std::array kStopSignals = {SIGTERM, SIGINT};
// One process-wide pipe: a signal handler can reach nothing else.
int stopPipe[2] = {-1, -1};

void WriteSignal(int signal) {
  const unsigned char number = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(stopPipe[1], &number, 1);
}

void SetHandlers(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

std::string NameOf(int signal) {
  return signal == SIGINT ? "SIGINT" : "SIGTERM";
}

}  // namespace

TStopSignals::TStopSignals(std::function<void(const std::string& signal)> onStop)
    : onStop_(std::move(onStop)) {
  if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Report(); });
  SetHandlers(WriteSignal);
}

TStopSignals::~TStopSignals() {
  SetHandlers(SIG_DFL);
  notifier_.reset();
  for (int& end : stopPipe) {
    if (end >= 0) ::close(end);
    end = -1;
  }
}

void TStopSignals::Report() {
  unsigned char number = 0;
  while (::read(stopPipe[0], &number, 1) == 1) onStop_(NameOf(number));
}
