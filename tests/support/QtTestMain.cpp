#include <gtest/gtest.h>

#include <QApplication>

// Widgets need an application object for the whole run; tests run under Xvfb.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
