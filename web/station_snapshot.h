#pragma once
// What the web page and the metrics show, gathered from the station's reports as they come
// and handed out whole: the server's thread takes a copy under the lock, so that no request
// ever waits on the station or the station on a request.

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "station/station_report.h"

inline constexpr size_t kShownSaves = 20;
inline constexpr size_t kShownErrors = 50;

struct TStationStatus {
  TClockReport clock;
  std::string status;  // what the jobs are doing
  TQueueReport queue;
  std::optional<TNextEvent> next;
  std::vector<TSourceRow> sources;
  std::deque<TSaveReport> saves;    // newest first, at most kShownSaves
  std::deque<TErrorReport> errors;  // newest first, at most kShownErrors
  // Counted since the program started, by the title the reports name.
  std::map<std::string, int64_t> savesBySource;
  std::map<std::string, int64_t> failuresBySource;
  int64_t downloadedBytes = 0;
};

class TStationSnapshot : public TStationReport {
 public:
  TStationStatus Status() const;

  void ClockTicked(const TClockReport& clock) override;
  void StatusChanged(const std::string& text) override;
  void QueueChanged(const TQueueReport& queue) override;
  void NextEventChanged(const std::optional<TNextEvent>& next) override;
  void Saved(const TSaveReport& save) override;
  void ErrorReported(const TErrorReport& error) override;
  void SourcesChanged(const std::vector<TSourceRow>& sources) override;
  void DownloadFinished(const TDownloadReport& download) override;

 private:
  mutable std::mutex mutex_;
  TStationStatus status_;
};
