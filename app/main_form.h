#pragma once
// The main window: it draws what the station reports (the UTC clock, the status texts,
// the queue, the sources table, the last chart, the status bar) and passes the
// operator's commands in. The station does the work on the message loop, so a dialog
// open in any window holds nothing up.

#include <QLabel>
#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt_chart_animation.h"
#include "app/qt_printer.h"
#include "app/qt_settings_file.h"
#include "station/ordered_workers.h"
#include "station/station.h"

namespace Ui {
class TMainForm;
}
class TScheduleForm;
class TJPEGCompressionForm;
class TArchiveForm;
class TElidedLabel;
class TQtChartView;

// What the window takes from its surroundings; tests put in clocks, a zone and a program
// folder of their own.
struct TMainFormEnvironment {
  const TClock* clock = &SystemClock();
  const TTimeZone* zone = &SystemTimeZone();
  std::string programFolder;  // ends in "/"; empty: the running program's executable folder
  TProxyEnvironment proxies = ProcessProxyEnvironment();  // what the clients' proxies are
  const TSteadyClock* steady = &SystemSteadyClock();
  // How often the station's clock ticks; 0: only when a test ticks it.
  uint32_t tickIntervalMs = kTickIntervalMs;
};

class TMainForm : public QMainWindow, private TStationReport, private TStationPrinter {
  Q_OBJECT

 public:
  explicit TMainForm(TMainFormEnvironment environment = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  Ui::TMainForm& Form() { return *ui_; }
  TStation& Station() { return *station_; }
  TQtChartView& ChartView();
  const TQtChartAnimation& Animation() const { return animation_; }
  const std::string& ProgramFolder() const { return station_->ProgramFolder(); }
  std::vector<std::string> QueueLines() const { return station_->QueueLines(); }
  const TEventLog& Log() const { return station_->Log(); }
  // The program's one printer; what "&Printer setup..." chooses applies to every printout.
  TQtPrinter& Printer() { return printer_; }

  // The windows the menu opens; they live as long as this one. Tests of the main window
  // alone leave them out.
  void SetScheduleForm(TScheduleForm* form) { scheduleForm_ = form; }
  void SetJPEGCompressionForm(TJPEGCompressionForm* form) { jpegCompressionForm_ = form; }
  void SetArchiveForm(TArchiveForm* form) { archiveForm_ = form; }

 signals:
  // Every text shown in Status2, in order.
  void Status2Changed(const QString& text);
  // Every text the status bar shows for the running downloads, in order.
  void DownloadProgressChanged(const QString& text);

 public slots:
  // The log's stop line for a signal that ends the program; running downloads are cut short.
  void StopOnSignal(const std::string& signal);
  void FormShow();
  void Edit1Click();
  void Archive1Click();
  void DefaultJPEGcompression1Click();
  void Exit1Click();
  void Printersetup1Click();
  void About1Click();
  void DisablePrinterClick(bool checked);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildStatusBar();
  void FollowRightEdge();
  void Stop(const std::string& logLine);

  void ClockTicked(const TClockReport& clock) override;
  void StatusChanged(const std::string& text) override;
  void QueueChanged(const TQueueReport& queue) override;
  void SourcesChanged(const std::vector<TSourceRow>& rows) override;
  void NextEventChanged(const std::optional<TNextEvent>& next) override;
  void ProgressChanged(const TProgressReport& progress) override;
  void ChartReady(const std::shared_ptr<const TBitmap>& chart) override;
  void ChartFileKept(const std::string& fileName) override;
  void Saved(const TSaveReport& save) override;
  void ErrorReported(const TErrorReport& error) override;
  std::string Print(const TBitmap& picture, const std::string& neg) override;

  std::unique_ptr<Ui::TMainForm> ui_;
  TMainFormEnvironment environment_;
  bool shown_ = false;
  TSettingsFile settings_;
  TQtPrinter printer_;
  // Before the station: it is destroyed after it, and its wait for a painter's thread
  // dispatches nothing of the station's.
  TQtChartAnimation animation_;
  uint64_t chartsShown_ = 0;
  std::unique_ptr<TStation> station_;
  // The status bar's parts; the status bar owns them.
  QLabel* failingSources_ = nullptr;
  QLabel* downloadProgress_ = nullptr;
  TElidedLabel* lastSaved_ = nullptr;
  std::optional<TNextEvent> next_;
  QLabel* nextEvent_ = nullptr;
  TScheduleForm* scheduleForm_ = nullptr;
  TJPEGCompressionForm* jpegCompressionForm_ = nullptr;
  TArchiveForm* archiveForm_ = nullptr;
  // Reads an animated chart's frames; last, so that nothing it delivers finds a member gone.
  TOrderedWorkers gifReader_{1};
};
