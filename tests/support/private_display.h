// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private X display (Xvfb) for the tests of the window as a user meets it:
// started with the test, gone with it. Where Xvfb is missing the tests that
// need it are skipped with the reason, except where
// OSCILOSKOP_REQUIRE_DISPLAY is set (scripts/test sets it under CI).
// The server never resets: by default it resets whenever its last client
// leaves, and a client connecting during a reset is refused ("unable to
// open display"), which a test polling with xwininfo or xdotool meets.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

extern char** environ;

namespace testsupport {

class PrivateDisplay {
 public:
  // A display number of its own, far above those a desktop session or a
  // compositor's X server takes from :0 up; another if that one is in use.
  PrivateDisplay() {
    for (int attempt = 0; attempt < 8 && name_.empty(); ++attempt) {
      const int number = 1000 + (getpid() * 37 + attempt * 997) % 30000;
      if (!Try(number)) return;
    }
    if (name_.empty()) why_ = "Xvfb did not start";
  }
  ~PrivateDisplay() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  bool Ok() const { return !name_.empty(); }
  const std::string& Why() const { return why_; }
  // ":N", for DISPLAY.
  const std::string& Name() const { return name_; }
  static bool Required() { return std::getenv("OSCILOSKOP_REQUIRE_DISPLAY") != nullptr; }

 private:
  // Starts Xvfb on display `number`; false where it cannot be started at all.
  bool Try(int number) {
    int fds[2];
    if (pipe(fds) != 0) {
      why_ = "no pipe for Xvfb";
      return false;
    }
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addclose(&io, fds[0]);
    posix_spawn_file_actions_adddup2(&io, fds[1], 3);
    posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
    const std::string display = ":" + std::to_string(number);
    const char* argv[] = {"Xvfb", display.c_str(), "-displayfd", "3", "-screen", "0",
                          "1280x1024x24", "-nolisten", "tcp", "-noreset", nullptr};
    const int spawned = posix_spawnp(&pid_, "Xvfb", &io, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&io);
    close(fds[1]);
    if (spawned != 0) {
      pid_ = -1;
      close(fds[0]);
      why_ = "Xvfb is not installed (Debian: xvfb)";
      return false;
    }
    // Xvfb writes its display number once it accepts clients (nothing if
    // the display is taken), then a newline: the pipe stays open until that
    // has come, as Xvfb ends when it cannot write it.
    char got[16] = {};
    std::size_t n = 0;
    for (ssize_t r; n < sizeof got - 1 && (r = read(fds[0], got + n, sizeof got - 1 - n)) > 0;) {
      n += static_cast<std::size_t>(r);
      if (got[n - 1] == '\n') break;
    }
    close(fds[0]);
    if (n > 0) {
      name_ = ":" + std::to_string(std::atoi(got));
      return true;
    }
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return true;
  }

  pid_t pid_ = -1;
  std::string name_;
  std::string why_;
};

}  // namespace testsupport

// Skips the test where no display can run, fails it where one must.
#define OSCILOSKOP_NEED_DISPLAY(display)                                       \
  do {                                                                         \
    if (!(display).Ok()) {                                                     \
      if (testsupport::PrivateDisplay::Required()) FAIL() << (display).Why(); \
      GTEST_SKIP() << (display).Why();                                         \
    }                                                                          \
  } while (0)
