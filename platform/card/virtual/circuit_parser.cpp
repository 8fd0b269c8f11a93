// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/circuit_parser.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>

namespace platform {

namespace {

struct Fault {
  std::size_t at;  // 0-based
  std::string what;
};

struct Range {
  double low, high;
  const char* text;
};

// What a user can sensibly build: wide enough for any audio circuit, narrow
// enough that the simulation stays well conditioned.
constexpr Range kResistance{1e-3, 1e9, "R must be from 1m to 1G ohm"};
constexpr Range kCapacitance{1e-12, 1.0, "C must be from 1p to 1 F"};
constexpr Range kInductance{1e-9, 1e3, "L must be from 1n to 1k H"};
constexpr Range kNoise{-200.0, 0.0, "noise must be from -200 to 0 dBFS"};
constexpr Range kSkew{-1e-3, 1e-3, "skew must be from -1m to 1m s"};

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  void Parse(CircuitDescription& description);

 private:
  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  bool AtEnd() const { return pos_ >= s_.size(); }
  [[noreturn]] void Fail(std::size_t at, std::string what) const {
    throw Fault{at, std::move(what)};
  }

  double Number(bool signed_ok, const Range& range);
  CircuitPart Series();
  CircuitPart Parallel();
  CircuitPart Atom();
  CircuitPart Expression();

  const std::string& s_;
  std::size_t pos_ = 0;
};

double Parser::Number(bool signed_ok, const Range& range) {
  const std::size_t start = pos_;
  std::size_t p = pos_;
  if (signed_ok && p < s_.size() && (s_[p] == '-' || s_[p] == '+')) ++p;
  const auto digits = [&] {
    const std::size_t from = p;
    while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9') ++p;
    return p - from;
  };
  std::size_t count = digits();
  if (p < s_.size() && s_[p] == '.') {
    ++p;
    count += digits();
  }
  if (count == 0) Fail(start, "expected a number");
  // An exponent only where digits follow it.
  if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E')) {
    std::size_t q = p + 1;
    if (q < s_.size() && (s_[q] == '-' || s_[q] == '+')) ++q;
    if (q < s_.size() && s_[q] >= '0' && s_[q] <= '9') {
      p = q;
      digits();
    }
  }
  const char* first = s_.data() + start + (s_[start] == '+' ? 1 : 0);
  double value = 0;
  auto [end, ec] = std::from_chars(first, s_.data() + p, value);
  if (ec != std::errc() || end != s_.data() + p) Fail(start, "expected a number");
  if (p < s_.size()) {
    static constexpr struct {
      char c;
      double scale;
    } kSuffixes[] = {{'p', 1e-12}, {'n', 1e-9}, {'u', 1e-6}, {'m', 1e-3},
                     {'k', 1e3},   {'M', 1e6},  {'G', 1e9}};
    for (const auto& x : kSuffixes)
      if (s_[p] == x.c) {
        value *= x.scale;
        ++p;
        break;
      }
  }
  if (!std::isfinite(value) || value < range.low || value > range.high) Fail(start, range.text);
  pos_ = p;
  return value;
}

CircuitPart Parser::Atom() {
  const std::size_t at = pos_;
  CircuitPart part;
  switch (Peek()) {
    case 'R':
      ++pos_;
      part.kind = CircuitPart::Kind::Resistor;
      part.value = Number(false, kResistance);
      return part;
    case 'C':
      ++pos_;
      part.kind = CircuitPart::Kind::Capacitor;
      part.value = Number(false, kCapacitance);
      return part;
    case 'L':
      ++pos_;
      part.kind = CircuitPart::Kind::Inductor;
      part.value = Number(false, kInductance);
      return part;
    case 'D':
      ++pos_;
      part.kind = CircuitPart::Kind::Diode;
      return part;
    case '(': {
      ++pos_;
      part = Series();
      if (Peek() != ')') Fail(pos_, "expected '+', '|' or ')'");
      ++pos_;
      return part;
    }
    default:
      Fail(at, "expected an element (R, C, L, D) or '('");
  }
}

