#include "app/main_form.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QStatusBar>
#include <algorithm>

#include "app/archive_form.h"
#include "app/jpeg_compression_form.h"
#include "app/status_texts.h"
#include "fetch/fetch_inputs.h"
#include "fetch/jpeg_quality.h"
#include "fetch/program_folder.h"
#include "gui/application.h"
#include "gui/qt_image.h"
#include "gui/text_conversion.h"
#include "http/swallowed_errors.h"
#include "http/url_helpers.h"
#include "runtime/atomic_file.h"
#include "runtime/strings.h"
#include "runtime/text_file.h"
#include "schedule/list_files.h"
#include "schedule/schedule_event.h"
#include "schedule/schedule_form.h"
#include "ui_main_form.h"

namespace {

constexpr int kClockInterval = 1000;
constexpr int kSlowClockInterval = 2000;
constexpr const char* kCaption = "Isoview V1.2";
// The download's progress is shown at most ten times a second.
constexpr int64_t kProgressIntervalMs = 100;
// Small enough for any screen; wide enough that the panel's controls keep their places
// without overlapping, and tall enough for the panel, the status bar and some preview.
constexpr int kMinimumWidth = 688;
constexpr int kMinimumHeight = 320;
// The queue memo and the small viewer keep their distance to the window's right edge.
constexpr int kQueueRightMargin = 131;
constexpr int kViewerRightMargin = 8;
// Where the errors of the window's own handlers come from, as the error display names them.
constexpr const char* kStartUpSource = "Start-up";
constexpr const char* kClockSource = "Clock";
constexpr const char* kArchiveSource = "Archive";
constexpr const char* kScheduleSource = "Schedule";
constexpr const char* kEditorSource = "Editor";
constexpr const char* kJPEGQualitySource = "JPEG quality";
constexpr const char* kPrinterSetupSource = "Printer setup";

// A schedule line is mostly column padding; the log keeps one blank between fields.
std::string SqueezeBlanks(const std::string& line) {
  std::string squeezed;
  for (char c : Trim(line))
    if (!(c == ' ' && !squeezed.empty() && squeezed.back() == ' ')) squeezed += c;
  return squeezed;
}

// A schedule line as the queue box and the log show it: its URL without the password,
// padded to the URL's length so that the columns stay where they were.
std::string ShownLine(const std::string& line) {
  const std::string url = CutFetchInputs(line).URL;
  const size_t at = url.empty() ? std::string::npos : line.find(url);
  if (at == std::string::npos) return line;
  std::string shown = UrlWithoutPassword(url);
  shown.resize(url.size(), ' ');
  return line.substr(0, at) + shown + line.substr(at + url.size());
}

// The error display names a queued line by its title, or by its URL when it has none.
std::string SourceOfLine(const std::string& line) {
  const std::vector<ScheduleEvent> events = ReadScheduleEvents({line});
  if (events.empty()) return Trim(ShownLine(line));
  const auto& fields = events.front().fields;
  return fields[sfResourceName].empty() ? UrlWithoutPassword(fields[sfURL])
                                        : fields[sfResourceName];
}

}  // namespace

