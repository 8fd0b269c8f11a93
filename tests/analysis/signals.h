// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test signals written out plainly, as a 16-bit card would record them.
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace signals {

struct Tone {
  double amplitude;  // peak, in counts
  double frequency;  // Hz
  double phase_rad = 0;
};

// round(offset + sum of amplitude sin(2 pi f n / fs + phase) + noise), held to
// 16 bits, times per_count.
inline std::vector<double> Counts(std::size_t frames, double sample_rate,
                                  const std::vector<Tone>& tones, double offset = 0,
                                  double noise_rms = 0, unsigned seed = 1, double per_count = 1) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0, noise_rms > 0 ? noise_rms : 1);
  std::vector<double> x(frames);
  for (std::size_t n = 0; n < frames; ++n) {
    double v = offset;
    for (const Tone& t : tones) {
      v += t.amplitude *
           std::sin(2 * std::numbers::pi * t.frequency * static_cast<double>(n) / sample_rate +
                    t.phase_rad);
    }
    if (noise_rms > 0) v += noise(random);
    x[n] = std::clamp(std::round(v), -32768.0, 32767.0) * per_count;
  }
  return x;
}

}  // namespace signals
