// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// For tests of the program's window on a private display: shell commands
// (xdotool) run on that display, and the dumps the window's script writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "system/json_read.h"
#include "system/program_run.h"

namespace systemtest {

// Runs `command` with DISPLAY set; its exit status, and what it printed in
// `out` if asked.
inline int OnDisplay(const std::string& display, const std::string& command,
                     std::string* out = nullptr) {
  const std::string file = "/tmp/osciloskop-xdotool-" + std::to_string(getpid()) + ".txt";
  const int raw = std::system(
      ("export DISPLAY=" + display + "; (" + command + ") >'" + file + "' 2>&1").c_str());
  if (out) *out = ReadFile(file);
  std::remove(file.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The dump once it is written whole, or an empty object after a minute.
inline jsonread::Value AwaitDump(const std::string& path) {
  for (int i = 0; i < 600; ++i) {
    try {
      return jsonread::ParseFile(path);
    } catch (const std::exception&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  ADD_FAILURE() << "no dump " << path;
  return jsonread::Parse("{}");
}

}  // namespace systemtest
