// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the fuzzers share: Qt on its offscreen platform with the interface
// font, as a headless run has them, and the instrument itself (a headless
// application on the virtual clock with the main window built and started).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "instrument/Form1.h"
#include "platform/base/platform_options.h"
#include "platform/toolkit/application.h"

namespace fuzz {

// Once per process, before anything else: Qt and the font. Aborts when it
// cannot.
void InitQt();

// A folder of this process's own under /tmp, made at the first call.
std::string WorkFolder();

// A fresh virtual card and a fresh instrument, started as the program starts.
class Instrument {
 public:
  explicit Instrument(int idle_quantum_ms = 1);
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  osciloskop::TForm1& Form() { return *form_; }
  platform::TApplication& App() { return *app_; }

 private:
  platform::PlatformOptions options_;
  std::unique_ptr<platform::TApplication> app_;
  osciloskop::TForm1* form_ = nullptr;
};

// Aborts with the message when `ok` is false: a finding.
void Expect(bool ok, const std::string& what);

}  // namespace fuzz
