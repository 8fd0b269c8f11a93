// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/circuit_input.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/card/virtual/windowed_sinc.h"

namespace platform {

namespace {

// Kaiser's beta for about 90 dB of image rejection.
constexpr double kBeta = 9.0;
constexpr std::int64_t kIdleRate = 44100;
constexpr std::uint64_t kNoiseSeed = 0x6f7363696c6f736bULL;

std::uint64_t SplitMix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// Uniform in (0, 1].
double Unit(std::uint64_t bits) { return (static_cast<double>(bits >> 11) + 1.0) * 0x1.0p-53; }

std::size_t Slot(std::int64_t frame, std::size_t size) {
  const auto s = static_cast<std::int64_t>(size);
  return static_cast<std::size_t>(((frame % s) + s) % s);
}

}  // namespace

CircuitInput::CircuitInput(CircuitDescription description)
    : description_(std::move(description)), network_(description_.upper, description_.lower) {
  // Tap by tap, every point of a frame side by side: the sums vectorise.
  taps_.resize(static_cast<std::size_t>(kPoints * 2 * kHalf));
  for (int j = 0; j < kOversample; ++j) {
    const double at[2] = {(j + CircuitNetwork::kGamma) / kOversample,
                          static_cast<double>(j + 1) / kOversample};
    for (int s = 0; s < 2; ++s) {
      const std::vector<double> t = WindowedSincTaps(kHalf, at[s], kBeta);
      for (int k = 0; k < 2 * kHalf; ++k)
        taps_[static_cast<std::size_t>(k * kPoints + 2 * j + s)] =
            static_cast<float>(t[static_cast<std::size_t>(k)]);
    }
  }
  if (description_.noisy) noise_rms_ = std::pow(10.0, description_.noise_dbfs / 20.0) * 32767.0;
  kept_.resize(static_cast<std::size_t>(2 * kKept));
}

void CircuitInput::Restart(std::int64_t rate, std::int64_t from) {
  rate_ = rate;
  first_ = next_ = from;
  network_.Reset(1.0 / (static_cast<double>(rate) * kOversample));
  source_.assign(2 * kRing, 0.0f);
  r_.assign(kRing, 0.0);
  l_.assign(kRing, 0.0);
  delay_ = 0;
  skew_taps_.clear();
  if (description_.skew != 0) {
    // Channel L at n - delay_ - s from l[m - kSkewHalf + 1 .. m + kSkewHalf],
    // m = floor(n - delay_ - s), all of them computed by frame n.
    const double s = description_.skew * static_cast<double>(rate);
    delay_ = static_cast<std::int64_t>(std::ceil(std::abs(s))) + kSkewHalf;
    const double whole = std::floor(-s);
    skew_taps_ = WindowedSincTaps(kSkewHalf, -s - whole, kBeta);
    skew_base_ = delay_ - static_cast<std::int64_t>(whole) + kSkewHalf - 1;
  }
}

double CircuitInput::Noise(std::int64_t frame, int input) const {
  // A pure function of the frame and the input: Box and Muller's transform
  // of two hashed counters.
  const std::uint64_t key = kNoiseSeed ^ (static_cast<std::uint64_t>(frame) * 2 + input);
  const double u1 = Unit(SplitMix(key)), u2 = Unit(SplitMix(key ^ 0xa5a5a5a5a5a5a5a5ULL));
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

void CircuitInput::Advance(const OutputHistory& history) {
  const std::int64_t n = next_++;
  const double x = history.Get(n, 0) * (kFullScale / 32767.0);
  source_[Slot(n, kRing)] = source_[Slot(n, kRing) + kRing] = static_cast<float>(x);

  // The circuit steps to time n - kHalf over x[n - 2 kHalf .. n - 1].
  const float* window = &source_[Slot(n - 2 * kHalf, kRing)];
  // Single precision is ample (its rounding is far below a count) and
  // doubles the width of the vectorised sums.
  float points[kPoints] = {};
  for (int k = 0; k < 2 * kHalf; ++k) {
    const float xk = window[k];
    const float* t = &taps_[static_cast<std::size_t>(k * kPoints)];
    for (int p = 0; p < kPoints; ++p) points[p] += xk * t[p];
  }
  double junction = 0;
  for (int j = 0; j < kOversample; ++j) junction = network_.Step(points[2 * j], points[2 * j + 1]);
  const double source = source_[Slot(n - kHalf, kRing)];
  const bool dut = description_.mode == CircuitDescription::Mode::Dut;
  double r = dut ? source - junction : junction;
  double l = dut ? junction : source;
  r_[Slot(n, kRing)] = r;
  l_[Slot(n, kRing)] = l;
  if (!skew_taps_.empty()) {
    r = r_[Slot(n - delay_, kRing)];
    l = 0;
    for (int k = 0; k < 2 * kSkewHalf; ++k)
      l += skew_taps_[static_cast<std::size_t>(k)] * l_[Slot(n - skew_base_ + k, kRing)];
  }
  const double volts[2] = {r, l};
  for (int input = 0; input < 2; ++input) {
    double counts = volts[input] * (32767.0 / kFullScale);
    if (noise_rms_ > 0) counts += noise_rms_ * Noise(n, input);
    counts = std::clamp(std::nearbyint(counts), -32768.0, 32767.0);
    kept_[2 * Slot(n, kKept) + input] = static_cast<std::int16_t>(counts);
  }
}

std::int16_t CircuitInput::Sample(const OutputHistory& history, std::int64_t frame, int input) {
  if (frame < 0) return 0;
  const std::int64_t rate = history.Rate() > 0 ? history.Rate() : kIdleRate;
  if (rate != rate_)
    Restart(rate, std::max<std::int64_t>(0, frame - kWarmUp));
  else if (frame >= next_ + kKept / 2)
    Restart(rate, frame - kWarmUp);
  // Before the circuit's start, or no longer kept: as the history, silence.
  if (frame < first_ || frame < next_ - kKept) return 0;
  while (next_ <= frame) Advance(history);
  return kept_[2 * Slot(frame, kKept) + (input & 1)];
}

}  // namespace platform
