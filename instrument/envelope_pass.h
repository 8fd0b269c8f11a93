// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The envelope passes' common loop: env[i] := next(x[i], env[i - 1]) for i
// from first to last, where the recurrence keeps a 0 envelope at 0 on the
// samples for which stays_zero holds. Such runs (the other half-waves, the
// zeros past the captured frames) are filled a block at a time.
#include <algorithm>
#include <cstdint>

namespace osciloskop {

template <class StaysZero, class Next>
void EnvelopePass(const std::int32_t* x, std::int32_t* env, std::int32_t first, std::int32_t last,
                  StaysZero stays_zero, Next next) {
  constexpr std::int32_t kBlock = 16;
  if (first > last) return;
  std::int64_t e = env[first - 1];
  std::int32_t i = first;
  for (; i + kBlock <= last + 1; i += kBlock) {
    // Tested for the whole block at once, which the compiler vectorises.
    bool zero = e == 0;
    for (std::int32_t k = 0; k < kBlock; ++k) zero &= stays_zero(x[i + k]);
    if (zero) {
      std::fill_n(env + i, kBlock, 0);
      continue;
    }
    for (std::int32_t k = 0; k < kBlock; ++k) {
      e = next(std::int64_t{x[i + k]}, e);
      env[i + k] = static_cast<std::int32_t>(e);
    }
  }
  for (; i <= last; ++i) {
    e = next(std::int64_t{x[i]}, e);
    env[i] = static_cast<std::int32_t>(e);
  }
}

}  // namespace osciloskop
