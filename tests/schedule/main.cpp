// The window tests need one QApplication for the whole run (offscreen platform).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  QApplication::setApplicationName("Isoview");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