TMainForm::TMainForm(TMainFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::TMainForm>()),
      environment_(std::move(environment)),
      utcClock_(*environment_.clock, *environment_.zone),
      log_({}, *environment_.clock, *environment_.zone),
      printer_(*environment_.clock, *environment_.zone),
      download_(http_, [this] { HTTPRequestDone(); }),
      progressThrottle_(kProgressIntervalMs) {
  ui_->setupUi(this);
  BuildStatusBar();
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  ui_->BasicPanel->installEventFilter(this);
  http_.OnDocBegin = [this](THttpCli*) { progressThrottle_.Restart(); };
  http_.OnDocData = [this](THttpCli* http, const char*, int) { ShowDownloadProgress(*http); };
  http_.SetProxyEnvironment(environment_.proxies);
  connect(ui_->Edit1, &QAction::triggered, this, &TMainForm::Edit1Click);
  connect(ui_->Archive1, &QAction::triggered, this, &TMainForm::Archive1Click);
  connect(ui_->DefaultJPEGcompression1, &QAction::triggered, this,
          &TMainForm::DefaultJPEGcompression1Click);
  connect(ui_->Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
  connect(ui_->Printersetup1, &QAction::triggered, this, &TMainForm::Printersetup1Click);
  connect(ui_->About1, &QAction::triggered, this, &TMainForm::About1Click);

  clockTimer_.setInterval(kClockInterval);
  connect(&clockTimer_, &QTimer::timeout, this, &TMainForm::ClockTimerTimer);
  clockTimer_.start();
  slowClockTimer_.setInterval(kSlowClockInterval);
  connect(&slowClockTimer_, &QTimer::timeout, this, &TMainForm::SlowClockTimerTimer);
  slowClockTimer_.start();
}

// The error listener and the swallowed-error sink write into this window's log, which goes with it.
TMainForm::~TMainForm() {
  TApplication::Instance().SetErrorListener(nullptr);
  SetSwallowedErrorSink(nullptr);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  Stop("Isoview stopped: the window was closed");
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->BasicPanel && event->type() == QEvent::Resize) FollowRightEdge();
  return QMainWindow::eventFilter(watched, event);
}

// Under the panel: what fails, what is downloading, what was saved last, what comes next.
void TMainForm::BuildStatusBar() {
  const auto part = [this](const char* name, const char* text) {
    auto* label = new QLabel(text, statusBar());
    label->setObjectName(name);
    return label;
  };
  failingSources_ = part("FailingSources", "");
  failingSources_->setStyleSheet("QLabel { color: #b00000; font-weight: bold; }");
  downloadProgress_ = part("DownloadProgress", "");
  lastSaved_ = part("LastSaved", "Nothing saved yet");
  nextEvent_ = part("NextEvent", "");
  statusBar()->addWidget(failingSources_);
  statusBar()->addWidget(downloadProgress_);
  statusBar()->addWidget(lastSaved_, 1);
  statusBar()->addPermanentWidget(nextEvent_);
}

void TMainForm::FollowRightEdge() {
  const int width = ui_->BasicPanel->width();
  QWidget& queue = *ui_->Queue;
  queue.resize(width - kQueueRightMargin - queue.x(), queue.height());
  QWidget& viewer = *ui_->ImageScrollBox1;
  viewer.move(width - kViewerRightMargin - viewer.width(), viewer.y());
}

void TMainForm::SetFailingSources(int count) {
  // The program's own text, with its dash in UTF-8; file text goes through ToQString.
  failingSources_->setText(QString::fromStdString(FailingSourcesText(count)));
}

void TMainForm::ShowNextEvent() {
  const TDateTime utc = UtcNowForClock(*environment_.clock, *environment_.zone);
  nextEvent_->setText(ToQString(NextEventText(NextDueEvent(eventTable_, utc))));
}

void TMainForm::ShowDownloadProgress(const THttpCli& http) {
  if (!progressThrottle_.Due(environment_.clock->Now())) return;
  downloadProgress_->setText(
      ToQString(DownloadProgressText(http.RcvdBytes(), http.ContentLength())));
  emit DownloadProgressChanged(downloadProgress_->text());
}

void TMainForm::StopOnSignal(const std::string& signal) {
  Stop("Isoview stopped by " + signal);
}

// The loop ends only when the running job returns: its download is ended at once (a
// silent server would hold it for the client's time-out) and no other job starts.
void TMainForm::Stop(const std::string& logLine) {
  stopping_ = true;
  log_.Add(logLine);
  http_.Abort();
}

