#pragma once
// The main window: the UTC clock, the status texts, the queue of due schedule lines and
// the preview of the last image, driven by its two timers.

#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/event_table.h"
#include "app/qt_printer.h"
#include "app/update_throttle.h"
#include "app/utc_clock.h"
#include "fetch/archive.h"
#include "fetch/event_log.h"
#include "fetch/fetch_job.h"
#include "fetch/fetch_queue.h"
#include "fetch/file_download.h"
#include "http/http_cli.h"
#include "imaging/picture.h"

namespace Ui {
class TMainForm;
}
class TScheduleForm;
class TJPEGCompressionForm;
class TArchiveForm;

// What the window takes from its surroundings; tests put in a clock, a zone and an
// executable in a temporary folder of their own.
struct TMainFormEnvironment {
  const TClock* clock = &SystemClock();
  const TTimeZone* zone = &SystemTimeZone();
  std::string programFolder;  // ends in "/"; empty: the running program's executable folder
  TProxyEnvironment proxies = ProcessProxyEnvironment();  // what the client's proxies are
};

class TMainForm : public QMainWindow, private TFetchJobWindow {
  Q_OBJECT

 public:
  explicit TMainForm(TMainFormEnvironment environment = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  Ui::TMainForm& Form() { return *ui_; }
  QTimer& ClockTimer() { return clockTimer_; }
  QTimer& SlowClockTimer() { return slowClockTimer_; }
  const std::string& ProgramFolder() const { return programFolder_; }
  const TEventTable& EventTable() const { return eventTable_; }
  std::vector<std::string> QueueLines() const { return queue_.Lines(); }
  const TEventLog& Log() const { return log_; }
  // The program's one printer; what "&Printer setup..." chooses applies to every printout.
  TQtPrinter& Printer() { return printer_; }
  THttpCli& HTTP() { return http_; }
  // The bitmap of Image1: the image last displayed, which saving and printing use.
  TPicture& Preview() { return preview_; }

  // The windows the menu opens; they live as long as this one. Tests of the main window
  // alone leave them out.
  void SetScheduleForm(TScheduleForm* form) { scheduleForm_ = form; }
  void SetJPEGCompressionForm(TJPEGCompressionForm* form) { jpegCompressionForm_ = form; }
  void SetArchiveForm(TArchiveForm* form) { archiveForm_ = form; }

 signals:
  // Every text shown in Status2, in order.
  void Status2Changed(const QString& text);
  // Every text the status bar shows for a running download, in order.
  void DownloadProgressChanged(const QString& text);

 public slots:
  // The log's stop line for a signal that ends the program; the running job is cut short.
  void StopOnSignal(const std::string& signal);
  // How many sources fail at present, for the status bar; 0 clears the note.
  void SetFailingSources(int count);
  void FormShow();
  void ClockTimerTimer();
  void SlowClockTimerTimer();
  void Edit1Click();
  void Archive1Click();
  void DefaultJPEGcompression1Click();
  void Exit1Click();
  void Printersetup1Click();
  void About1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildStatusBar();
  void FollowRightEdge();
  void ShowNextEvent();
  void ShowDownloadProgress(const THttpCli& http);
  void Stop(const std::string& logLine);
  void LoadEventTable();
  void AppendToQueue(const std::string& line);
  void ShowQueue();
  void RunDueLines();
  void RunQueuedLine(TFetchQueue::Position line);
  void QueuedLineFailed(TFetchQueue::Position line, const TFetchInputs& inputs,
                        const std::exception& error);
  void ShowRetryStatus();
  TDateTime QueueTime() const;
  void HTTPRequestDone();

  void ShowStatus(const std::string& Text) override;
  void ProcessMessages() override;
  void ShowMessage(const std::string& Text) override;
  void PreviewChanged() override;
  bool PrinterDisabled() override;
  void PrintPreview(const std::string& Neg) override;
  void FileSaved(const std::string& FileName) override;

  std::unique_ptr<Ui::TMainForm> ui_;
  TMainFormEnvironment environment_;
  QTimer clockTimer_;
  QTimer slowClockTimer_;
  bool shown_ = false;
  bool stopping_ = false;
  std::string programFolder_;
  TEventTable eventTable_;
  TUtcClock utcClock_;
  TFetchQueue queue_;
  TEventLog log_;
  // Made when the program folder is known, at the window's first showing.
  std::optional<TArchive> archive_;
  TQtPrinter printer_;
  THttpCli http_;
  TFileDownload download_;
  TPicture preview_;
  // The status bar's parts; the status bar owns them.
  QLabel* failingSources_ = nullptr;
  QLabel* downloadProgress_ = nullptr;
  QLabel* lastSaved_ = nullptr;
  QLabel* nextEvent_ = nullptr;
  TUpdateThrottle progressThrottle_;
  TScheduleForm* scheduleForm_ = nullptr;
  TJPEGCompressionForm* jpegCompressionForm_ = nullptr;
  TArchiveForm* archiveForm_ = nullptr;
};
