// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readout texts the instrument itself writes, and nothing else: for the
// fuzzers and the random sessions, which see every kind of input.
#include <string_view>

namespace readouts {

namespace detail {
// A decimal number right-aligned in a field of exactly `width` characters.
inline bool FieldNumber(std::string_view t, std::size_t width, long& value) {
  if (t.size() != width) return false;
  std::size_t i = 0;
  while (i < t.size() && t[i] == ' ') ++i;
  if (i == t.size()) return false;
  value = 0;
  for (std::size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return false;
    value = value * 10 + (t[k] - '0');
  }
  return true;
}
}  // namespace detail

// Edit12, Edit8: the coarse form (100 Hz or less) is a blank and the number
// in a field of 5, the fine one a blank and the number in a field of 4, up to
// 2500 Hz and to 10 Hz unless it follows the generator; or "  f > fmax".
inline bool IsFrequency(std::string_view t, bool follow_generator) {
  if (t == "  f > fmax") return true;
  if (t.size() < 5 || t.front() != ' ' || t.substr(t.size() - 3) != " Hz") return false;
  const std::string_view number = t.substr(1, t.size() - 4);
  long v = 0;
  if (detail::FieldNumber(number, 5, v)) return v <= 100;
  if (detail::FieldNumber(number, 4, v)) return v >= 100 && v <= 2500 && (follow_generator || v % 10 == 0);
  return false;
}

// Edit4, Edit1 once the idle step runs: the fixed 2.50 V.
inline bool IsAmplitude(std::string_view t) { return t == "2.50 V"; }

// Edit11: "rmaxl =" PeakAbsL "rmaxr =" PeakAbsR, both 0..32768.
inline bool IsPeaks(std::string_view t) {
  auto number = [](std::string_view& rest) {
    std::size_t n = 0;
    long v = 0;
    while (n < rest.size() && n < 6 && rest[n] >= '0' && rest[n] <= '9') v = v * 10 + (rest[n++] - '0');
    rest.remove_prefix(n);
    return n > 0 && v <= 32768;
  };
  if (t.substr(0, 7) != "rmaxl =") return false;
  t.remove_prefix(7);
  if (!number(t) || t.substr(0, 7) != "rmaxr =") return false;
  t.remove_prefix(7);
  return number(t) && t.empty();
}

}  // namespace readouts
