#include <QApplication>

#include "app/main_form.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  TMainForm mainForm;
  mainForm.show();
  return QApplication::exec();
}
