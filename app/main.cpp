#include <QApplication>

#include "app/main_form.h"
#include "gui/qt_message_pump.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  TQtMessagePump messagePump;
  TMainForm mainForm;
  mainForm.show();
  return QApplication::exec();
}
