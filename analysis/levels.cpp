// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/levels.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace analysis {

double Mean(std::span<const double> x) {
  if (x.empty()) return 0;
  double sum = 0;
  for (double v : x) sum += v;
  return sum / static_cast<double>(x.size());
}

double Rms(std::span<const double> x) {
  if (x.empty()) return 0;
  double sum = 0;
  for (double v : x) sum += v * v;
  return std::sqrt(sum / static_cast<double>(x.size()));
}

double RmsAc(std::span<const double> x) {
  // Around the mean rather than rms^2 - mean^2, which cancels to noise when
  // the offset dwarfs the signal; the same quantity.
  const double mean = Mean(x);
  if (x.empty()) return 0;
  double sum = 0;
  for (double v : x) sum += (v - mean) * (v - mean);
  return std::sqrt(sum / static_cast<double>(x.size()));
}

Extremes MinMax(std::span<const double> x) {
  if (x.empty()) throw std::invalid_argument("analysis: empty block");
  Extremes e{x[0], x[0]};
  double probe = 0;  // NaN after any sample that is NaN or infinite
  for (double v : x) {
    e.min = std::min(e.min, v);
    e.max = std::max(e.max, v);
    probe += v * 0;
  }
  if (std::isnan(probe)) {
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (!std::isfinite(x[i])) {
        throw std::invalid_argument("analysis: sample " + std::to_string(i) +
                                    " is not a finite number");
      }
    }
  }
  return e;
}

std::size_t WholePeriodFrames(std::size_t frames, double sample_rate, double frequency_hz) {
  if (!(frequency_hz > 0) || !(sample_rate > 0)) return frames;
  const double periods = std::floor(static_cast<double>(frames) * frequency_hz / sample_rate);
  if (periods < 1) return frames;
  const auto whole = static_cast<std::size_t>(std::llround(periods * sample_rate / frequency_hz));
  return std::clamp<std::size_t>(whole, 1, frames);
}

bool Clipped(std::span<const std::int16_t> raw) {
  for (std::int16_t v : raw) {
    if (v == INT16_MIN || v == INT16_MAX) return true;
  }
  return false;
}

}  // namespace analysis
