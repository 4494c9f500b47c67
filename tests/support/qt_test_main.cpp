#include "tests/support/qt_test_main.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

namespace {

TQtTestSetUp::TAround& Around() {
  static TQtTestSetUp::TAround around = [](const std::function<int()>& runTests) {
    return runTests();
  };
  return around;
}

}  // namespace

TQtTestSetUp::TQtTestSetUp(TAround around) {
  Around() = std::move(around);
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  ::testing::InitGoogleTest(&argc, argv);
  return Around()([] { return RUN_ALL_TESTS(); });
}
