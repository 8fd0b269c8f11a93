// SPDX-License-Identifier: GPL-3.0-or-later
// The window at rest: a loop that stops stepping once a step changes nothing
// shows the very pictures and states the busy loop (--busy-idle) shows, at
// every moment of a session that goes through what a user and the devices
// do; and the same script drives the window on a display.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/private_display.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

// A session with a dump and a screenshot at each moment `M`, written to the
// folder that `@` stands for. The frequencies are not whole numbers, so each
// one-second run captures a new picture.
std::string Session(int& moments) {
  const std::vector<std::string> steps = {
      "M", "wait 0.3", "M", "wait 1.0", "M",  // start-up, the first buffers
      "signal r sine:601.3:16000", "signal l square:599.6:9000", "M", "wait 0.26", "M", "wait 1.1", "M",
      // Every time base, the generator's among them, and back.
      "select ComboBox1 1", "M", "wait 1.05", "M", "select ComboBox1 2", "M", "wait 1.05", "M",
      "select ComboBox1 3", "M", "wait 1.05", "M", "select ComboBox1 4", "M", "wait 1.05", "M",
      "select ComboBox1 5", "M", "wait 1.05", "M", "select ComboBox1 6", "M", "wait 1.05", "M",
      "select ComboBox1 7", "M", "wait 1.05", "M", "select ComboBox1 8", "M", "wait 1.05", "M",
      "select ComboBox1 0", "wait 1.05", "M",
      // Single shots, the signal changing under one, and back to periodic.
      "click RadioButton2", "M", "wait 0.5", "M", "signal r sine:330.4:12000", "wait 1.1", "M",
      "click RadioButton2", "M", "wait 0.6", "M", "click RadioButton1", "wait 0.02", "M",
      "wait 1.1", "M",
      // The trigger list, which the next redraw puts back.
      "select ComboBox4 0", "M", "wait 0.01", "M",
      // Clear, trace shift, resizes (odd heights), optimum.
      "click file1", "M", "wait 0.3", "M", "position ScrollBar3 70", "M", "wait 1.1", "M",
      "resize 700 401", "M", "wait 1.1", "M", "resize 641 333", "M", "wait 1.1", "M",
      "resize 905 611", "M", "wait 0.4", "M", "click Button2", "M", "wait 1.1", "M",
      // The mixer changed from outside.
      "mixer speakers volume 30000", "M", "mixer speakers.line mute 1", "wait 0.3", "M",
      "wait 1.1", "M",
      // The generator looped back, its frequency changed from the keyboard.
      "signal r generator", "signal l silence", "wait 1.1", "M", "focus ScrollBar5",
      "key PageDown", "key PageDown", "wait 1.1", "M",
      // Across the sweep bands and above the readouts' limit.
      "signal r sine:40.3:20000", "wait 2.2", "M", "signal r sine:2000.5:16000", "wait 1.2", "M",
      "signal r square:150.2:30000", "signal l sine:75.1:8000", "wait 1.2", "M", "wait 1.0", "M"};
  // Every 40 ms for a second and a half: a buffer's picture is caught
  // between its arrival and whatever comes next.
  std::vector<std::string> all = steps;
  for (int i = 0; i < 40; ++i) all.insert(all.end(), {"wait 0.04", "M"});
  std::string script;
  moments = 0;
  for (const std::string& s : all) {
    if (s != "M") {
      script += s + "\n";
      continue;
    }
    const std::string name = "@/m" + std::to_string(moments++);
    script += "dump " + name + ".json\nscreenshot " + name + ".png\n";
  }
  return script;
}

std::string RunSession(const std::string& dir, const std::string& mode, const std::string& options) {
  int moments = 0;
  const std::string folder = dir + "/" + mode;
  mkdir(folder.c_str(), 0700);
  const std::string script = std::regex_replace(Session(moments), std::regex("@"), folder);
  WriteFile(folder + "/script.txt", script);
  const RunResult r = RunProgram(folder, "--headless --script='" + folder + "/script.txt' " + options);
  EXPECT_EQ(r.status, 0) << r.err;
  return folder;
}

