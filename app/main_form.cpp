#include "app/main_form.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QStatusBar>

#include "app/animated_gif.h"
#include "app/archive_form.h"
#include "app/jpeg_compression_form.h"
#include "app/qt_chart_view.h"
#include "app/qt_sources_table.h"
#include "app/source_texts.h"
#include "app/status_texts.h"
#include "gif/gif_image.h"
#include "gui/application.h"
#include "gui/elided_label.h"
#include "gui/qt_image.h"
#include "gui/text_conversion.h"
#include "http/swallowed_errors.h"
#include "program/date_codes.h"
#include "program/jpeg_quality.h"
#include "program/program_folder.h"
#include "runtime/text_file.h"
#include "schedule/list_files.h"
#include "schedule/schedule_form.h"
#include "ui_main_form.h"

namespace {

constexpr const char* kCaption = "Isoview V1.2";
// Small enough for any screen; wide enough that the panel's controls keep their places
// without overlapping, and tall enough for the panel, the status bar and some preview.
constexpr int kMinimumWidth = 688;
constexpr int kMinimumHeight = 320;
// The small viewer keeps its distance to the window's right edge.
constexpr int kViewerRightMargin = 8;
// The sources table takes a third of the room under the panel, the chart the rest.
constexpr int kSourcesStretch = 1;
constexpr int kChartStretch = 2;
constexpr int kSplitterUnit = 100;
// Where the errors of the window's own handlers come from, as the error display names them.
constexpr const char* kEditorSource = "Editor";
constexpr const char* kJPEGQualitySource = "JPEG quality";
constexpr const char* kPrinterSetupSource = "Printer setup";

TMainFormEnvironment WithProgramFolder(TMainFormEnvironment environment) {
  if (environment.programFolder.empty())
    environment.programFolder = ProgramFolderOf(ExecutablePath());
  return environment;
}

// Lines that only show have no saves to loop.
TLoopOffer LoopOffer(const std::vector<TSourceRow>& rows, const TStationSettings& settings) {
  TLoopOffer offer{{}, settings.loopFrames, settings.loopDelayCentiseconds};
  for (const TSourceRow& row : rows)
    if (!row.target.empty()) offer.sources.push_back({row.title, row.target});
  return offer;
}

}  // namespace

