// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversions between device time and frame indices on a grid where frame i
// begins at FrameTime(i, rate). Products are split so that they do not
// overflow for long runs.
#include <cstdint>

#include "platform/base/timebase.h"

namespace platform {

// floor(a * b / c) for a >= 0, b >= 0, c > 0.
constexpr std::int64_t MulDivFloor(std::int64_t a, std::int64_t b, std::int64_t c) {
  return (a / c) * b + ((a % c) * b) / c;
}
constexpr bool MulDivExact(std::int64_t a, std::int64_t b, std::int64_t c) {
  return ((a % c) * b) % c == 0;
}

// The first frame that begins at or after time t (t >= 0).
constexpr std::int64_t FirstFrameFrom(Nanos t, std::int64_t rate) {
  return MulDivFloor(t, rate, NanosPerSecond) + (MulDivExact(t, rate, NanosPerSecond) ? 0 : 1);
}

// The frame during which time t falls (t >= 0).
constexpr std::int64_t FrameAt(Nanos t, std::int64_t rate) {
  return FirstFrameFrom(t + 1, rate) - 1;
}

}  // namespace platform
