#pragma once
// When the operator's source command is told of a source: once it has failed for a set
// time, once it is given up, and once it delivers again after either. Each is told once a
// spell; what the rows show when the station starts is taken as told, so that a restart
// repeats nothing.

#include <map>
#include <string>
#include <vector>

#include "runtime/date_time.h"
#include "station/source_row.h"

class TSourceAlarms {
 public:
  explicit TSourceAlarms(int afterMinutes) : afterMinutes_(afterMinutes) {}

  // The rows to tell of now, each in the state to tell.
  std::vector<TSourceRow> Due(const std::vector<TSourceRow>& rows, TDateTime now);

 private:
  bool FailedLongEnough(const TSourceRow& row, TDateTime now) const;
  bool Tells(const TSourceRow& row, TDateTime now) const;

  int afterMinutes_;
  bool started_ = false;
  std::map<std::string, TSourceState> told_;  // by row; what was told of a failing source
};

// The variables the command gets: ISOVIEW_SOURCE_TITLE, _URL (without its password),
// _STATE ("retrying", "given up", "unchanged", "ok") and _ERROR ("" when delivering).
std::vector<std::string> SourceCommandVariables(const TSourceRow& row);
