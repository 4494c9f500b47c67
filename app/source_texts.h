#pragma once
// The texts of the sources table and of the status bar's count of failing sources.

#include <optional>
#include <string>
#include <vector>

#include "runtime/date_time.h"
#include "station/source_row.h"

// "2026-12-08 02:15" (UTC), which sorts as it reads; "" for none.
std::string SourceTimeText(const std::optional<TDateTime>& time);
// Since when the source has asked for the operator: its failing since, or for a source
// that delivers the same bytes again and again, since when it does.
std::optional<TDateTime> TroubleSince(const TSourceRow& row);
// "3 sources failing since 02:15": how many sources (URLs) ask for the operator (retrying,
// given up or unchanged), and the earliest time one of them began to, with its date when
// that was before the day of utcNow. Empty when none does.
std::string FailingSourcesText(const std::vector<TSourceRow>& rows, TDateTime utcNow);
