// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SCPI program messages as IEEE 488.2 writes them: units separated by ';',
// each a header (mnemonics, case-insensitive; '?' for a query, '*' for a
// common command) and its arguments after a blank, separated by ','. A
// header without a leading ':' after a ';' goes on from the path of the
// header before it (MEAS:VOLT:RMS? UR;DC? UR). Plain C++, so that it can be
// fuzzed on its own.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scpi {

struct Argument {
  enum class Kind { kNumber, kWord, kString };
  Kind kind = Kind::kWord;
  std::string text;    // a word upper-cased, a string without its quotes, a number as written
  double number = 0;   // numbers only
  std::string suffix;  // a number's unit, upper-cased; "" when none
};

struct Unit {
  bool common = false;            // *IDN?
  std::vector<std::string> path;  // upper-cased mnemonics from the root
  bool query = false;
  std::vector<Argument> args;
  // The absolute header, as ":MEAS:VOLT:RMS?" or "*IDN?".
  std::string Header() const;
  // The whole unit in a form ParseMessage reads back as the same unit.
  std::string Text() const;
};

// A standard SCPI error number and what exactly was wrong.
struct Fault {
  int code = 0;
  std::string detail;
};

struct Message {
  std::vector<Unit> units;     // the units before a fault
  std::optional<Fault> fault;  // the rest of the message is not run
};

inline constexpr std::size_t kMaxMnemonic = 12;

// One message: a line without its terminator.
Message ParseMessage(std::string_view line);

// Whether a header pattern ("MEASure:VOLTage[:RMS]", "*IDN") names the
// unit's header: each node in its short form (the capitals) or its long
// form, the nodes in brackets optional. The query mark is not compared.
bool Matches(std::string_view pattern, const Unit& unit);

}  // namespace scpi
