// SPDX-License-Identifier: GPL-3.0-or-later
// Czech all the way through in the window: Qt's own words in the file dialog
// and in its question before replacing a file, read back from their widgets
// by the window's script, which runs on meanwhile; the menu bar's drop-down opened by a script's
// click as by a user's, and Escape leaving a focus that Tab moves on.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/private_display.h"
#include "system/json_read.h"
#include "system/on_display.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

std::string Joined(const jsonread::Value& list) {
  std::string all;
  for (std::size_t i = 0; i < list.size(); ++i) all += list[i].Str() + "|";
  return all;
}

// The drop-down of "volba zobrazení" opened by `click`, then Escape and Tab.
std::string MenuBarLines(const std::string& dir) {
  return "click volbazobrazen1\ndump " + dir + "/open.json\nkey Escape\ndump " + dir +
         "/escaped.json\nkey Tab\ndump " + dir + "/tabbed.json\n";
}

void ExpectMenuBarAsInTheWindow(const std::string& dir) {
  const jsonread::Value open = jsonread::ParseFile(dir + "/open.json");
  EXPECT_NE(Joined(open["menu"]).find("do sebe|nad sebou|"), std::string::npos)
      << Joined(open["menu"]);
  const jsonread::Value escaped = jsonread::ParseFile(dir + "/escaped.json");
  const jsonread::Value tabbed = jsonread::ParseFile(dir + "/tabbed.json");
  EXPECT_EQ(escaped["popup"].Str(), "");
  EXPECT_NE(escaped["focus"].Str(), "");
  EXPECT_NE(tabbed["focus"].Str(), escaped["focus"].Str()) << "Tab was swallowed";
}

TEST(CzechWindow, TheRunnerOpensTheMenuBarAsTheWindowDoes) {
  const std::string dir = TempDir();
  const RunResult r = RunScript(dir, "wait 0.5\n" + MenuBarLines(dir));
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectMenuBarAsInTheWindow(dir);
}

TEST(CzechWindow, QtsOwnDialogWordsAreCzechAndTheMenuBarWorksOnADisplay) {
  testsupport::PrivateDisplay display;
  OSCILOSKOP_NEED_DISPLAY(display);
  const std::string dir = TempDir();
  WriteFile(dir + "/old.png", "kept");
  WriteFile(dir + "/s.txt", "wait 2\ndump " + dir + "/1.json\nwait 3\ndump " + dir +
                                "/dialog.json\nwait 3\ndump " + dir + "/prompt.json\nwait 2\n" +
                                MenuBarLines(dir) + "close\n");
  RunResult window;
  std::thread program([&] {
    window = RunProgram(dir, "--script='" + dir + "/s.txt'",
                        "LANG=C LC_ALL=C QT_QPA_PLATFORM=xcb DISPLAY=" + display.Name());
  });
  AwaitDump(dir + "/1.json");
  std::string id;
  OnDisplay(display.Name(), "xdotool search --onlyvisible --name '^osciloskop JEN'", &id);
  id = id.substr(0, id.find('\n'));
  OnDisplay(display.Name(),
            "xdotool windowfocus --sync " + id + " && xdotool keydown ctrl key s keyup ctrl");
  const jsonread::Value dialog = AwaitDump(dir + "/dialog.json");
  // A file that is there: the dialog asks before replacing it; No keeps it.
  OnDisplay(display.Name(), "xdotool key ctrl+a type '" + dir + "/old.png' && xdotool key Return");
  const jsonread::Value prompt = AwaitDump(dir + "/prompt.json");
  // No, then the file dialog is closed.
  OnDisplay(display.Name(), "xdotool key Escape && sleep 0.5 && xdotool key Escape");
  program.join();
  ASSERT_EQ(window.status, 0) << window.err;
  const std::string words = Joined(dialog["dialog"]);
  EXPECT_NE(words.find("Uložit obrázek|"), std::string::npos) << words;
  for (const char* czech : {"Uložit|", "Zrušit|"})
    EXPECT_NE(words.find(czech), std::string::npos) << czech << " in " << words;
  for (const char* english : {"Look in", "File name", "Save|", "Cancel|", "Files of type"})
    EXPECT_EQ(words.find(english), std::string::npos) << english << " in " << words;
  const std::string asked = Joined(prompt["dialog"]);
  for (const char* czech : {"Soubor old.png již existuje.\nChcete jej nahradit?|", "&Ano|", "&Ne|"})
    EXPECT_NE(asked.find(czech), std::string::npos) << czech << " in " << asked;
  for (const char* english : {"already exists", "&Yes", "&No|"})
    EXPECT_EQ(asked.find(english), std::string::npos) << english << " in " << asked;
  EXPECT_EQ(ReadFile(dir + "/old.png"), "kept");
  ExpectMenuBarAsInTheWindow(dir);
}

}  // namespace
}  // namespace systemtest
