// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fourier_average.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace analysis {

SpectrumAverage::SpectrumAverage(std::size_t bins)
    : bins_(bins), power_(bins * kMaxCount), mean_(bins) {}

void SpectrumAverage::Add(std::span<const double> amplitudes) {
  if (amplitudes.size() != bins_) {
    throw std::invalid_argument("analysis: a spectrum of " + std::to_string(amplitudes.size()) +
                                " bins averaged with ones of " + std::to_string(bins_));
  }
  double* row = power_.data() + static_cast<std::size_t>(next_) * bins_;
  for (std::size_t k = 0; k < bins_; ++k) row[k] = amplitudes[k] * amplitudes[k];
  next_ = (next_ + 1) % kMaxCount;
  filled_ = std::min(filled_ + 1, kMaxCount);
}

void SpectrumAverage::SetCount(int count) { count_ = std::clamp(count, 1, kMaxCount); }

void SpectrumAverage::Clear() { filled_ = next_ = 0; }

std::span<const double> SpectrumAverage::Amplitudes() {
  const int n = std::min(count_, filled_);
  if (n == 0) return {};
  std::fill(mean_.begin(), mean_.end(), 0.0);
  for (int i = 1; i <= n; ++i) {
    const int r = (next_ - i + kMaxCount) % kMaxCount;
    const double* row = power_.data() + static_cast<std::size_t>(r) * bins_;
    for (std::size_t k = 0; k < bins_; ++k) mean_[k] += row[k];
  }
  for (double& v : mean_) v = std::sqrt(v / n);
  return mean_;
}

}  // namespace analysis