void TMainForm::FormShow() {
  RunHandler(kStartUpSource, [this] {
    programFolder_ = environment_.programFolder.empty() ? ProgramFolderOf(ExecutablePath())
                                                        : environment_.programFolder;
    log_.SetFileName(programFolder_ + kLogFileName);
    TApplication::Instance().SetErrorListener(
        [this](const std::string& source, const std::string& message) {
          log_.Add("Error (" + source + "): " + message);
        });
    SetSwallowedErrorSink([this](const std::string& reason, const std::string& message) {
      log_.Add("Socket error swallowed (" + reason + "): " + message);
    });
    log_.Add("Isoview started in " + programFolder_);
    for (const std::string& line : ProxyReport(environment_.proxies)) log_.Add(line);
    archive_.emplace(programFolder_, log_, *environment_.clock, *environment_.zone);
    const int removed = RemoveDeadTemporaries(programFolder_);
    if (removed > 0) log_.Add("Removed " + IntToStr(removed) + " temporary files of ended runs");
    LoadEventTable();
    setWindowTitle(kCaption);
  });
}

void TMainForm::LoadEventTable() {
  const int dropped = eventTable_.Load(programFolder_ + kScheduleFileName);
  log_.Add("Schedule loaded: " + IntToStr(eventTable_.Count()) + " events");
  if (dropped > 0)
    TApplication::Instance().ShowError(kScheduleSource, DroppedEventsMessage(dropped));
}

void TMainForm::ClockTimerTimer() {
  RunHandler(kClockSource, [this] {
    ui_->Status3->setText(QString::number(eventTable_.Count()));
    clockTimer_.stop();
    const TClockTick tick = utcClock_.Tick(eventTable_);
    ui_->Status1->setText(ToQString(tick.time));
    if (!tick.note.empty()) log_.Add(tick.note);
    for (const std::string& line : tick.queued) AppendToQueue(line);
    ShowNextEvent();
    clockTimer_.start();
  });
}

void TMainForm::AppendToQueue(const std::string& line) {
  queue_.Append(line);
  log_.Add("Queued: " + SqueezeBlanks(ShownLine(line)));
  ShowQueue();
}

void TMainForm::ShowQueue() {
  QStringList lines;
  for (const std::string& line : queue_.Lines()) lines << ToQString(ShownLine(line));
  ui_->Queue->setPlainText(lines.join('\n'));
  SetFailingSources(queue_.FailingCount());
}

void TMainForm::SlowClockTimerTimer() {
  if (archive_) RunHandler(kArchiveSource, [this] { archive_->PruneWhenDue(); });
  if (queue_.Empty()) return;
  slowClockTimer_.stop();
  RunDueLines();
  slowClockTimer_.start();
  ShowRetryStatus();
}

// After a job ends the next due line starts at once, so a minute with many events drains
// as fast as the jobs run; the slow tick paces only an idle queue and retries. A line that
// failed waits for its back-off, so it is not taken again here.
void TMainForm::RunDueLines() {
  for (auto line = queue_.NextDue(QueueTime()); line != queue_.End() && !stopping_;
       line = queue_.NextDue(QueueTime())) {
    RunQueuedLine(line);
    ProcessMessages();
  }
}

// A line leaves the queue when its job ended normally or when it is given up.
void TMainForm::RunQueuedLine(TFetchQueue::Position line) {
  const TFetchInputs inputs = CutFetchInputs(line->line);
  try {
    ShowStatus("Downloading " + UrlWithoutPassword(inputs.URL) + "...");
    RunFetchJob(
        {*this, download_, preview_, ui_->ImageScrollBox1->ImageScrollBox(), log_, programFolder_,
         *environment_.clock, *environment_.zone, archive_ ? &*archive_ : nullptr},
        inputs, line->progress);
    ShowStatus("Done");
    queue_.Remove(line);
    ShowQueue();
  } catch (const std::exception& error) {
    // A job cut short by the stop is no failure of its source.
    if (!stopping_) QueuedLineFailed(line, inputs, error);
  }
}

