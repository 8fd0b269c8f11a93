// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Debian package as a lab machine gets it: CPack builds it from this
// build tree and dpkg-deb unpacks it into a scratch root, once for all the
// package's tests (one process).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "system/program_run.h"

namespace packagetest {

using systemtest::ReadFile;
using systemtest::TempDir;
using systemtest::WriteFile;

// Runs a shell command; its standard output, and its status in `status`.
inline std::string Shell(const std::string& command, int* status = nullptr) {
  const std::string dir = TempDir();
  const int raw = std::system((command + " >'" + dir + "/out' 2>'" + dir + "/err'").c_str());
  const int code = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (status) *status = code;
  EXPECT_TRUE(status || code == 0) << command << ": " << ReadFile(dir + "/err");
  return ReadFile(dir + "/out");
}

inline bool Have(const std::string& tool) {
  int status = 0;
  Shell("command -v '" + tool + "'", &status);
  return status == 0;
}

// A tool a test needs (scripts/setup installs it): without it the test is
// skipped with the reason, except under CI, where it must run.
#define PACKAGE_TEST_NEEDS(tool)                                              \
  if (!::packagetest::Have(tool)) {                                           \
    if (std::getenv("CI")) FAIL() << tool << " is missing; CI must run this"; \
    GTEST_SKIP() << tool << " is missing (scripts/setup installs it)";        \
  }

class Package : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = TempDir();
    int status = 0;
    Shell("cpack --config '" CPACK_CONFIG "' -B '" + work_ + "'", &status);
    std::string arch = Shell("dpkg --print-architecture");
    arch.erase(arch.find_last_not_of('\n') + 1);
    deb_ = work_ + "/osciloskop_" OSCILOSKOP_VERSION "_" + arch + ".deb";
    root_ = work_ + "/root";
    if (status == 0) Shell("dpkg-deb -x '" + deb_ + "' '" + root_ + "'", &status);
    built_ = status == 0;
  }
  void SetUp() override { ASSERT_TRUE(built_) << "cpack or dpkg-deb failed in " << work_; }

  static std::string Field(const std::string& name) {
    std::string v = Shell("dpkg-deb -f '" + deb_ + "' " + name);
    while (!v.empty() && v.back() == '\n') v.pop_back();
    return v;
  }
  static std::string Exe() { return root_ + "/usr/bin/osciloskop"; }
  static std::string DesktopEntry() {
    return root_ + "/usr/share/applications/" OSCILOSKOP_APP_ID ".desktop";
  }

  static inline std::string work_, deb_, root_;
  static inline bool built_ = false;
};

}  // namespace packagetest
