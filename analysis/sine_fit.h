// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sine fits by least squares (IEEE 1057): four parameters (frequency,
// amplitude, phase, offset) from an FFT peak, or three at a known frequency.
// Time 0 is the first sample: x[n] ~ offset + amplitude * sin(2 pi f n / fs + phase_rad).
#include <cstddef>
#include <optional>
#include <span>

#include "analysis/fourier.h"

namespace analysis {

struct SineFit {
  double frequency;  // Hz
  double amplitude;  // peak, unit of the samples
  double phase_rad;  // at the first sample, in (-pi, pi]
  double offset;
  double residual_rms;  // of the samples minus the fitted sine
};

// Three-parameter fit at a known frequency: rejects noise and harmonics.
SineFit FitSineAt(std::span<const double> x, double sample_rate, double frequency);

class SineFitter {
 public:
  explicit SineFitter(std::size_t max_frames);

  // The fundamental, or nullopt where there is no tone: an amplitude below
  // min_amplitude or not clearly above the noise (under 7 times the
  // amplitude the residual's noise alone would give at a chance bin), fewer
  // than one period in the block, or no convergence.
  std::optional<SineFit> Fit(std::span<const double> x, double sample_rate,
                             double min_amplitude = 0);

 private:
  Spectrum spectrum_;
};

// Whether a fit at a known frequency shows that tone rather than noise:
// amplitude at least min_amplitude and 6 times what noise alone would give.
bool ToneAt(const SineFit& fit, std::size_t frames, double min_amplitude = 0);

}  // namespace analysis
