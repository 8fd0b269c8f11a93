// SPDX-License-Identifier: GPL-3.0-or-later
// The SCPI server through real clients: the program runs headless with
// --remote on a free port (it says which on stderr) and Python scripts talk
// to it, PyVISA as a lab script would and raw sockets for the faults. Each
// script checks its answers itself and exits non-zero naming what was wrong;
// afterwards the program must still answer and end cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <regex>
#include <string>
#include <thread>

#include "system/program_run.h"

namespace systemtest {
namespace {

class RemoteInstrument {
 public:
  explicit RemoteInstrument(const std::string& options) : dir_(TempDir()) {
    const std::string err = dir_ + "/stderr.txt";
    pid_ = fork();
    if (pid_ == 0) {
      const std::string cmd = std::string("exec '") + OSCILOSKOP_EXE +
                              "' --headless --settings=none --remote=127.0.0.1:0 " + options +
                              " >/dev/null 2>'" + err + "'";
      execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    const std::regex said("listening on 127\\.0\\.0\\.1:(\\d+)");
    for (int i = 0; i < 300 && port_.empty(); ++i) {
      std::smatch m;
      const std::string text = ReadFile(err);
      if (std::regex_search(text, m, said)) port_ = m[1];
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  ~RemoteInstrument() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Port() const { return port_; }
  // Runs tests/system/remote/SCRIPT PORT PID ARGS; its exit status, its output shown.
  int Run(const std::string& script, const std::string& args = {}) {
    const std::string out = dir_ + "/" + script + ".out";
    // Debian's Python, which Debian's PyVISA is for.
    const int raw =
        std::system(("/usr/bin/python3 '" SOURCE_DIR "/tests/system/remote/" + script + "' " +
                     port_ + " " + std::to_string(pid_) + " " + args + " >'" + out + "' 2>&1")
                        .c_str());
    std::cout << ReadFile(out);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  // SIGTERM: the program closes as a user's close would; true when it ended
  // by that signal without a word on stderr beyond its start.
  bool EndsCleanly() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    ended_ = true;
    const std::string err = ReadFile(dir_ + "/stderr.txt");
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
  }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  std::string port_;
  bool ended_ = false;
};

// A capacitor on the virtual bench, driven over PyVISA: generator,
// readings against theory and against the dump, the waveform against the
// readings, pictures, *RST.
TEST(Remote, PyVisaDrivesTheInstrumentOnTheVirtualBench) {
  RemoteInstrument program("--circuit=dut=C1u");
  ASSERT_FALSE(program.Port().empty()) << "the program did not say its port";
#ifdef __SANITIZE_ADDRESS__
  // This build measures a block slower than the card records one: on the
  // wall clock the generator's output runs dry now and then, so neither its
  // tones nor a sweep are those of theory.
  EXPECT_EQ(program.Run("pyvisa_bench.py", "slow"), 0);
#else
  EXPECT_EQ(program.Run("pyvisa_bench.py"), 0);
#endif
  EXPECT_TRUE(program.EndsCleanly());
}

// Bad input of every kind over raw sockets, a ninth client, a client that
// never reads, a line over 64 KiB: each gets its error or its end, and the
// others go on being served.
TEST(Remote, FaultsLeaveTheServerWorking) {
  RemoteInstrument program("--signal-r=generator --signal-l=sine:250:8000");
  ASSERT_FALSE(program.Port().empty()) << "the program did not say its port";
  EXPECT_EQ(program.Run("faults.py"), 0);
  EXPECT_EQ(program.Run("load.py", "1 50"), 0) << "not served after the faults";
  EXPECT_TRUE(program.EndsCleanly());
}

// Four clients, 2000 queries each, every answer its own and right; the
// script prints the queries per second and the program's CPU meanwhile.
TEST(Remote, FourClientsOfTwoThousandQueriesEachAllAnsweredRight) {
  RemoteInstrument program("--signal-r=generator --signal-l=sine:250:8000");
  ASSERT_FALSE(program.Port().empty()) << "the program did not say its port";
  EXPECT_EQ(program.Run("load.py", "4 2000"), 0);
  EXPECT_TRUE(program.EndsCleanly());
}

}  // namespace
}  // namespace systemtest
