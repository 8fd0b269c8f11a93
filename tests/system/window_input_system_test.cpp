// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a display, driven by the X server's own keys and clicks
// (xdotool), does what a headless script of the same actions does: the
// focus, the keys of each control, Enter for the default button, the wheel,
// the context menus. A script in the window dumps at known moments while the
// test acts in between; the headless run does the same actions by script.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/private_display.h"
#include "system/json_read.h"
#include "system/on_display.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

struct Phase {
  const char* what;
  std::vector<std::string> setup;    // script lines at the phase's start, in both runs
  std::vector<std::string> actions;  // key NAME, type TEXT, click CONTROL [right], wheel CONTROL N
  std::vector<std::string> expect;   // fields of What() the phase ends with
};

const std::vector<Phase> kPhases = {
    {"six Tabs from the start-up focus reach the time base; Down steps it; Enter is optimum's",
     {"resize 780 600"},
     {"key Tab", "key Tab", "key Tab", "key Tab", "key Tab", "key Tab", "key Down", "key Enter"},
     {"focus=ComboBox1", "ComboBox1=1", "client=792x526"}},
    {"Right and Left step a closed list like Down and Up",
     {},
     {"key Right", "key Right", "key Left"},
     {"ComboBox1=2"}},
    {"PageDown goes a page of its 9 rows down", {}, {"key PageDown"}, {"ComboBox1=8"}},
    {"a click gives optimum the focus; the wheel over the unfocused list leaves it",
     {},
     {"click Button2", "wheel ComboBox1 -2"},
     {"focus=Button2", "ComboBox1=8"}},
    {"Left from optimum reaches the list; the wheel anywhere steps the focused list",
     {},
     {"key Left", "wheel Edit1 -3"},
     {"focus=ComboBox1", "ComboBox1=5"}},
    {"typing changes the trigger list's text, not its items; Enter there is optimum's",
     {"resize 700 500"},
     {"click RadioButton2", "key Shift+Tab", "key End", "type q", "key Enter"},
     {"focus=ComboBox4", "ComboBox4=-1 'od kanálu Rq' of 3", "PeriodicMode=0", "client=792x526"}},
    {"Right on a radio button marks the next one, which takes a single shot",
     {},
     {"click RadioButton1", "key Right"},
     {"focus=RadioButton2", "RadioButton1=0", "RadioButton2=0", "PeriodicMode=0",
      "ComboBox4=2 'od kanálu R' of 3"}},
    {"Shift+Tab round to the time shift; Right and Left go the conventional way",
     {},
     {"click ComboBox4", "key Shift+Tab", "key Right", "key Right", "key Left", "key PageDown"},
     {"focus=ScrollBar3", "ScrollBar3=52", "TraceShift=5"}},
    {"right clicks give the focus and show no menu",
     {},
     {"click ScrollBar3 right", "click ComboBox4 right", "click Edit1 right"},
     {"focus=Edit1", "popup=", "menu="}},
    {"F4 opens the list, which takes Down and Enter and closes; optimum stays unpressed",
     {"resize 760 560"},
     {"key Tab", "key Tab", "key F4", "key Down", "key Enter"},
     {"focus=ComboBox1", "ComboBox1=6", "popup=", "client=760x560"}},
    {"an open list stays open until Escape",
     {},
     {"key F4", "key Down"},
     {"popup=ComboBox1", "ComboBox1=6"}},
    {"Escape closes it unchanged",
     {},
     {"key Escape"},
     {"popup=", "ComboBox1=6", "focus=ComboBox1"}},
};

// What the phases look at in a dump, one field a line: "name=value".
std::string What(const jsonread::Value& d) {
  std::ostringstream out;
  const auto& c = d["controls"];
  out << "\nfocus=" << d["focus"].Str() << "\npopup=" << d["popup"].Str() << "\nmenu=";
  for (const auto& item : d["menu"].Items()) out << item.Str() << ",";
  out << "\nclient=" << d["client"]["width"].Int() << "x" << d["client"]["height"].Int();
  for (const char* list : {"ComboBox1", "ComboBox4"}) {
    out << "\n" << list << "=" << c[list]["itemIndex"].Int();
    if (std::string(list) == "ComboBox4")
      out << " '" << c[list]["text"].Str() << "' of " << c[list]["items"].size();
  }
  out << "\nScrollBar3=" << c["ScrollBar3"]["position"].Int();
  for (const char* radio : {"RadioButton1", "RadioButton2"})
    out << "\n" << radio << "=" << c[radio]["checked"].Bool();
  for (const char* v : {"PeriodicMode", "TraceShift"})
    out << "\n" << v << "=" << d["state"][v].Int();
  return out.str() + "\n";
}

