// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The standard SCPI error numbers and texts, and a client's error queue:
// first in, first out, at most kCapacity; when it is full the newest entry
// becomes -350 "Queue overflow".
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace scpi {

// -113 "Undefined header" and the like; "Error" for a number not known here.
const char* ErrorText(int code);

class ErrorQueue {
 public:
  static constexpr std::size_t kCapacity = 16;

  void Push(int code, std::string_view detail = {});
  // The oldest entry, taken: -113,"Undefined header;FOO", or 0,"No error".
  std::string Next();
  std::size_t Count() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

 private:
  std::deque<std::string> entries_;
};

}  // namespace scpi
