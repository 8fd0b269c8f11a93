// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/base/printable.h"

#include <cstdint>

namespace platform {

namespace {

void Escape(std::string& out, unsigned char byte) {
  static const char hex[] = "0123456789ABCDEF";
  out += "\\x";
  out += hex[byte >> 4];
  out += hex[byte & 15];
}

// Length of the valid UTF-8 sequence at `at` (1 to 4) and its code point,
// or 0 when the bytes there do not begin one.
int Sequence(std::string_view s, std::size_t at, std::uint32_t& code) {
  const auto b0 = static_cast<unsigned char>(s[at]);
  if (b0 < 0x80) {
    code = b0;
    return 1;
  }
  int len;
  std::uint32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, code = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, code = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, code = b0 & 0x07, min = 0x10000;
  } else {
    return 0;  // a continuation byte or 0xF8..0xFF
  }
  if (s.size() - at < static_cast<std::size_t>(len)) return 0;
  for (int i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[at + i]);
    if ((b & 0xC0) != 0x80) return 0;
    code = (code << 6) | (b & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return len;
}

bool IsControl(std::uint32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

}  // namespace

std::string PrintableText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    std::uint32_t code = 0;
    const int len = Sequence(bytes, at, code);
    if (len == 0 || IsControl(code)) {
      // A control character's bytes are escaped one by one, like any other.
      const int n = len == 0 ? 1 : len;
      for (int i = 0; i < n; ++i) Escape(out, static_cast<unsigned char>(bytes[at + i]));
      at += static_cast<std::size_t>(n);
    } else {
      out.append(bytes.substr(at, static_cast<std::size_t>(len)));
      at += static_cast<std::size_t>(len);
    }
  }
  return out;
}

std::string PrintableAscii(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b <= 0x7E)
      out += c;
    else
      Escape(out, b);
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    std::uint32_t code = 0;
    const int len = Sequence(bytes, at, code);
    if (len == 0) return false;
    at += static_cast<std::size_t>(len);
  }
  return true;
}

}  // namespace platform
