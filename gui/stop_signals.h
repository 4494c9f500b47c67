#pragma once
// SIGTERM and SIGINT end the program as closing its window does: the signal handler only
// writes the signal's number into a pipe, and the window's thread, woken by Qt, reports
// it, so the log gets its stop line and the program leaves its loop and exits normally.

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string>

class TStopSignals {
 public:
  // onStop gets the signal's name ("SIGTERM", "SIGINT") on the window's thread.
  explicit TStopSignals(std::function<void(const std::string& signal)> onStop);
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

 private:
  void Report();

  std::function<void(const std::string&)> onStop_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
