// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// stderr of this process, kept in memory meanwhile (for the script runner's
// messages in tests and fuzzers, which run it in-process).
#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

class CapturedStderr {
 public:
  CapturedStderr() : saved_(stderr) {
    std::fflush(stderr);
    stderr = open_memstream(&text_, &size_);
  }
  ~CapturedStderr() {
    if (stderr != saved_) Take();
    std::free(text_);
  }
  CapturedStderr(const CapturedStderr&) = delete;
  CapturedStderr& operator=(const CapturedStderr&) = delete;
  std::string Take() {
    std::fclose(stderr);
    stderr = saved_;
    return std::string(text_, size_);
  }

 private:
  std::FILE* saved_;
  char* text_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace testsupport
