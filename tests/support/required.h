// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a test needs of the machine (a compositor, a locale) may be missing
// outside CI: the test is then skipped with the reason. Where the test
// command names the need in the environment (scripts/test does under CI,
// e.g. OSCILOSKOP_REQUIRE_WAYLAND=1), a skip would hide a test CI must run,
// so it fails instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace testsupport {

inline bool Required(const char* variable) {
  const char* v = std::getenv(variable);
  return v && *v && std::string(v) != "0";
}

}  // namespace testsupport

#define OSCILOSKOP_SKIP_UNLESS_REQUIRED(variable, why)                                 \
  do {                                                                                 \
    if (::testsupport::Required(variable)) FAIL() << (why) << "; " variable " is set"; \
    GTEST_SKIP() << (why);                                                             \
  } while (0)