// '|' binds tighter than '+', as R1 + R2 || R3 is read on paper.
CircuitPart Parser::Parallel() {
  CircuitPart first = Atom();
  if (Peek() != '|') return first;
  CircuitPart all;
  all.kind = CircuitPart::Kind::Parallel;
  all.parts.push_back(std::move(first));
  while (Peek() == '|') {
    ++pos_;
    all.parts.push_back(Atom());
  }
  return all;
}

CircuitPart Parser::Series() {
  CircuitPart first = Parallel();
  if (Peek() != '+') return first;
  CircuitPart all;
  all.kind = CircuitPart::Kind::Series;
  all.parts.push_back(std::move(first));
  while (Peek() == '+') {
    ++pos_;
    all.parts.push_back(Parallel());
  }
  return all;
}

CircuitPart Parser::Expression() {
  CircuitPart part = Series();
  if (!AtEnd() && Peek() != ',') Fail(pos_, "expected '+', '|' or ','");
  return part;
}

void Parser::Parse(CircuitDescription& description) {
  std::optional<CircuitPart> dut, top, bottom;
  std::optional<double> shunt;
  std::size_t top_at = 0, bottom_at = 0, shunt_at = 0;
  bool seen_noise = false, seen_skew = false;
  CircuitDescription out;
  out.text = s_;
  for (;;) {
    const std::size_t key_at = pos_;
    while (!AtEnd() && Peek() != '=' && Peek() != ',') ++pos_;
    const std::string key = s_.substr(key_at, pos_ - key_at);
    if (key.empty()) Fail(key_at, "expected key=value");
    const auto twice = [&](bool seen) {
      if (seen) Fail(key_at, "'" + key + "' given twice");
    };
    const bool known = key == "dut" || key == "shunt" || key == "top" || key == "bottom" ||
                       key == "noise" || key == "skew";
    if (!known) Fail(key_at, "unknown key '" + key + "' (dut, shunt, top, bottom, noise, skew)");
    if (Peek() != '=') Fail(pos_, "expected '=' after '" + key + "'");
    ++pos_;
    if (key == "dut") {
      twice(dut.has_value());
      dut = Expression();
    } else if (key == "top") {
      twice(top.has_value());
      top_at = key_at;
      top = Expression();
    } else if (key == "bottom") {
      twice(bottom.has_value());
      bottom_at = key_at;
      bottom = Expression();
    } else if (key == "shunt") {
      twice(shunt.has_value());
      shunt_at = key_at;
      shunt = Number(false, kResistance);
    } else if (key == "noise") {
      twice(seen_noise);
      seen_noise = true;
      out.noisy = true;
      out.noise_dbfs = Number(true, kNoise);
    } else {
      twice(seen_skew);
      seen_skew = true;
      out.skew = Number(true, kSkew);
    }
    if (AtEnd()) break;
    if (Peek() != ',') Fail(pos_, "expected ','");
    ++pos_;
  }
  const std::size_t end = s_.size();
  if (dut && (top || bottom))
    Fail(top ? top_at : bottom_at, "dut cannot be combined with top/bottom");
  if (dut) {
    out.mode = CircuitDescription::Mode::Dut;
    out.upper = std::move(*dut);
    out.lower.kind = CircuitPart::Kind::Resistor;
    out.lower.value = shunt.value_or(100.0);
  } else {
    if (shunt) Fail(shunt_at, "shunt needs dut=EXPR");
    if (!top && !bottom) Fail(end, "missing dut=EXPR or top=EXPR,bottom=EXPR");
    if (!bottom) Fail(end, "top needs bottom=EXPR");
    if (!top) Fail(end, "bottom needs top=EXPR");
    out.mode = CircuitDescription::Mode::Divider;
    out.upper = std::move(*top);
    out.lower = std::move(*bottom);
  }
  description = std::move(out);
}

}  // namespace

std::string ParseCircuit(const std::string& text, CircuitDescription& description) {
  try {
    Parser(text).Parse(description);
  } catch (const Fault& f) {
    return "at " + std::to_string(f.at + 1) + ": " + f.what;
  }
  return {};
}

}  // namespace platform
