// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One channel of a sound, as float samples of full scale 1.0, converted to
// 16-bit samples at another frame rate: by libsoxr at its very high quality
// (a linear-phase filter whose images and aliases lie far below what 16
// bits can show, its delay taken out, so frame k of the result lies at time
// k / to_rate), fast enough to convert an hour of sound in a few seconds.
// At equal rates the samples are only rounded (a 16-bit sample s, read as
// s / 32768, comes back exactly). Samples beyond full scale are clipped;
// NaN becomes 0.
//
// Push the sound in pieces of any size, then Finish once: the result is
// round(frames * to_rate / from_rate) samples.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct soxr;

namespace platform {

class RateConverter {
 public:
  RateConverter() = default;
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  // Empty on success, else libsoxr's reason.
  std::string Start(double from_rate, double to_rate);
  // Empty on success, else libsoxr's reason; converted samples go to `out`.
  std::string Push(const float* in, std::size_t frames, std::vector<std::int16_t>& out);
  std::string Finish(std::vector<std::int16_t>& out);

 private:
  std::string Run(const float* in, std::size_t frames, std::vector<std::int16_t>& out);
  soxr* soxr_ = nullptr;  // null at equal rates
  std::vector<float> piece_;
};

}  // namespace platform
