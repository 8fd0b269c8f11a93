// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Harmonics of a fitted fundamental, by least squares at the known multiples
// of its frequency over whole periods of the fundamental.
#include <array>
#include <optional>
#include <span>

#include "analysis/sine_fit.h"

namespace analysis {

inline constexpr int kHighestHarmonic = 10;

// Peak amplitude of harmonic k at index k (1 is the fundamental's); 0 for
// harmonics at or above half the sample rate.
std::array<double, kHighestHarmonic + 1> HarmonicAmplitudes(std::span<const double> x,
                                                            double sample_rate,
                                                            const SineFit& fundamental);

// sqrt(sum of harmonics 2..10 squared) / fundamental * 100; nullopt where the
// second harmonic is at or above half the sample rate.
std::optional<double> ThdPercent(std::span<const double> x, double sample_rate,
                                 const SineFit& fundamental);

}  // namespace analysis
