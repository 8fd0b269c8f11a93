// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/fuzz_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "platform/base/messages.h"
#include "platform/base/timebase.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/toolkit/fonts.h"

namespace fuzz {

namespace {
void QuietQt(QtMsgType type, const QMessageLogContext&, const QString& msg) {
  if (type == QtFatalMsg || std::getenv("OSCILOSKOP_QT_DEBUG"))
    std::fprintf(stderr, "qt: %s\n", msg.toLocal8Bit().constData());
}
}  // namespace

void InitQt() {
  static bool done = false;
  if (done) return;
  done = true;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string runtime = "/tmp/osciloskop-fuzz-runtime-" + std::to_string(getuid());
  mkdir(runtime.c_str(), 0700);
  chmod(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  qInstallMessageHandler(QuietQt);
  static int argc = 1;
  static char name[] = "fuzz";
  static char* argv[] = {name, nullptr};
  static QApplication* qt = new QApplication(argc, argv);
  (void)qt;
  std::setlocale(LC_NUMERIC, "C");
  if (std::string e = platform::LoadUiFont(); !e.empty()) {
    std::fprintf(stderr, "fuzz: %s\n", e.c_str());
    std::abort();
  }
}

std::string WorkFolder() {
  static const std::string folder = [] {
    char dir[] = "/tmp/osciloskop-fuzz-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
      std::perror("fuzz: working folder");
      std::abort();
    }
    return std::string(dir);
  }();
  return folder;
}

Instrument::Instrument(int idle_quantum_ms) {
  platform::UseVirtualClock(true);
  platform::ResetVirtualCard();
  platform::DispatchPostedMessages();
  options_.headless = true;
  options_.script = "fuzz.txt";
  options_.idle_quantum_ms = idle_quantum_ms;
  app_ = std::make_unique<platform::TApplication>(options_);
  app_->CreateForm(osciloskop::Form1);
  form_ = osciloskop::Form1;
}

Instrument::~Instrument() {
  app_.reset();
  platform::ResetVirtualCard();
  platform::DispatchPostedMessages();
}

void Expect(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz: %s\n", what.c_str());
  std::abort();
}

}  // namespace fuzz
