// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fresh instrument per test: a headless application on the virtual clock
// and a fresh virtual card, the main window built and its FormCreate run.
#include <gtest/gtest.h>

#include <memory>

#include "instrument/Form1.h"
#include "platform/base/platform_options.h"
#include "platform/base/timebase.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/headless/headless.h"
#include "platform/mm/volume.h"
#include "platform/toolkit/application.h"

namespace osciloskop::testing {

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::UseVirtualClock(true);
    platform::ResetVirtualCard();
    platform::DispatchPostedMessages();
    options_.headless = true;
    options_.script = "(test)";
    app_ = std::make_unique<platform::TApplication>(options_);
    app_->CreateForm(Form1);
    form = Form1;
  }
  void TearDown() override {
    app_.reset();
    platform::ResetVirtualCard();
    platform::DispatchPostedMessages();
  }
  // Runs the instrument for that much virtual time (idle steps of 1 ms).
  void Run(double seconds) { platform::RunFor(*app_, seconds); }
  platform::TApplication& App() { return *app_; }

  TForm1* form = nullptr;

 private:
  platform::PlatformOptions options_;
  std::unique_ptr<platform::TApplication> app_;
};

}  // namespace osciloskop::testing
