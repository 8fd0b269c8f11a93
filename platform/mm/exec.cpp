// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/exec.h"

#include <spawn.h>
#include <sys/wait.h>

#include <csignal>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

UINT WinExec(const char* lpCmdLine, UINT) {
  if (!lpCmdLine) return 2;
  std::istringstream words(lpCmdLine);
  std::vector<std::string> args;
  for (std::string w; words >> w;) args.push_back(w);
  if (args.empty()) return 2;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The started program is not waited for; it is reaped by the system.
  std::signal(SIGCHLD, SIG_IGN);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 2;
  return 33;
}
