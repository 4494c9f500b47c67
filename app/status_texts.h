#pragma once
// The texts of the main window's status bar.

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/date_time.h"
#include "station/next_event.h"
#include "station/station_report.h"

// "Saved 2026-12-08 15:12:03 UTC: /path/chart.gif": the time first, which a narrow
// window keeps when it cuts the text.
std::string LastSavedText(const std::string& FileName, TDateTime Utc);
// "Next: 15:30 Radar", "Next: tomorrow 06:00 Surface", or "No events scheduled".
std::string NextEventText(const std::optional<TNextEvent>& Next);
// What closing the window asks while an event is still to come.
std::string CloseQuestionText(const TNextEvent& Next);
// "3 waiting, 1 running", "1 running", or "empty".
std::string QueueText(const TQueueReport& Queue);
// "Received 12345 bytes (45%)"; without the share when the length is unknown (negative).
std::string DownloadProgressText(int64_t Received, int64_t Length);
// The running downloads together: "" when none runs, DownloadProgressText for one,
// "3 downloads: received 12345 bytes (45%)" for several.
std::string ProgressText(const TProgressReport& Progress);
