// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The wave records the wave tests build: a PCM format and a data block
// with its header.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/mm/mmsystem.h"

namespace wavetest {

inline constexpr DWORD kWindowFlags = CALLBACK_WINDOW | WAVE_ALLOWSYNC;

inline WAVEFORMATEX Pcm(int channels, int rate, int bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<WORD>(channels);
  f.nSamplesPerSec = static_cast<DWORD>(rate);
  f.wBitsPerSample = static_cast<WORD>(bits);
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  return f;
}

// A block of n bytes, filled with `fill`, and a header pointing at it.
struct Buffer {
  explicit Buffer(std::size_t n, char fill = 0) : bytes(n, fill) {
    std::memset(&hdr, 0, sizeof hdr);
    hdr.lpData = bytes.data();
    hdr.dwBufferLength = static_cast<DWORD>(n);
  }
  std::int16_t Sample(std::size_t i) const {
    std::int16_t s;
    std::memcpy(&s, bytes.data() + 2 * i, 2);
    return s;
  }
  std::vector<char> bytes;
  WAVEHDR hdr;
};

}  // namespace wavetest
