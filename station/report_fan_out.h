#pragma once
// The station's reports told to several listeners in turn: the window, and the web page's
// snapshot beside it.

#include <vector>

#include "station/station_report.h"

class TReportFanOut : public TStationReport {
 public:
  explicit TReportFanOut(TStationReport& first) : listeners_{&first} {}
  // The listener must outlive the station.
  void Add(TStationReport& listener) { listeners_.push_back(&listener); }

  void ClockTicked(const TClockReport& clock) override {
    Tell(&TStationReport::ClockTicked, clock);
  }
  void StatusChanged(const std::string& text) override {
    Tell(&TStationReport::StatusChanged, text);
  }
  void QueueChanged(const TQueueReport& queue) override {
    Tell(&TStationReport::QueueChanged, queue);
  }
  void NextEventChanged(const std::optional<TNextEvent>& next) override {
    Tell(&TStationReport::NextEventChanged, next);
  }
  void ProgressChanged(const TProgressReport& progress) override {
    Tell(&TStationReport::ProgressChanged, progress);
  }
  void ChartReady(const std::shared_ptr<const TBitmap>& chart) override {
    Tell(&TStationReport::ChartReady, chart);
  }
  void ChartFileKept(const std::string& fileName) override {
    Tell(&TStationReport::ChartFileKept, fileName);
  }
  void Saved(const TSaveReport& save) override { Tell(&TStationReport::Saved, save); }
  void ErrorReported(const TErrorReport& error) override {
    Tell(&TStationReport::ErrorReported, error);
  }
  void SourcesChanged(const std::vector<TSourceRow>& rows) override {
    Tell(&TStationReport::SourcesChanged, rows);
  }
  void DownloadFinished(const TDownloadReport& download) override {
    Tell(&TStationReport::DownloadFinished, download);
  }

 private:
  template <class Report>
  void Tell(void (TStationReport::*call)(const Report&), const Report& report) {
    for (TStationReport* listener : listeners_) (listener->*call)(report);
  }

  std::vector<TStationReport*> listeners_;
};