long Steps(const std::string& dump) {
  std::smatch m;
  return std::regex_search(dump, m, std::regex("\"idleSteps\": (\\d+)")) ? std::stol(m[1]) : -1;
}

TEST(RestSystem, ShowsWhatTheBusyLoopShowsAtEveryMomentWithFewSteps) {
  const std::string dir = TempDir();
  int moments = 0;
  Session(moments);
  ASSERT_GE(moments, 50);
  const std::string calm = RunSession(dir, "calm", "");
  const std::string busy = RunSession(dir, "busy", "--busy-idle");
  const std::regex steps("\"idleSteps\": \\d+,");
  for (int m = 0; m < moments; ++m) {
    const std::string name = "/m" + std::to_string(m);
    const std::string a = ReadFile(calm + name + ".json"), b = ReadFile(busy + name + ".json");
    ASSERT_FALSE(a.empty()) << name;
    EXPECT_EQ(std::regex_replace(a, steps, ""), std::regex_replace(b, steps, "")) << "dump " << m;
    EXPECT_TRUE(ReadFile(calm + name + ".png") == ReadFile(busy + name + ".png")) << "screenshot " << m;
  }
  // About 30 s of virtual time: a step a millisecond, against a few for each
  // buffer and action.
  const long calm_steps = Steps(ReadFile(calm + "/m" + std::to_string(moments - 1) + ".json"));
  const long busy_steps = Steps(ReadFile(busy + "/m" + std::to_string(moments - 1) + ".json"));
  EXPECT_GT(busy_steps, 25000);
  EXPECT_LT(calm_steps * 20, busy_steps);
}

// The same script in the window on a display, on the wall clock: the window's
// own loop rests between buffers (a busy one steps thousands of times a
// second), paints what changed, and the readouts are those of a headless run.
TEST(RestSystem, AScriptDrivesTheWindowOnADisplay) {
  testsupport::PrivateDisplay display;
  OSCILOSKOP_NEED_DISPLAY(display);
  const std::string dir = TempDir();
  const std::string script = "wait 2.5\nclick RadioButton2\nwait 0.5\nclick RadioButton1\nwait 1.5\n"
                             "screenshot " + dir + "/shown.png\ndump " + dir + "/d.json\n";
  WriteFile(dir + "/s.txt", script);
  const std::string signals = " --signal-r=square:441:16000 --signal-l=square:882:9000";
  // On the display, not on the tests' own offscreen platform.
  const RunResult window = RunProgram(dir, "--script='" + dir + "/s.txt'" + signals,
                                      "QT_QPA_PLATFORM=xcb DISPLAY=" + display.Name());
  ASSERT_EQ(window.status, 0) << window.err;
  const std::string shown = ReadFile(dir + "/d.json");
  WriteFile(dir + "/h.txt", std::regex_replace(script, std::regex("/d\\.json"), "/h.json"));
  ASSERT_EQ(RunProgram(dir, "--headless --script='" + dir + "/h.txt'" + signals).status, 0);
  const std::string headless = ReadFile(dir + "/h.json");

  auto text = [](const std::string& dump, const std::string& control) {
    std::smatch m;
    std::regex_search(dump, m, std::regex("\"" + control + "\": \\{[^}]*?\"text\": \"([^\"]*)\""));
    return m.size() > 1 ? m[1].str() : std::string("(none)");
  };
  for (const char* readout : {"Edit1", "Edit4", "Edit8", "Edit12"})
    EXPECT_EQ(text(shown, readout), text(headless, readout)) << readout;
  EXPECT_NE(shown.find("\"PeriodicMode\": 1"), std::string::npos);
  std::smatch paints;
  ASSERT_TRUE(std::regex_search(shown, paints, std::regex("\"paints\": (\\d+)")));
  EXPECT_GT(std::stol(paints[1]), 0);
  EXPECT_GT(Steps(shown), 0);
  EXPECT_LT(Steps(shown), 1000) << "4.5 s of a window that never rests";
  EXPECT_GT(ReadFile(dir + "/shown.png").size(), 1000u);
}

}  // namespace
}  // namespace systemtest
