// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Response data as IEEE 488.2 writes it: numbers, strings, definite length
// blocks; everything in 7-bit ASCII.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace scpi {

// SCPI's "not a number", answered where a reading has no value.
inline constexpr double kNotANumber = 9.91e37;

// NR3 with eleven significant digits ("1.0000000000E+03"); kNotANumber
// when there is no value or it is not finite.
std::string Number(std::optional<double> value);
std::string Integer(std::int64_t value);
// In double quotes, a quote inside doubled.
std::string Quoted(std::string_view text);
// #<digits><length><bytes>.
std::string Block(std::string_view bytes);
// UTF-8 as ASCII: Czech letters without their marks, anything else not
// ASCII or not printable as '?'.
std::string Ascii(std::string_view utf8);

}  // namespace scpi