// The X server's events for the phase's actions, as a shell command.
std::string Xdotool(const Phase& phase, const std::string& window, const jsonread::Value& dump) {
  static const std::map<std::string, std::string> kKeys = {
      {"Tab", "Tab"},   {"Shift+Tab", "shift+Tab"}, {"Down", "Down"},    {"Up", "Up"},
      {"Left", "Left"}, {"Right", "Right"},         {"Enter", "Return"}, {"PageDown", "Next"},
      {"End", "End"},   {"Escape", "Escape"},       {"F4", "F4"}};
  // The middle of a control, in the window (the menu bar above the client area).
  auto middle = [&](const std::string& name) {
    const auto& c = dump["controls"];
    const auto& bar = c["MainMenu1"];
    long x = c[name]["left"].Int() + (c[name]["width"].Int() - 1) / 2;
    long y = c[name]["top"].Int() + (c[name]["height"].Int() - 1) / 2;
    y += bar["top"].Int() + bar["height"].Int();
    if (name == "ScrollBar3") x += c["Panel13"]["left"].Int(), y += c["Panel13"]["top"].Int();
    return "mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y);
  };
  // One xdotool for each action: `type` takes the rest of its line.
  std::string cmd = "true";
  for (const std::string& action : phase.actions) {
    std::istringstream words(action);
    std::string verb, arg, more;
    words >> verb >> arg >> more;
    if (verb == "key") cmd += " && xdotool key " + kKeys.at(arg);
    if (verb == "type") cmd += " && xdotool type " + arg;
    // Apart by more than a double click, so that two clicks stay two.
    if (verb == "click")
      cmd +=
          " && xdotool " + middle(arg) + " click " + (more == "right" ? "3" : "1") + " sleep 0.6";
    if (verb == "wheel") {
      const int n = std::stoi(more);
      cmd += " && xdotool " + middle(arg) + " click --repeat " + std::to_string(std::abs(n)) +
             " --delay 100 " + (n > 0 ? "5" : "4");
    }
  }
  return cmd;
}

// The script of both runs: a dump before the phases and after each.
std::string Script(const std::string& dir, bool headless) {
  std::string s = "wait 2\ndump " + dir + "/0.json\n";
  for (std::size_t i = 0; i < kPhases.size(); ++i) {
    for (const std::string& line : kPhases[i].setup) s += line + "\n";
    if (headless)
      for (const std::string& line : kPhases[i].actions) s += line + "\n";
    // In the window the test acts during the wait.
    s += std::string(headless ? "wait 0.3" : "wait 3") + "\ndump " + dir + "/" +
         std::to_string(i + 1) + ".json\n";
  }
  return s;
}

TEST(WindowInput, TheXServersKeysAndClicksDoWhatAHeadlessScriptDoes) {
  testsupport::PrivateDisplay display;
  OSCILOSKOP_NEED_DISPLAY(display);
  if (std::system("command -v xdotool >/dev/null") != 0) {
    if (testsupport::PrivateDisplay::Required()) FAIL() << "xdotool is not installed";
    GTEST_SKIP() << "xdotool is not installed (Debian: xdotool)";
  }
  // The display answers once it has settled.
  for (int i = 0; i < 100 && OnDisplay(display.Name(), "xdotool getmouselocation") != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::string dir = TempDir();
  mkdir((dir + "/h").c_str(), 0700);
  mkdir((dir + "/w").c_str(), 0700);
  WriteFile(dir + "/h.txt", Script(dir + "/h", true));
  const RunResult headless = RunProgram(dir, "--headless --script='" + dir + "/h.txt'");
  ASSERT_EQ(headless.status, 0) << headless.err;

  WriteFile(dir + "/w.txt", Script(dir + "/w", false));
  RunResult window;
  std::thread program([&] {
    // On the display, not on the tests' own offscreen platform.
    window = RunProgram(dir, "--script='" + dir + "/w.txt'",
                        "QT_QPA_PLATFORM=xcb DISPLAY=" + display.Name());
  });
  std::string id;
  for (int i = 0; i < 600 && id.empty(); ++i) {
    OnDisplay(display.Name(), "xdotool search --onlyvisible --name '^osciloskop JEN'", &id);
    id = id.substr(0, id.find('\n'));
    if (id.find_first_not_of("0123456789") != std::string::npos) id.clear();  // a message
    if (id.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!id.empty()) OnDisplay(display.Name(), "xdotool windowfocus " + id);
  jsonread::Value shown = AwaitDump(dir + "/w/0.json");
  const jsonread::Value first = AwaitDump(dir + "/h/0.json");
  EXPECT_EQ(What(shown), What(first)) << "at start-up";
  EXPECT_EQ(first["focus"].Str(), "ComboBox4") << "the first tab stop";
  for (std::size_t i = 0; i < kPhases.size() && !id.empty() && shown.IsObject(); ++i) {
    const std::string cmd = Xdotool(kPhases[i], id, shown);
    EXPECT_EQ(OnDisplay(display.Name(), cmd), 0) << cmd;
    shown = AwaitDump(dir + "/w/" + std::to_string(i + 1) + ".json");
    if (!shown.IsObject() || !shown.Has("focus")) break;
    const std::string expected = What(AwaitDump(dir + "/h/" + std::to_string(i + 1) + ".json"));
    EXPECT_EQ(What(shown), expected) << kPhases[i].what << "\n" << cmd;
    for (const std::string& field : kPhases[i].expect)
      EXPECT_NE(expected.find("\n" + field + "\n"), std::string::npos)
          << kPhases[i].what << ": " << field << " in\n"
          << expected;
  }
  program.join();
  EXPECT_FALSE(id.empty()) << "no window";
  EXPECT_EQ(window.status, 0) << window.err;
}

}  // namespace
}  // namespace systemtest
