// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/scpi/response.h"

#include <cmath>
#include <cstdio>

namespace scpi {

std::string Number(std::optional<double> value) {
  const double v = value && std::isfinite(*value) ? *value : kNotANumber;
  char text[32];
  std::snprintf(text, sizeof text, "%.10E", v);
  return text;
}

std::string Integer(std::int64_t value) { return std::to_string(value); }

std::string Quoted(std::string_view text) {
  std::string q = "\"";
  for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

std::string Block(std::string_view bytes) {
  const std::string length = std::to_string(bytes.size());
  std::string b = "#" + std::to_string(length.size()) + length;
  b.append(bytes);
  return b;
}

std::string Ascii(std::string_view utf8) {
  // The Czech letters with marks, as UTF-8 (two bytes each), and their bases.
  static constexpr struct {
    const char* letter;
    char base;
  } kLetters[] = {
      {"á", 'a'}, {"č", 'c'}, {"ď", 'd'}, {"é", 'e'}, {"ě", 'e'}, {"í", 'i'}, {"ň", 'n'},
      {"ó", 'o'}, {"ř", 'r'}, {"š", 's'}, {"ť", 't'}, {"ú", 'u'}, {"ů", 'u'}, {"ý", 'y'},
      {"ž", 'z'}, {"Á", 'A'}, {"Č", 'C'}, {"Ď", 'D'}, {"É", 'E'}, {"Ě", 'E'}, {"Í", 'I'},
      {"Ň", 'N'}, {"Ó", 'O'}, {"Ř", 'R'}, {"Š", 'S'}, {"Ť", 'T'}, {"Ú", 'U'}, {"Ů", 'U'},
      {"Ý", 'Y'}, {"Ž", 'Z'}, {"Ω", 'O'}, {"°", 'd'},
  };
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    bool known = false;
    for (const auto& l : kLetters)
      if (utf8.substr(i, 2) == l.letter) {
        out += l.base;
        i += 2;
        known = true;
        break;
      }
    if (known) continue;
    out += '?';
    // The rest of a multi-byte character goes with it.
    ++i;
    if (c >= 0xc0)
      while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xc0) == 0x80) ++i;
  }
  return out;
}

}  // namespace scpi
