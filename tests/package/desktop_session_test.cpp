// SPDX-License-Identifier: GPL-3.0-or-later
// The installed program started as a desktop starts it: each Exec line of
// its desktop entry, the program taken from the scratch root, on an X
// server (Xvfb) and, where weston and Qt's Wayland platform are installed,
// natively on a Wayland compositor (weston's headless backend). It must
// open its window and stay up until it is stopped.
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "package/package_root.h"
#include "real_card/sound_server.h"
#include "support/private_display.h"
#include "support/required.h"

namespace packagetest {
namespace {

using realcard::Background;

std::string Quoted(const std::string& s) {
  return "'" + std::regex_replace(s, std::regex("'"), "'\\''") + "'";
}

// Every Exec line of the entry (the application's and its actions'), split
// at spaces as a launcher splits it (the entry quotes nothing), without the
// field codes for files and URLs (a start from the menu passes none), the
// program's name replaced by the scratch root's program, shell-quoted.
std::vector<std::string> ExecCommands(const std::string& entry, const std::string& exe) {
  std::vector<std::string> commands;
  const std::regex line("(^|\n)Exec=([^\n]*)"), field_code("%[fFuUick]");
  for (auto it = std::sregex_iterator(entry.begin(), entry.end(), line);
       it != std::sregex_iterator(); ++it) {
    std::istringstream words((*it)[2].str());
    std::string word, command = Quoted(exe);
    words >> word;
    EXPECT_EQ(word, "osciloskop") << (*it)[2];
    while (words >> word)
      if (!std::regex_match(word, field_code)) command += " " + Quoted(word);
    commands.push_back(command);
  }
  return commands;
}

// Polls `done` for up to 60 s (a sanitizer build starts slowly).
bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 600; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

TEST_F(Package, StartsFromItsDesktopEntryOnAnXServer) {
  PACKAGE_TEST_NEEDS("Xvfb");
  PACKAGE_TEST_NEEDS("xwininfo");
  const std::string dir = TempDir();
  // A display number of its own: one picked from :0 up may be taken at the
  // same moment by another test's server.
  const testsupport::PrivateDisplay xvfb;
  ASSERT_TRUE(xvfb.Ok()) << xvfb.Why();
  const std::string display = xvfb.Name();

  const std::vector<std::string> commands = ExecCommands(ReadFile(DesktopEntry()), Exe());
  ASSERT_EQ(commands.size(), 2u) << "the application and its demonstration";
  // A window of the program's on the server: the instrument's, or first the
  // mixer's message where the machine has no mixer for the real card.
  const std::regex window("\"osciloskop[^\"]*\": \\(\"osciloskop\" \"osciloskop\"\\)");
  auto shown = [&] {
    return std::regex_search(Shell("xwininfo -display " + display + " -root -tree"), window);
  };
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    ASSERT_TRUE(Eventually([&] { return !shown(); })) << "the last one's window stayed";
    Background program("env DISPLAY=" + display + " QT_QPA_PLATFORM=xcb " + command + " 2>'" + dir +
                       "/err'");
    EXPECT_TRUE(Eventually(shown)) << ReadFile(dir + "/err");
    EXPECT_EQ(program.Wait(std::chrono::seconds(2)), -1) << "it ended by itself";
    // On the real card (the application's line) the machine's sound devices
    // may be reported missing; nothing else is said.
    const std::string err = ReadFile(dir + "/err");
    EXPECT_FALSE(std::regex_search(err, std::regex("(^|\n)(?!osciloskop: ALSA )[^\n]"))) << err;
  }
}

TEST_F(Package, RunsNativelyOnAWaylandCompositor) {
  if (!Have("weston"))
    OSCILOSKOP_SKIP_UNLESS_REQUIRED("OSCILOSKOP_REQUIRE_WAYLAND",
                                    "weston is not installed (scripts/setup installs it)");
  int status = 0;
  if (Shell("dpkg-query -W -f='${Status}' qt6-wayland", &status) != "install ok installed")
    OSCILOSKOP_SKIP_UNLESS_REQUIRED("OSCILOSKOP_REQUIRE_WAYLAND",
                                    "qt6-wayland (Qt's Wayland platform) is not installed");
  const std::string dir = TempDir();
  ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
  Background weston("env XDG_RUNTIME_DIR='" + dir +
                    "' weston --backend=headless-backend.so --socket=osc --idle-time=0 >'" + dir +
                    "/weston.log' 2>&1");
  ASSERT_TRUE(Eventually([&] {
    struct stat st {};
    return stat((dir + "/osc").c_str(), &st) == 0;
  })) << ReadFile(dir + "/weston.log");

  // The demonstration on the virtual card: nothing on stderr but the
  // protocol log, in which the window appears with its caption.
  std::string demo;
  for (const std::string& command : ExecCommands(ReadFile(DesktopEntry()), Exe()))
    if (command.find("--card=virtual") != std::string::npos) demo = command;
  ASSERT_FALSE(demo.empty()) << "no demonstration in the desktop entry";
  Background program("env -u DISPLAY XDG_RUNTIME_DIR='" + dir +
                     "' WAYLAND_DISPLAY=osc QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 " + demo +
                     " 2>'" + dir + "/err'");
  const std::regex titled("xdg_toplevel@[0-9]+\\.set_title\\(\"osciloskop ");
  EXPECT_TRUE(Eventually([&] { return std::regex_search(ReadFile(dir + "/err"), titled); }))
      << ReadFile(dir + "/weston.log");
  EXPECT_EQ(program.Wait(std::chrono::seconds(2)), -1) << "it ended by itself";
  const std::string err = ReadFile(dir + "/err");
  EXPECT_FALSE(std::regex_search(err, std::regex("(^|\n)[^\\[\n][^\n]*")))
      << "a line that is not the protocol log";
}

}  // namespace
}  // namespace packagetest
