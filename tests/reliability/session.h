// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program as a headless run has it, in this process: the virtual card set
// up from the platform's options (signal and mixer commands included), the
// application on the virtual clock and the main window started. Script lines
// go through the program's own script runner one at a time, so a test can
// look at everything between two lines, and the lines so far are a script
// the built program replays.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "instrument/Form1.h"
#include "platform/base/messages.h"
#include "platform/base/platform_options.h"
#include "platform/base/timebase.h"
#include "platform/card/cards.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/headless/headless.h"
#include "platform/toolkit/application.h"
#include "tests/support/captured_stderr.h"

namespace reliability {

inline std::string TempDir() {
  char templ[] = "/tmp/osciloskop-reliability-XXXXXX";
  const char* d = mkdtemp(templ);
  return d ? d : "/tmp";
}

class Session {
 public:
  // Prepares the card as the program does with these options, then `before`
  // (faults to inject before start-up), then starts the instrument.
  explicit Session(platform::PlatformOptions options, const std::function<void()>& before = {})
      : options_(std::move(options)), dir_(TempDir()) {
    options_.headless = true;
    options_.script = dir_ + "/line.txt";
    platform::UseVirtualClock(true);
    platform::ResetVirtualCard();
    platform::DispatchPostedMessages();
    const std::string error = platform::SetUpCard(options_);
    EXPECT_EQ(error, "");
    if (before) before();
    app_ = std::make_unique<platform::TApplication>(options_);
    testsupport::CapturedStderr err;
    app_->CreateForm(osciloskop::Form1);
    startup_err_ = err.Take();
    form_ = osciloskop::Form1;
  }
  ~Session() {
    app_.reset();
    platform::FinishCard(0);
    platform::ResetVirtualCard();
    platform::DispatchPostedMessages();
  }

  // Runs one script line; returns "" or the runner's message (without
  // "FILE:LINE: "). The line is added to Script() either way.
  std::string Line(const std::string& line) {
    script_ += line + "\n";
    {
      std::ofstream f(options_.script, std::ios::trunc);
      f << line << "\n";
    }
    testsupport::CapturedStderr err;
    const int status = platform::RunScript(*app_, options_.script);
    std::string text = err.Take();
    if (status == 0) accepted_ += line + "\n";
    if (status == 0) return text.empty() ? std::string() : "stderr: " + text;
    const std::string prefix = options_.script + ":1: ";
    if (text.rfind(prefix, 0) == 0) text.erase(0, prefix.size());
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text.empty() ? "status " + std::to_string(status) : text;
  }

  osciloskop::TForm1& Form() { return *form_; }
  platform::TApplication& App() { return *app_; }
  const std::string& Dir() const { return dir_; }
  const std::string& Script() const { return script_; }
  // The lines that ran (a refused line changes nothing, so these alone are
  // the session for a replay).
  const std::string& Accepted() const { return accepted_; }
  const std::string& StartupStderr() const { return startup_err_; }
  std::string Dump() { return platform::DumpText(*app_); }

 private:
  platform::PlatformOptions options_;
  std::string dir_;
  std::unique_ptr<platform::TApplication> app_;
  osciloskop::TForm1* form_ = nullptr;
  std::string script_;
  std::string accepted_;
  std::string startup_err_;
};

}  // namespace reliability
