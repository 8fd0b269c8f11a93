// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers as the measuring window shows them: the prefix that keeps one to
// three whole digits, a carry into the next prefix, no sign on a zero.
#include "lab/si_format.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(SiFormat, PrefixDigitsCarryAndZero) {
  struct Case {
    std::optional<double> value;
    const char* unit;
    int digits;
    const char* shown;
  } const cases[] = {
      {0.70710678, "V", 5, "707.11 mV"}, {1591.549, "Ω", 5, "1.5915 kΩ"},
      {999.9996, "V", 5, "1.0000 kV"},   {-2.5e-6, "A", 4, "-2.500 µA"},
      {0.0, "W", 5, "0.0000 W"},         {-1e-9, "°", 5, "0.000 °"},
      {89.99994, "°", 5, "90.000 °"},    {std::nullopt, "V", 5, "—"},
      {-0.0000001, "", 6, "0.0000"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lab::FormatReadout(c.value, c.unit, c.digits), c.shown) << c.shown;
}

}  // namespace
