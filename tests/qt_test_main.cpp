// gtest with the QApplication that the windows need.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Listing and running the tests never needs a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
