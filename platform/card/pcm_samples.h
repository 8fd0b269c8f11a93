// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading and writing one PCM sample of 8 (unsigned) or 16 (signed, little
// endian) bits as a signed 16-bit value.
#include <cstdint>

namespace platform {

inline std::int16_t ReadPcmSample(const char* at, int bits) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(at);
  if (bits == 8) return static_cast<std::int16_t>((p[0] - 128) * 256);
  return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

inline void WritePcmSample(char* at, int bits, std::int16_t value) {
  auto* p = reinterpret_cast<std::uint8_t*>(at);
  const auto u = static_cast<std::uint16_t>(value);
  if (bits == 8) {
    p[0] = static_cast<std::uint8_t>((u >> 8) ^ 0x80);
    return;
  }
  p[0] = static_cast<std::uint8_t>(u);
  p[1] = static_cast<std::uint8_t>(u >> 8);
}

}  // namespace platform
