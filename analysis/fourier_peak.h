// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tones read off an amplitude spectrum (Spectrum::Amplitudes, averaged or
// not): the strongest one's frequency and amplitude between bins, from the
// window's own response, and its harmonics, THD and THD+N.
#include <array>
#include <cstddef>
#include <optional>
#include <span>

#include "analysis/harmonics.h"
#include "analysis/fourier.h"

namespace analysis {

struct SpectrumTone {
  double frequency;  // Hz
  double amplitude;  // peak, in the unit of the samples
};

// The layout of one spectrum: its window, the block's frames and rate.
struct SpectrumLayout {
  Window window;
  std::size_t frames;
  double sample_rate;
  double BinHz() const { return sample_rate / static_cast<double>(frames); }
};

// The strongest tone away from the mean (bin 0's lobe); nullopt when the
// spectrum is all zero or too short to hold one.
std::optional<SpectrumTone> PeakOf(std::span<const double> amplitudes, const SpectrumLayout& at);

// The amplitude of a tone known to be at `frequency`, corrected for where it
// falls between bins; 0 at or above half the sample rate.
double AmplitudeAt(std::span<const double> amplitudes, const SpectrumLayout& at, double frequency);

struct SpectrumDistortion {
  SpectrumTone fundamental;
  // Peak amplitude of harmonic k at index k (1 the fundamental's); 0 where
  // it is at or above half the sample rate.
  std::array<double, kHighestHarmonic + 1> harmonics{};
  int highest = 1;           // the highest harmonic below half the rate
  double thd_percent = 0;    // harmonics 2..highest over the fundamental
  double thd_n_percent = 0;  // all but the fundamental and the mean, over the fundamental
};

std::optional<SpectrumDistortion> DistortionOf(std::span<const double> amplitudes,
                                               const SpectrumLayout& at);

}  // namespace analysis
