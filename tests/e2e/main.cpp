// The program's windows end to end: one QApplication for the whole run (offscreen), the
// message loop driven from Qt as in the program, and the program's image formats.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

#include "fetch/program_formats.h"
#include "gui/qt_message_pump.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  const TProgramFormats formats;
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  TQtMessagePump messagePump;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
