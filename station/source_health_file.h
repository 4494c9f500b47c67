#pragma once
// What the station remembers of each schedule line's source across restarts,
// "health.txt" in the program folder: one record a line, the schedule line (its trailing
// blanks cut) and then its fields. Fields this version does not know are kept as they are.

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "program/program_folder.h"
#include "runtime/date_time.h"
#include "station/failure.h"
#include "station/keyed_fields.h"
#include "station/source_row.h"

struct TLineHealth {
  TSourceState state = ssNew;
  std::optional<TDateTime> lastGoodSave;
  std::string lastGoodFile;
  std::optional<TDateTime> lastAttempt;
  int attempts = 0;  // begun on the UTC date of the last attempt
  std::optional<TDateTime> failingSince;
  std::string lastError;
  std::optional<TFailureKind> lastErrorKind;
  std::string digest;                    // of the last good download; "" when unknown
  std::optional<TDateTime> digestSince;  // when a download first had those bytes
  TFieldMap otherFields;                 // written by a later version
  friend bool operator==(const TLineHealth&, const TLineHealth&) = default;
};

using TLineHealths = std::map<std::string, TLineHealth>;  // by schedule line

// The file's records; lines that are no record (comments, damage) are passed over.
TLineHealths ParseSourceHealth(std::string_view bytes);
std::string SourceHealthText(const TLineHealths& records);
