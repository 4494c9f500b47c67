#include <QApplication>

#include "app/jpeg_compression_form.h"
#include "app/main_form.h"
#include "app/program_folder.h"
#include "gui/qt_message_pump.h"
#include "imaging/image_library.h"
#include "imaging/jpeg_image.h"
#include "schedule/schedule_form.h"

// The windows are made in this order and all live for the whole run; the main window's
// menu shows the others on demand.
int main(int argc, char** argv) {
  // The image modules' formats are known before any window exists; the image library's
  // are removed again when this scope ends.
  RegisterJPEGFormats();
  const TImageLibraryFormats imageLibraryFormats;
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  TQtMessagePump messagePump;
  TMainForm mainForm;
  TScheduleForm scheduleForm(ProgramFolderOf(ExecutablePath()), &mainForm);
  TJPEGCompressionForm jpegCompressionForm(&mainForm);
  mainForm.SetScheduleForm(&scheduleForm);
  mainForm.SetJPEGCompressionForm(&jpegCompressionForm);
  mainForm.show();
  const int result = QApplication::exec();
  UnregisterJPEGFormats();
  return result;
}
