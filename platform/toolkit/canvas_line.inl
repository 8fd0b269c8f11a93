// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Integer line rasterisation. Along the major axis every coordinate from the
// start up to, not including, the end is visited once; the minor coordinate
// is the exact line rounded to the nearest pixel, halves away from the start
// (computed with integers only, so the result never depends on floating point).
#include <cstdlib>

namespace platform {

namespace detail {
// Nearest integer of num/den (den > 0), halves rounded up.
constexpr long long RoundDiv(long long num, long long den) {
  long long twice = 2 * num + den;
  long long q = twice / (2 * den);
  if (twice % (2 * den) < 0) --q;  // floor division
  return q;
}
}  // namespace detail

template <class Fn>
void RasteriseLine(int x0, int y0, int x1, int y1, Fn&& fn) {
  const long long dx = static_cast<long long>(x1) - x0;
  const long long dy = static_cast<long long>(y1) - y0;
  const long long adx = std::llabs(dx);
  const long long ady = std::llabs(dy);
  if (adx == 0 && ady == 0) return;
  if (adx >= ady) {
    const int sx = dx > 0 ? 1 : -1;
    for (long long i = 0; i < adx; ++i) {
      long long y = y0 + (dy >= 0 ? detail::RoundDiv(i * ady, adx) : -detail::RoundDiv(i * ady, adx));
      fn(static_cast<int>(x0 + sx * i), static_cast<int>(y));
    }
  } else {
    const int sy = dy > 0 ? 1 : -1;
    for (long long i = 0; i < ady; ++i) {
      long long x = x0 + (dx >= 0 ? detail::RoundDiv(i * adx, ady) : -detail::RoundDiv(i * adx, ady));
      fn(static_cast<int>(x), static_cast<int>(y0 + sy * i));
    }
  }
}

}  // namespace platform
