#include <QApplication>
#include <QScreen>

#include "app/jpeg_compression_form.h"
#include "app/main_form.h"
#include "app/program_folder.h"
#include "gif/gif_codec.h"
#include "gui/qt_message_pump.h"
#include "imaging/image_library.h"
#include "imaging/jpeg_image.h"
#include "schedule/schedule_form.h"

namespace {
// What the bitmaps hold when no screen tells its depth.
constexpr int kTrueColorBits = 24;
}  // namespace

// The windows are made in this order and all live for the whole run; the main window's
// menu shows the others on demand.
int main(int argc, char** argv) {
  // The image modules' formats are known before any window exists; the image library's
  // are removed again when this scope ends.
  RegisterJPEGFormats();
  const TImageLibraryFormats imageLibraryFormats;
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  // The GIF codec asks the screen for its depth, so it starts once the application exists.
  const QScreen* screen = QGuiApplication::primaryScreen();
  GIFCodecStartup(screen != nullptr ? screen->depth() : kTrueColorBits);
  TQtMessagePump messagePump;
  TMainForm mainForm;
  TScheduleForm scheduleForm(ProgramFolderOf(ExecutablePath()), &mainForm);
  TJPEGCompressionForm jpegCompressionForm(&mainForm);
  mainForm.SetScheduleForm(&scheduleForm);
  mainForm.SetJPEGCompressionForm(&jpegCompressionForm);
  mainForm.show();
  const int result = QApplication::exec();
  GIFCodecShutdown();
  UnregisterJPEGFormats();
  return result;
}