TMainForm::TMainForm(TMainFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::TMainForm>()),
      environment_(WithProgramFolder(std::move(environment))),
      settings_(environment_.programFolder),
      printer_(*environment_.clock, *environment_.zone),
      animation_([this](const QImage& frame) { ui_->ChartView->ShowPicture(frame); }) {
  ui_->setupUi(this);
  // Sizes in proportion: the splitter shares whatever room it gets by them.
  ui_->MainSplitter->setSizes({kSourcesStretch * kSplitterUnit, kChartStretch * kSplitterUnit});
  ui_->MainSplitter->setStretchFactor(0, kSourcesStretch);
  ui_->MainSplitter->setStretchFactor(1, kChartStretch);
  BuildStatusBar();
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  ui_->BasicPanel->installEventFilter(this);
  settings_.RestoreWindow(*this);
  settings_.RestorePrinter(printer_.Printer());
  ui_->DisablePrinter->setChecked(settings_.PrinterDisabled());
  station_ = std::make_unique<TStation>(
      TStationEnvironment{environment_.programFolder, environment_.clock, environment_.zone,
                          environment_.steady, environment_.proxies, &settings_,
                          environment_.tickIntervalMs},
      static_cast<TStationReport&>(*this));
  station_->SetPrinter(this);
  station_->SetPrinterDisabled(ui_->DisablePrinter->isChecked());
  connect(ui_->Edit1, &QAction::triggered, this, &TMainForm::Edit1Click);
  connect(ui_->Archive1, &QAction::triggered, this, &TMainForm::Archive1Click);
  connect(ui_->DefaultJPEGcompression1, &QAction::triggered, this,
          &TMainForm::DefaultJPEGcompression1Click);
  connect(ui_->Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
  connect(ui_->Printersetup1, &QAction::triggered, this, &TMainForm::Printersetup1Click);
  connect(ui_->About1, &QAction::triggered, this, &TMainForm::About1Click);
  connect(ui_->DisablePrinter, &QCheckBox::toggled, this, &TMainForm::DisablePrinterClick);
}

// The error listener and the swallowed-error sink write into the station's log, which goes
// with this window.
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

// An operator who closes the window by mistake would miss every chart until someone
// notices; a signal (a service's stop) ends the program without this question.
void TMainForm::closeEvent(QCloseEvent* event) {
  if (next_ && !TApplication::Instance().Ask(CloseQuestionText(*next_))) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
  settings_.SaveWindow(*this);
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
  // A long path gives way in its middle; its file name and extension stay.
  lastSaved_ = new TElidedLabel("Nothing saved yet", statusBar());
  lastSaved_->setObjectName("LastSaved");
  nextEvent_ = part("NextEvent", "");
  statusBar()->addWidget(failingSources_);
  statusBar()->addWidget(downloadProgress_);
  statusBar()->addWidget(lastSaved_, 1);
  statusBar()->addPermanentWidget(nextEvent_);
}

void TMainForm::FollowRightEdge() {
  const int width = ui_->BasicPanel->width();
  QWidget& viewer = *ui_->ImageScrollBox1;
  viewer.move(width - kViewerRightMargin - viewer.width(), viewer.y());
}

void TMainForm::StopOnSignal(const std::string& signal) {
  Stop("Isoview stopped by " + signal);
}

void TMainForm::Stop(const std::string& logLine) {
  station_->Stop(logLine);
}

// Errors of other windows are logged here; the station logs its own before it reports them.
void TMainForm::FormShow() {
  const TEventLog& log = station_->Log();
  TApplication::Instance().SetErrorListener(
      [&log](const std::string& source, const std::string& message) {
        log.Add("Error (" + source + "): " + message);
      });
  SetSwallowedErrorSink([&log](const std::string& reason, const std::string& message) {
    log.Add("Socket error swallowed (" + reason + "): " + message);
  });
  if (station_->Start()) setWindowTitle(kCaption);
}

void TMainForm::ClockTicked(const TClockReport& clock) {
  ui_->Status3->setText(QString::number(clock.eventsLoaded));
  if (!clock.time.empty()) ui_->Status1->setText(ToQString(clock.time));
}

void TMainForm::StatusChanged(const std::string& text) {
  ui_->Status2->setText(ToQString(text));
  emit Status2Changed(ui_->Status2->text());
}

void TMainForm::QueueChanged(const TQueueReport& queue) {
  ui_->QueueState->setText(ToQString(QueueText(queue)));
}

// A given-up source stays in the count until it delivers again, as the station tells it.
void TMainForm::SourcesChanged(const std::vector<TSourceRow>& rows) {
  ui_->SourcesTable->Show(rows);
  const TDateTime utcNow = UtcForDateCodes(environment_.clock->NowIn(*environment_.zone));
  failingSources_->setText(ToQString(FailingSourcesText(rows, utcNow)));
}

void TMainForm::NextEventChanged(const std::optional<TNextEvent>& next) {
  next_ = next;
  nextEvent_->setText(ToQString(NextEventText(next)));
}

void TMainForm::ProgressChanged(const TProgressReport& progress) {
  downloadProgress_->setText(ToQString(ProgressText(progress)));
  if (progress.downloads > 0) emit DownloadProgressChanged(downloadProgress_->text());
}

TQtChartView& TMainForm::ChartView() {
  return *ui_->ChartView;
}

void TMainForm::ChartReady(const std::shared_ptr<const TBitmap>& chart) {
  ++chartsShown_;
  animation_.Stop();
  ui_->ChartView->ShowPicture(ToQImage(chart->Dib()));
}

// An animated chart plays once its frames are read, unless a newer chart came meanwhile.
void TMainForm::ChartFileKept(const std::string& fileName) {
  auto image = std::make_shared<std::shared_ptr<TGIFImage>>();
  gifReader_.Submit([image, fileName] { *image = ReadAnimatedGif(fileName); },
                    [this, image, chart = chartsShown_] {
                      if (chart == chartsShown_) animation_.Play(*image);
                    });
}

void TMainForm::Saved(const TSaveReport& save) {
  lastSaved_->setText(ToQString(LastSavedText(save.path, save.utc)));
  lastSaved_->setToolTip(lastSaved_->text());
}

void TMainForm::ErrorReported(const TErrorReport& error) {
  TApplication::Instance().ErrorDisplay().Show(error.source, error.message);
}

std::string TMainForm::Print(const TBitmap& picture, const std::string& neg) {
  return printer_.PrintBitmap(picture, neg);
}

// Modal, while the station goes on: it runs on the loop, which the dialog's events drive.
void TMainForm::Edit1Click() {
  RunHandler(kEditorSource, [this] {
    if (scheduleForm_ && scheduleForm_->exec() == QDialog::Accepted)
      Log().Add("Editor wrote " + ProgramFolder() + kScheduleFileName + " and " + ProgramFolder() +
                kResourceFileName);
    station_->ScheduleEdited();
  });
}

// Not modal: the station goes on fetching while the operator looks through the archive.
void TMainForm::Archive1Click() {
  if (!archiveForm_) return;
  archiveForm_->SetLoopOffer(LoopOffer(station_->SourceRows(), station_->Settings()));
  archiveForm_->Open();
}

void TMainForm::DefaultJPEGcompression1Click() {
  RunHandler(kJPEGQualitySource, [this] {
    if (!jpegCompressionForm_) return;
    const std::string fileName = ProgramFolder() + kJPEGQualityFileName;
    // A missing file ends the command before the dialog opens; none is made with a default.
    const std::optional<std::string> text = jpegCompressionForm_->Edit(ReadFirstLine(fileName));
    if (text) WriteTextFile(fileName, {*text});
  });
}

void TMainForm::Exit1Click() {
  close();
}

void TMainForm::Printersetup1Click() {
  RunHandler(kPrinterSetupSource, [this] {
    if (printer_.Setup(this)) settings_.SavePrinter(printer_.Printer());
  });
}

void TMainForm::DisablePrinterClick(bool checked) {
  station_->SetPrinterDisabled(checked);
  settings_.SetPrinterDisabled(checked);
}

void TMainForm::About1Click() {
  QMessageBox::about(this, "About Isoview",
                     "Isoview\n"
                     "Weather charts fetched, saved and printed on a UTC timetable.\n"
                     "Made by the Isoview developers.");
}
