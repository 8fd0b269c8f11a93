// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mean power of the last 1 to 16 amplitude spectra of one channel, as an
// amplitude spectrum again: noise settles, steady tones keep their level.
#include <cstddef>
#include <span>
#include <vector>

namespace analysis {

class SpectrumAverage {
 public:
  static constexpr int kMaxCount = 16;

  explicit SpectrumAverage(std::size_t bins);

  // Throws std::invalid_argument for a spectrum of another length.
  void Add(std::span<const double> amplitudes);
  // How many of the latest spectra the mean takes (1 to kMaxCount).
  void SetCount(int count);
  int Count() const { return count_; }
  void Clear();
  // The mean of the latest Count() spectra (fewer until that many came);
  // empty before the first. Valid until the next call.
  std::span<const double> Amplitudes();

 private:
  std::size_t bins_;
  int count_ = 1;
  int filled_ = 0;
  int next_ = 0;
  std::vector<double> power_;  // kMaxCount rows of bins_
  std::vector<double> mean_;
};

}  // namespace analysis
