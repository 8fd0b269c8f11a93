// Test main: Qt on its offscreen platform with a private runtime directory.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string runtime = std::string("/tmp/osciloskop-test-") + std::to_string(getpid());
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
