// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Band-limited interpolation: Kaiser-windowed sinc taps for the value of a
// sampled signal between its samples.
#include <vector>

namespace platform {

// The 2 * half taps that give x(m + frac), 0 <= frac <= 1, from
// x[m - half + 1] ... x[m + half], normalised to unit gain at DC. At frac 0
// and 1 they pick the sample itself.
std::vector<double> WindowedSincTaps(int half, double frac, double beta);

}  // namespace platform
