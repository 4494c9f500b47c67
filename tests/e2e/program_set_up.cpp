// The program's windows end to end: the message loop driven from Qt as in the program, and
// the program's image formats.
#include "gui/qt_message_pump.h"
#include "program/program_formats.h"
#include "tests/support/qt_test_main.h"

namespace {

const TQtTestSetUp kProgramSetUp([](const std::function<int()>& runTests) {
  const TProgramFormats formats;
  TQtMessagePump messagePump;
  return runTests();
});

}  // namespace
