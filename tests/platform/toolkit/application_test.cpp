// SPDX-License-Identifier: GPL-3.0-or-later
// The application object's creation of forms and its error display.
#include "platform/toolkit/application.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/base/timebase.h"
#include "platform/headless/headless.h"
#include "platform/options.h"

namespace {

class FailingForm final : public platform::TForm {
 public:
  explicit FailingForm(platform::TComponent* owner) : platform::TForm(owner) {}
  static const platform::FormDesc& StoredForm() {
    static const platform::FormDesc d = {.Name = "FailingForm",
                                         .Caption = "okno",
                                         .Events = {{"OnCreate", "FormCreate"}},
                                         .Controls = {{.Name = "B", .Class = platform::ControlClass::Button}}};
    return d;
  }
  int steps_before_failure = 0;

 protected:
  platform::TNotifyEvent FindNotify(std::string_view m) override {
    if (m != "FormCreate") return {};
    return [this](platform::TObject*) {
      steps_before_failure = 1;
      throw std::runtime_error("No mixer device present in this system.");
    };
  }
};

TEST(Application, AnErrorInTheCreationHandlerIsShownAndTheWindowStillOpens) {
  platform::UseVirtualClock(true);
  platform::PlatformOptions o;
  o.headless = true;
  o.script = "(test)";
  platform::TApplication app(o);
  FailingForm* f = nullptr;
  testing::internal::CaptureStderr();
  app.CreateForm(f);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(app.MainForm(), f);
  EXPECT_EQ(f->steps_before_failure, 1);
  ASSERT_EQ(app.Errors().size(), 1u);
  EXPECT_EQ(app.Errors()[0], "No mixer device present in this system.");
  EXPECT_NE(err.find("No mixer device present in this system."), std::string::npos);
  EXPECT_NE(f->Control("B"), nullptr);
  EXPECT_FALSE(f->Closed());
  // The error is part of the dump, and without an idle handler time just passes.
  platform::RunFor(app, 0.5);
  const std::string dump = platform::DumpText(app);
  EXPECT_NE(dump.find("\"errors\": [\"No mixer device present in this system.\"]"), std::string::npos)
      << dump.substr(dump.size() - 200);
}

TEST(Options, BadOptionsAreNamedAndGoodOnesParsed) {
  platform::PlatformOptions o;
  std::string e;
  EXPECT_TRUE(platform::ParseOptions({"--signal-r=sine:600", "--signal-l=square:50:100", "--headless",
                                      "--script=a.txt", "--idle-quantum-ms=5", "--busy-idle"},
                                     o, e))
      << e;
  EXPECT_TRUE(o.busy_idle);
  EXPECT_EQ(o.signal_r, "sine:600");
  EXPECT_EQ(o.signal_l, "square:50:100");
  EXPECT_EQ(o.idle_quantum_ms, 5);
  struct Bad {
    std::vector<std::string> args;
    const char* mentions;
  } bad[] = {{{"--frobnicate"}, "--frobnicate"},
             {{"--card=pulse"}, "pulse"},
             {{"--headless"}, "--script"},
             {{"--script="}, "--script"},
             {{"--idle-quantum-ms=0", "--headless", "--script=x"}, "idle-quantum"},
             {{"--idle-quantum-ms=2x"}, "2x"}};
  for (const auto& b : bad) {
    platform::PlatformOptions p;
    std::string msg;
    EXPECT_FALSE(platform::ParseOptions(b.args, p, msg)) << b.args[0];
    EXPECT_NE(msg.find(b.mentions), std::string::npos) << msg;
  }
}

}  // namespace
