// SPDX-License-Identifier: GPL-3.0-or-later
// Test main: Qt on its offscreen platform with a private runtime directory
// the interface font loaded and the virtual card installed, as a headless
// run of the program has them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/card/virtual/virtual_card.h"
#include "platform/toolkit/fonts.h"

namespace {
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& msg) {
  if (type == QtFatalMsg || std::getenv("OSCILOSKOP_QT_DEBUG"))
    std::fprintf(stderr, "qt: %s\n", msg.toLocal8Bit().constData());
}
}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string runtime = "/tmp/osciloskop-test-runtime-" + std::to_string(getuid());
  mkdir(runtime.c_str(), 0700);
  chmod(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  qInstallMessageHandler(QuietQt);
  QApplication app(argc, argv);
  // Readouts always use a decimal point, whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
  if (std::string e = platform::LoadUiFont(); !e.empty()) {
    std::fprintf(stderr, "%s\n", e.c_str());
    return 1;
  }
  // The card a program without --card has.
  platform::ResetVirtualCard();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
