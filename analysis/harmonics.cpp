// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/harmonics.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "analysis/levels.h"

namespace analysis {
namespace {

constexpr double kPi = std::numbers::pi;

}  // namespace

std::array<double, kHighestHarmonic + 1> HarmonicAmplitudes(std::span<const double> x,
                                                            double sample_rate,
                                                            const SineFit& fundamental) {
  std::array<double, kHighestHarmonic + 1> amplitude{};
  amplitude[1] = fundamental.amplitude;
  const double w = 2 * kPi * fundamental.frequency / sample_rate;  // rad per frame
  int highest = 1;
  while (highest < kHighestHarmonic && (highest + 1) * w < kPi) ++highest;
  if (highest < 2 || !(w > 0)) return amplitude;

  // Over whole periods the harmonics are orthogonal to each other, and each
  // is fitted alone to the samples less the fitted fundamental and offset.
  // The samples' sums against each harmonic come from one Goertzel
  // recursion per harmonic, side by side; the fundamental's are in closed
  // form and are taken off after.
  x = x.first(WholePeriodFrames(x.size(), sample_rate, fundamental.frequency));
  const std::size_t n = x.size();
  std::array<double, kHighestHarmonic + 1> coefficient{}, s1{}, s2{};
  for (int k = 1; k <= kHighestHarmonic; ++k) coefficient[k] = 2 * std::cos(k * w);
  for (const double v : x) {
    for (int k = 1; k <= kHighestHarmonic; ++k) {
      const double s0 = v + coefficient[k] * s1[k] - s2[k];
      s2[k] = s1[k];
      s1[k] = s0;
    }
  }
  const double frames = static_cast<double>(n);
  using Complex = std::complex<double>;
  // Sum of exp(i alpha m) over the span.
  auto geometric = [frames](double alpha) {
    const double half = std::sin(alpha / 2);
    const double magnitude = std::abs(half) < 1e-12 ? frames : std::sin(frames * alpha / 2) / half;
    return std::polar(magnitude, alpha * (frames - 1) / 2);
  };
  const Complex e_phase = std::polar(1.0, fundamental.phase_rad);
  for (int k = 2; k <= highest; ++k) {
    const double theta = k * w;
    // Sum of x_m exp(-i theta m): the recursion ends at m = n - 1.
    const Complex samples =
        (s1[k] - std::polar(1.0, -theta) * s2[k]) * std::polar(1.0, -theta * (frames - 1));
    // Of offset + A sin(w m + phase) = offset + A (e^i(..) - e^-i(..)) / 2i.
    const Complex fitted =
        fundamental.offset * geometric(-theta) +
        fundamental.amplitude / Complex(0, 2) *
            (e_phase * geometric(w - theta) - std::conj(e_phase) * geometric(-w - theta));
    const Complex r = samples - fitted;
    const double xs = -r.imag(), xc = r.real();  // against sin and cos
    // Sums of sin^2, cos^2 and sin cos from that of exp(i 2 theta m).
    const Complex g = geometric(2 * theta);
    const double ss = (frames - g.real()) / 2, cc = (frames + g.real()) / 2, sc = g.imag() / 2;
    const double det = ss * cc - sc * sc;
    if (!(det > 0)) continue;
    const double a = (xs * cc - xc * sc) / det;
    const double b = (xc * ss - xs * sc) / det;
    amplitude[k] = std::hypot(a, b);
  }
  return amplitude;
}

std::optional<double> ThdPercent(std::span<const double> x, double sample_rate,
                                 const SineFit& fundamental) {
  if (!(fundamental.amplitude > 0) || !(2 * fundamental.frequency < sample_rate / 2)) {
    return std::nullopt;
  }
  const auto amplitude = HarmonicAmplitudes(x, sample_rate, fundamental);
  double sum = 0;
  for (int k = 2; k <= kHighestHarmonic; ++k) sum += amplitude[k] * amplitude[k];
  return std::sqrt(sum) / fundamental.amplitude * 100;
}

}  // namespace analysis
