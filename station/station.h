#pragma once
// The station: the engine under the windows that fetches the schedule's charts. It owns the
// clock's matching of schedule lines to minutes, the queue with its retries, back-off and
// give-up, the jobs, the archive's pruning and the log. It runs on the thread's message
// loop and never waits inside it: downloads run side by side within the settings' limits
// (4 at once, 2 to one host), charts are decoded and encoded on worker threads, and saves,
// prints and their log lines follow in the order the downloads ended. A window, a modal
// dialog or a slow server therefore holds nothing up. It reports through TStationReport
// and takes its clocks and zone from outside.

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "download/async_download.h"
#include "http/proxy_env.h"
#include "program/event_log.h"
#include "runtime/clock.h"
#include "runtime/message_loop.h"
#include "station/chart_job.h"
#include "station/event_table.h"
#include "station/fetch_queue.h"
#include "station/ordered_workers.h"
#include "station/report_fan_out.h"
#include "station/source_command.h"
#include "station/source_health.h"
#include "station/source_history.h"
#include "station/station_report.h"
#include "station/station_settings.h"
#include "station/update_throttle.h"
#include "station/utc_clock.h"

inline constexpr uint32_t kTickIntervalMs = 1000;
// The running downloads' progress is told at most ten times a second.
inline constexpr int64_t kProgressIntervalMs = 100;

// Two threads decode beside the loop's own on a small machine; more than four only share
// the disk and the memory bus.
size_t DefaultWorkerThreads();

struct TStationEnvironment {
  std::string programFolder;  // ends in "/"
  const TClock* clock = &SystemClock();
  const TTimeZone* zone = &SystemTimeZone();
  const TSteadyClock* steady = &SystemSteadyClock();
  TProxyEnvironment proxies = ProcessProxyEnvironment();
  // The settings file's keys; none: every setting at its default.
  const TSettingsSource* settings = nullptr;
  // How often the clock ticks by itself; 0: only when Tick is called.
  uint32_t tickIntervalMs = kTickIntervalMs;
  size_t workerThreads = DefaultWorkerThreads();
};

class TStation : private TJobHost {
 public:
  TStation(TStationEnvironment environment, TStationReport& report);
  ~TStation() override;
  TStation(const TStation&) = delete;
  TStation& operator=(const TStation&) = delete;

  // Logs the start, reads the settings and the sources' history, loads the schedule,
  // removes what ended runs left half-written in every folder the schedule saves into,
  // tells the last save, and starts the clock. Answers whether the schedule loaded.
  bool Start();
  // One tick of the clock: queues the lines of a new minute and starts what may run.
  void Tick();
  // The schedule was edited: it is loaded again and the current minute processed again.
  void ScheduleEdited();
  // The operator's printer choice: none, or "Disable printer", prints nothing.
  void SetPrinter(TStationPrinter* printer) { printer_ = printer; }
  void SetPrinterDisabled(bool disabled) { printerDisabled_ = disabled; }
  // Another listener to the reports (the web page); it must outlive the station.
  void AddReport(TStationReport& listener) { report_.Add(listener); }
  // Logs the line, cuts the running downloads short and starts nothing more.
  void Stop(const std::string& logLine);

  const TEventLog& Log() const override { return log_; }
  const std::string& ProgramFolder() const override { return environment_.programFolder; }
  const TEventTable& EventTable() const { return eventTable_; }
  const TStationSettings& Settings() const { return settings_; }
  std::vector<std::string> QueueLines() const { return queue_.Lines(); }
  int RunningDownloads() const;
  // How each schedule line's source is doing, as SourcesChanged tells it.
  std::vector<TSourceRow> SourceRows() const;
  // Nothing running, being decoded or about to start: what is queued waits for its time.
  bool Settled() const { return jobs_.empty() && workers_.Pending() == 0 && !dispatchPosted_; }
  // Source commands started and not yet ended.
  size_t RunningCommands() const { return sourceCommand_.Running(); }

 private:
  const TClock& Clock() const override { return *environment_.clock; }
  const TTimeZone& Zone() const override { return *environment_.zone; }
  TStationReport& Report() override { return report_; }
  TOrderedWorkers& Workers() override { return workers_; }
  TArchive& Archive() override { return archive_; }
  TStationPrinter* Printer() override { return printerDisabled_ ? nullptr : printer_; }
  void DownloadEnded(TChartJob& job) override;
  void SourceAnswered(TChartJob& job) override;
  void ProgressChanged() override;
  void JobEnded(TChartJob& job, const EStationFailure* failure) override;

  void ArmClock();
  void ReadSettings();
  void LoadHistory();
  bool LoadSchedule(const std::string& source);
  void RemoveTemporaries();
  void TellLastSave();
  void QueueTick(const TClockTick& tick);
  void ClockFailed(const std::exception& error);
  void PruneArchive();
  void PostDispatch();
  void Dispatch();
  bool Admits(const TQueuedLine& line) const;
  TAsyncDownload* FreeClient() const;
  void StartJob(TFetchQueue::Position line);
  void LineFailed(TFetchQueue::Position line, const EStationFailure& failure);
  void GiveUp(const std::string& source, const TFetchInputs& inputs, const EStationFailure& failure,
              int attempts);
  void HistoryWritten(bool written);
  void SaveHealth();
  void ReportSources();
  TDateTime UtcNow() const;
  void ReportError(const std::string& source, const std::string& message, TFailureKind kind);
  void ReportError(const TErrorReport& error);
  void ReportQueue();
  void ReportProgress();
  void ProgressDue();
  void ShowRetryStatus();
  void HandleMessage(TMessage& message);

  TStationEnvironment environment_;
  TReportFanOut report_;
  TStationSettings settings_;
  TEventLog log_;
  TArchive archive_;
  TSourceHistory history_;
  TSourceHealth health_;
  bool healthUnwritten_ = false;  // told in the log once a spell
  TSourceCommand sourceCommand_;
  TEventTable eventTable_;
  std::set<std::string> scheduledUrls_;
  TUtcClock utcClock_;
  TFetchQueue queue_;
  TUpdateThrottle progressThrottle_{kProgressIntervalMs};
  TStationPrinter* printer_ = nullptr;
  bool printerDisabled_ = false;
  bool clockFailing_ = false;
  bool dispatchPosted_ = false;
  bool progressHeld_ = false;  // a change waits for the throttle's interval to end
  bool stopping_ = false;
  // Declared in this order so that the workers stop first, then the clients, and the jobs
  // their deliveries and events name go last.
  std::list<std::unique_ptr<TChartJob>> jobs_;
  std::vector<std::unique_ptr<TAsyncDownload>> clients_;
  TOrderedWorkers workers_;
  MessageLoop& loop_;
  TWindowHandle window_ = 0;
};
