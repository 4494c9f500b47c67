#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <exception>

#include "app/archive_form.h"
#include "app/command_line.h"
#include "app/jpeg_compression_form.h"
#include "app/main_form.h"
#include "app/new_program_folder.h"
#include "app/program_folder_choice.h"
#include "app/qt_web_page.h"
#include "gui/qt_message_pump.h"
#include "gui/stop_signals.h"
#include "program/event_log.h"
#include "program/program_folder.h"
#include "program/program_formats.h"
#include "runtime/memory_reuse.h"
#include "schedule/preview_form.h"
#include "schedule/schedule_form.h"

namespace {

constexpr int kExitFolderFailed = 1;

// The windows are made in this order and all live for the whole run; the main window's
// menu shows the others on demand.
int RunWindows(const std::string& programFolder, const std::string& webAddress) {
  // Qt gets no arguments: the program has no options but its own.
  int qtArgc = 1;
  char name[] = "isoview";
  char* qtArgv[] = {name, nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName("Isoview");
  // The formats are known before any window exists; GIF drawing asks the screen for its
  // depth, so they start once the application exists.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const TProgramFormats formats(screen != nullptr ? screen->depth() : kTrueColorBits);
  TQtMessagePump messagePump;
  // Made before the station, which reports to it until it ends.
  TStationSnapshot webSnapshot;
  TMainForm mainForm(TMainFormEnvironment{.programFolder = programFolder});
  mainForm.Station().AddReport(webSnapshot);
  const std::unique_ptr<TWebServer> webPage = StartWebPage(
      programFolder, webAddress, webSnapshot, mainForm.Station().Settings(), mainForm.Log());
  TScheduleForm scheduleForm(programFolder, &mainForm);
  TJPEGCompressionForm jpegCompressionForm(&mainForm);
  // A child of the editor, so that it takes input while the editor is modal.
  TPreviewForm previewForm(programFolder, &scheduleForm);
  previewForm.SetLog(&mainForm.Log());
  scheduleForm.SetPreviewer([&](const std::string& url, std::function<void()> ended) {
    previewForm.Preview(url, std::move(ended));
  });
  mainForm.SetScheduleForm(&scheduleForm);
  mainForm.SetJPEGCompressionForm(&jpegCompressionForm);
  TArchiveForm archiveForm(programFolder, mainForm.Printer(), &mainForm);
  archiveForm.SetLog(&mainForm.Log());
  mainForm.SetArchiveForm(&archiveForm);
  const TStopSignals stopSignals([&mainForm](const std::string& signal) {
    mainForm.StopOnSignal(signal);
    // Every loop ends, a modal dialog's too, and the program exits normally.
    QCoreApplication::exit(0);
  });
  mainForm.show();
  return QApplication::exec();
}

// Chooses the program folder and makes it on first start; answers "" when it cannot.
std::string PrepareProgramFolder(const std::string& explicitFolder) {
  const std::string executable = ExecutablePath();
  const std::string folder =
      ChooseProgramFolder(explicitFolder, executable, DataHomeFromEnvironment());
  try {
    const std::string made = MakeProgramFolder(folder, ExamplesFolderOf(executable));
    if (!made.empty()) TEventLog(folder + kLogFileName).Add(made);
    return folder;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "isoview: %s\n", error.what());
    return "";
  }
}

}  // namespace

// The command line is read before Qt starts, so that --help and --version need no display.
int main(int argc, char** argv) {
  const TCommandLine commandLine =
      ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (commandLine.action) {
    case TCommandAction::caHelp:
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    case TCommandAction::caVersion:
      std::fputs(VersionText().c_str(), stdout);
      return 0;
    case TCommandAction::caUsageError:
      std::fprintf(stderr, "isoview: %s\nTry 'isoview --help'.\n", commandLine.error.c_str());
      return kExitUsage;
    case TCommandAction::caRun:
      break;
  }
  KeepFreedImageMemory();
  const std::string programFolder = PrepareProgramFolder(commandLine.folder);
  if (programFolder.empty()) return kExitFolderFailed;
  return RunWindows(programFolder, commandLine.web);
}
