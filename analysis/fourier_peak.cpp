// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fourier_peak.h"

#include <algorithm>
#include <cmath>

namespace analysis {
namespace {

// Where between bins `low` and `low + 1` a tone lies (0 to 1), from the
// ratio of the two: the window's response is monotonic over its main lobe.
double OffsetBetween(double low, double high, const SpectrumLayout& at) {
  if (!(low > 0)) return 1;
  const double ratio = high / low;
  double a = 0, b = 1;
  for (int i = 0; i < 48; ++i) {
    const double d = (a + b) / 2;
    const double r =
        WindowResponse(at.window, at.frames, d - 1) / WindowResponse(at.window, at.frames, d);
    (r < ratio ? a : b) = d;
  }
  return (a + b) / 2;
}

}  // namespace

std::optional<SpectrumTone> PeakOf(std::span<const double> amplitudes, const SpectrumLayout& at) {
  const auto first = static_cast<std::size_t>(WindowLobeBins(at.window));
  if (amplitudes.size() < first + 3) return std::nullopt;
  const auto top = std::max_element(amplitudes.begin() + first, amplitudes.end() - 1);
  if (!(*top > 0)) return std::nullopt;
  const auto k = static_cast<std::size_t>(top - amplitudes.begin());
  const std::size_t low = amplitudes[k - 1] > amplitudes[k + 1] ? k - 1 : k;
  const double offset = OffsetBetween(amplitudes[low], amplitudes[low + 1], at);
  const double bin = static_cast<double>(low) + offset;
  const double frequency = bin * at.BinHz();
  return SpectrumTone{frequency, AmplitudeAt(amplitudes, at, frequency)};
}

double AmplitudeAt(std::span<const double> amplitudes, const SpectrumLayout& at, double frequency) {
  const double bin = frequency / at.BinHz();
  const auto k = static_cast<std::size_t>(std::lround(bin));
  if (!(bin >= 0) || k + 1 >= amplitudes.size() || 2 * frequency >= at.sample_rate) return 0;
  return amplitudes[k] / WindowResponse(at.window, at.frames, bin - static_cast<double>(k));
}

std::optional<SpectrumDistortion> DistortionOf(std::span<const double> amplitudes,
                                               const SpectrumLayout& at) {
  const std::optional<SpectrumTone> peak = PeakOf(amplitudes, at);
  if (!peak || !(peak->amplitude > 0)) return std::nullopt;
  SpectrumDistortion d;
  d.fundamental = *peak;
  d.harmonics[1] = peak->amplitude;
  double harmonics = 0;
  for (int k = 2; k <= kHighestHarmonic; ++k) {
    if (2 * k * peak->frequency >= at.sample_rate) break;
    d.highest = k;
    d.harmonics[k] = AmplitudeAt(amplitudes, at, k * peak->frequency);
    harmonics += d.harmonics[k] * d.harmonics[k];
  }
  d.thd_percent = std::sqrt(harmonics) / peak->amplitude * 100;
  // Everything else: the bins' power less the mean's and the fundamental's
  // lobes, each bin holding the noise of WindowNoiseBins bins.
  const auto lobe = static_cast<std::ptrdiff_t>(WindowLobeBins(at.window));
  const auto centre = static_cast<std::ptrdiff_t>(std::lround(peak->frequency / at.BinHz()));
  double rest = 0;
  for (std::size_t i = 0; i < amplitudes.size(); ++i) {
    const auto k = static_cast<std::ptrdiff_t>(i);
    if (k <= lobe || std::abs(k - centre) <= lobe) continue;
    rest += amplitudes[i] * amplitudes[i];
  }
  d.thd_n_percent = std::sqrt(rest / WindowNoiseBins(at.window)) / peak->amplitude * 100;
  return d;
}

}  // namespace analysis
