// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/si_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lab {

namespace {
// "-0.000" is a zero that rounded from below: shown without its sign.
void DropNegativeZero(char* text) {
  if (text[0] != '-') return;
  for (const char* c = text + 1; *c; ++c)
    if (*c != '0' && *c != '.') return;
  std::memmove(text, text + 1, std::strlen(text));
}
}  // namespace

std::string FormatSi(std::optional<double> value, const std::string& unit, int significant) {
  if (!value || !std::isfinite(*value)) return "—";
  static const char* const kPrefixes[] = {"p", "n", "µ", "m", "", "k", "M", "G"};
  const double v = *value;
  int power = 0;  // of 1000, from -4 (p) to 3 (G)
  if (v != 0) power = static_cast<int>(std::floor(std::log10(std::fabs(v)) / 3));
  if (power < -4) power = -4;
  if (power > 3) power = 3;
  double scaled = v / std::pow(1000.0, power);
  significant = significant < 1 ? 1 : significant;
  int whole = scaled == 0 ? 1 : static_cast<int>(std::floor(std::log10(std::fabs(scaled)))) + 1;
  int decimals = std::max(0, significant - std::max(whole, 1));
  // Rounding may carry into the next power (999.996 -> 1000.0).
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, scaled);
  if (std::fabs(std::atof(text)) >= 1000 && power < 3) {
    ++power;
    scaled = v / std::pow(1000.0, power);
    decimals = std::max(0, significant - 1);
    std::snprintf(text, sizeof text, "%.*f", decimals, scaled);
  }
  DropNegativeZero(text);
  return std::string(text) + " " + kPrefixes[power + 4] + unit;
}

}  // namespace lab

namespace lab {

std::string FormatReadout(std::optional<double> value, const std::string& unit, int significant) {
  if (unit != "°" && unit != "%" && !unit.empty()) return FormatSi(value, unit, significant);
  if (!value || !std::isfinite(*value)) return "—";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", std::max(0, significant - 2), *value);
  DropNegativeZero(text);
  return unit.empty() ? std::string(text) : std::string(text) + " " + unit;
}

}  // namespace lab
