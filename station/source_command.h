#pragma once
// The operator's hook for failing sources (mail, notify-send, a pager): the settings'
// command, run when TSourceAlarms says a source is due to be told of. It runs beside the
// station and is bounded in time; that it started is logged, and when it fails the
// station's error report tells it, and the station goes on either way.

#include <functional>
#include <string>
#include <vector>

#include "station/command_runner.h"
#include "station/source_alarms.h"
#include "station/station_settings.h"

class TEventLog;

// The name the command's failures are reported under.
inline constexpr const char* kSourceCommandSource = "Source command";

class TSourceCommand {
 public:
  using TProblem = std::function<void(const std::string& message)>;

  TSourceCommand(const TEventLog& log, TProblem problem)
      : log_(log), problem_(std::move(problem)) {}

  void Configure(const TStationSettings& settings);
  // The rows as the station tells them, at now (UTC).
  void SourcesChanged(const std::vector<TSourceRow>& rows, TDateTime now);
  size_t Running() const { return runner_.Running(); }

 private:
  void Run(const TSourceRow& row);

  const TEventLog& log_;
  TProblem problem_;
  std::string command_;
  int timeoutSeconds_ = kDefaultSourceCommandTimeoutSeconds;
  TSourceAlarms alarms_{kDefaultSourceCommandAfterMinutes};
  TCommandRunner runner_;
};
