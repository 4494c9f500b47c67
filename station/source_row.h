#pragma once
// How one schedule line's source is doing, as the station tells it: a row of the sources
// table that the window, the web page and the metrics draw as they are.

#include <optional>
#include <string>

#include "runtime/date_time.h"
#include "station/failure.h"

enum TSourceState {
  ssNew,        // not tried since the line was written
  ssOk,         // its last attempt delivered a chart that differs from the one before
  ssRetrying,   // failing; the queue tries it again
  ssGivenUp,    // failing and given up; it stays so until it delivers again
  ssUnchanged,  // it delivers, but the very bytes of its last good download
};

// "new", "ok", "retrying", "given up", "unchanged".
std::string SourceStateName(TSourceState state);
// Whether the state asks for the operator: retrying, given up or unchanged.
bool SourceStateFails(TSourceState state);

struct TSourceRow {
  // From the schedule line.
  std::string dueTime;  // "HH:MM" UTC; the line's first characters when they are no time
  std::string title;    // the title, or the URL without its password when it has none
  std::string url;      // without its password
  std::string target;   // the file name as written, date codes unexpanded; "" shows only

  // From what the station saw; times are UTC, whole seconds.
  TSourceState state = ssNew;
  std::optional<TDateTime> lastGoodSave;
  std::string lastGoodFile;  // absolute; "" when the line saves nothing
  std::optional<TDateTime> lastAttempt;
  std::optional<TDateTime> failingSince;  // the first failure since it last delivered
  std::string lastError;                  // "" when none since it last delivered
  std::optional<TFailureKind> lastErrorKind;
  int attemptsToday = 0;  // attempts begun on today's UTC date
  // State unchanged: since when its downloads have been the same bytes.
  std::optional<TDateTime> unchangedSince;
  friend bool operator==(const TSourceRow&, const TSourceRow&) = default;
};
