#include "station/source_command.h"

#include "program/event_log.h"

void TSourceCommand::Configure(const TStationSettings& settings) {
  command_ = settings.sourceCommand;
  timeoutSeconds_ = settings.sourceCommandTimeoutSeconds;
  alarms_ = TSourceAlarms(settings.sourceCommandAfterMinutes);
}

void TSourceCommand::SourcesChanged(const std::vector<TSourceRow>& rows, TDateTime now) {
  if (command_.empty()) return;
  for (const TSourceRow& row : alarms_.Due(rows, now)) Run(row);
}

void TSourceCommand::Run(const TSourceRow& row) {
  const std::string about = row.title + " (" + SourceStateName(row.state) + ")";
  log_.Add("Source command for " + about + " started");
  runner_.Run(command_, SourceCommandVariables(row), timeoutSeconds_,
              [this, about](const std::string& problem) {
                if (!problem.empty()) problem_(about + ": " + problem);
              });
}
