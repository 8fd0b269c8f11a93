#pragma once
// A private X display (Xvfb) for the tests of the window as a user meets it:
// started with the test, gone with it. Where Xvfb is missing the tests that
// need it are skipped with the reason, except where
// OSCILOSKOP_REQUIRE_DISPLAY is set (scripts/test sets it under CI).
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
  PrivateDisplay() {
    int fds[2];
    if (pipe(fds) != 0) {
      why_ = "no pipe for Xvfb";
      return;
    }
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_addclose(&io, fds[0]);
    posix_spawn_file_actions_adddup2(&io, fds[1], 3);
    posix_spawn_file_actions_addopen(&io, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24",
                          "-nolisten", "tcp", nullptr};
    const int spawned = posix_spawnp(&pid_, "Xvfb", &io, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&io);
    close(fds[1]);
    if (spawned != 0) {
      pid_ = -1;
      close(fds[0]);
      why_ = "Xvfb is not installed (Debian: xvfb)";
      return;
    }
    // Xvfb writes its display number once it accepts clients.
    char number[16] = {};
    const ssize_t n = read(fds[0], number, sizeof number - 1);
    close(fds[0]);
    if (n <= 0) {
      why_ = "Xvfb did not start";
      return;
    }
    name_ = ":" + std::to_string(std::atoi(number));
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
