// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Colours and fonts as the instrument names them.
#include <cstdint>
#include <string>

namespace platform {

// 0x00BBGGRR, the byte order of the system the instrument was written for.
using TColor = std::uint32_t;

constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) { return c & 0xFF; }
constexpr int GetGValue(TColor c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(TColor c) { return (c >> 16) & 0xFF; }

inline constexpr TColor clBlack = RGB(0, 0, 0);
inline constexpr TColor clWhite = RGB(255, 255, 255);
inline constexpr TColor clYellow = RGB(255, 255, 0);
inline constexpr TColor clAqua = RGB(0, 255, 255);
inline constexpr TColor clRed = RGB(255, 0, 0);
inline constexpr TColor clTeal = RGB(0, 128, 128);
inline constexpr TColor clFuchsia = RGB(255, 0, 255);
inline constexpr TColor clBtnFace = RGB(212, 208, 200);
inline constexpr TColor clWindow = RGB(255, 255, 255);
inline constexpr TColor clDefault = 0xFF000000u;  // "use the control's own"

std::string ColorName(TColor c);

struct TFontSpec {
  int PixelSize = 11;  // 8 points at 96 dpi
  bool Bold = true;
  TColor Color = clBlack;
};

}  // namespace platform
