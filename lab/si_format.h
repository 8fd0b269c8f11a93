// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Numbers as the measuring window shows them: a decimal point whatever the
// desktop's language, an SI prefix from p to G, and the unit.
#include <optional>
#include <string>

namespace lab {

// `significant` digits (at least 1); "—" for a value that does not exist.
std::string FormatSi(std::optional<double> value, const std::string& unit, int significant = 5);

}  // namespace lab

namespace lab {

// As FormatSi, except that degrees, percent and plain numbers take no
// prefix: `significant` - 2 decimals.
std::string FormatReadout(std::optional<double> value, const std::string& unit, int significant);

}  // namespace lab
