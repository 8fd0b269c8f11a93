#include "analysis/harmonics.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "analysis/levels.h"

namespace analysis {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::size_t kReseedFrames = 256;  // as the fits: rotations restarted exactly

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

  // Over whole periods the harmonics are orthogonal to each other and to what
  // is left of the fundamental and the offset, so each is fitted alone, to
  // the samples less the fitted fundamental.
  x = x.first(WholePeriodFrames(x.size(), sample_rate, fundamental.frequency));
  const std::size_t n = x.size();
  std::array<double, kHighestHarmonic + 1> cos_w{}, sin_w{}, xs{}, xc{};
  for (int k = 1; k <= highest; ++k) {
    cos_w[k] = std::cos(k * w);
    sin_w[k] = std::sin(k * w);
  }
  for (std::size_t start = 0; start < n; start += kReseedFrames) {
    const std::size_t end = std::min(n, start + kReseedFrames);
    std::array<double, kHighestHarmonic + 1> S{}, C{};
    for (int k = 1; k <= highest; ++k) {
      const double theta = k * w * static_cast<double>(start);
      S[k] = std::sin(theta);
      C[k] = std::cos(theta);
    }
    const double sin_phase = std::sin(fundamental.phase_rad);
    const double cos_phase = std::cos(fundamental.phase_rad);
    for (std::size_t i = start; i < end; ++i) {
      const double r =
          x[i] - fundamental.offset - fundamental.amplitude * (S[1] * cos_phase + C[1] * sin_phase);
      for (int k = 1; k <= highest; ++k) {
        xs[k] += r * S[k];
        xc[k] += r * C[k];
        const double next_s = S[k] * cos_w[k] + C[k] * sin_w[k];
        C[k] = C[k] * cos_w[k] - S[k] * sin_w[k];
        S[k] = next_s;
      }
    }
  }
  const double frames = static_cast<double>(n);
  for (int k = 2; k <= highest; ++k) {
    // sum of exp(i 2 k w m) over the span, closed form: it gives the sums of
    // sin^2, cos^2 and sin cos without a pass.
    const double half = k * w;
    const std::complex<double> g =
        std::polar(std::sin(frames * half) / std::sin(half), (frames - 1) * half);
    const double ss = (frames - g.real()) / 2, cc = (frames + g.real()) / 2, sc = g.imag() / 2;
    const double det = ss * cc - sc * sc;
    if (!(det > 0)) continue;
    const double a = (xs[k] * cc - xc[k] * sc) / det;
    const double b = (xc[k] * ss - xs[k] * sc) / det;
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
