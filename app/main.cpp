#include <QApplication>
#include <QScreen>

#include "app/jpeg_compression_form.h"
#include "app/main_form.h"
#include "fetch/program_folder.h"
#include "fetch/program_formats.h"
#include "gui/qt_message_pump.h"
#include "runtime/memory_reuse.h"
#include "schedule/preview_form.h"
#include "schedule/schedule_form.h"

// The windows are made in this order and all live for the whole run; the main window's
// menu shows the others on demand.
int main(int argc, char** argv) {
  KeepFreedImageMemory();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  // The formats are known before any window exists; GIF drawing asks the screen for its
  // depth, so they start once the application exists.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const TProgramFormats formats(screen != nullptr ? screen->depth() : kTrueColorBits);
  TQtMessagePump messagePump;
  TMainForm mainForm;
  TScheduleForm scheduleForm(ProgramFolderOf(ExecutablePath()), &mainForm);
  TJPEGCompressionForm jpegCompressionForm(&mainForm);
  // A child of the editor, so that it takes input while the editor is modal.
  TPreviewForm previewForm({}, &scheduleForm);
  scheduleForm.SetPreviewer([&](const std::string& url) { previewForm.Preview(url); });
  mainForm.SetScheduleForm(&scheduleForm);
  mainForm.SetJPEGCompressionForm(&jpegCompressionForm);
  mainForm.show();
  return QApplication::exec();
}