void TMainForm::QueuedLineFailed(TFetchQueue::Position line, const TFetchInputs& inputs,
                                 const std::exception& error) {
  const std::string source = SourceOfLine(line->line);
  TApplication::Instance().ShowException(source, error);
  const int attempts = line->failures.Attempts() + 1;
  if (queue_.Failed(line, QueueTime()))
    TApplication::Instance().ShowError(source, GiveUpMessage(FetchJobName(inputs), attempts));
  ShowQueue();
}

void TMainForm::ShowRetryStatus() {
  const TQueuedLine* next = queue_.NextRetry();
  if (!next) return;
  const int64_t seconds = std::max<int64_t>(0, (next->retryAt.ms - QueueTime().ms + 999) / 1000);
  ShowStatus("Retrying " + CutFetchInputs(next->line).Title + " in " + IntToStr(seconds) + " s");
}

// UTC when the clock can tell it; its own error is shown every second already, so the local
// time serves instead.
TDateTime TMainForm::QueueTime() const {
  try {
    return UtcNowForClock(*environment_.clock, *environment_.zone);
  } catch (const std::exception&) {
    return environment_.clock->Now();
  }
}

void TMainForm::HTTPRequestDone() {
  ShowStatus("Idle");
  downloadProgress_->clear();
}

void TMainForm::ShowStatus(const std::string& Text) {
  ui_->Status2->setText(ToQString(Text));
  emit Status2Changed(ui_->Status2->text());
}

void TMainForm::ProcessMessages() {
  TApplication::Instance().ProcessMessages();
}

void TMainForm::ShowMessage(const std::string& Text) {
  TApplication::Instance().ShowMessage(Text);
}

void TMainForm::PreviewChanged() {
  const TBitmap& bitmap = preview_.Bitmap();
  ui_->Image1->resize(bitmap.Width(), bitmap.Height());
  ui_->Image1->setPixmap(QPixmap::fromImage(ToQImage(bitmap.Dib())));
}

bool TMainForm::PrinterDisabled() {
  return ui_->DisablePrinter->isChecked();
}

void TMainForm::PrintPreview(const std::string& Neg) {
  const std::string printout = printer_.PrintBitmap(preview_.Bitmap(), Neg);
  if (!printout.empty()) log_.Add("Printout written to " + printout);
}

void TMainForm::FileSaved(const std::string& FileName) {
  lastSaved_->setText(ToQString(LastSavedText(FileName, QueueTime())));
  lastSaved_->setToolTip(lastSaved_->text());
}

void TMainForm::Edit1Click() {
  RunHandler(kEditorSource, [this] {
    if (scheduleForm_ && scheduleForm_->exec() == QDialog::Accepted)
      log_.Add("Editor wrote " + programFolder_ + kScheduleFileName + " and " + programFolder_ +
               kResourceFileName);
    LoadEventTable();
    utcClock_.ScheduleEdited();
  });
}

// Not modal: the station goes on fetching while the operator looks through the archive.
void TMainForm::Archive1Click() {
  if (archiveForm_) archiveForm_->Open();
}

void TMainForm::DefaultJPEGcompression1Click() {
  RunHandler(kJPEGQualitySource, [this] {
    if (!jpegCompressionForm_) return;
    const std::string fileName = programFolder_ + kJPEGQualityFileName;
    // A missing file ends the command before the dialog opens; none is made with a default.
    const std::optional<std::string> text = jpegCompressionForm_->Edit(ReadFirstLine(fileName));
    if (text) WriteTextFile(fileName, {*text});
  });
}

void TMainForm::Exit1Click() {
  close();
}

void TMainForm::Printersetup1Click() {
  RunHandler(kPrinterSetupSource, [this] { printer_.Setup(this); });
}

void TMainForm::About1Click() {
  QMessageBox::about(this, "About Isoview",
                     "Isoview\n"
                     "Weather charts fetched, saved and printed on a UTC timetable.\n"
                     "Made by the Isoview developers.");
}
