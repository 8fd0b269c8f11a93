// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/block_analyzer.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "analysis/harmonics.h"
#include "analysis/levels.h"
#include "analysis/pair.h"

namespace analysis {
namespace {

ChannelReadings MeasureChannel(std::span<const double> x, double sample_rate, const Extremes& e,
                               const std::optional<SineFit>& fit, bool clipped) {
  ChannelReadings r{};
  r.max = e.max;
  r.min = e.min;
  r.peak_to_peak = e.PeakToPeak();
  r.clipped = clipped;
  std::span<const double> periods = x;
  if (fit) {
    r.frequency = fit->frequency;
    r.thd_percent = ThdPercent(x, sample_rate, *fit);
    periods = x.first(WholePeriodFrames(x.size(), sample_rate, fit->frequency));
  }
  r.mean = Mean(periods);
  r.rms = Rms(periods);
  r.rms_ac = RmsAc(periods);
  return r;
}

PairReadings MeasurePair(std::span<const double> ur, std::span<const double> il, double sample_rate,
                         const std::optional<SineFit>& ur_fit, const std::optional<SineFit>& il_fit,
                         const BlockScale& scale) {
  PairReadings p;
  // Both channels at one frequency: the voltage's, else the current's.
  std::optional<double> f;
  if (ur_fit) {
    f = ur_fit->frequency;
  } else if (il_fit) {
    f = il_fit->frequency;
  }
  const std::size_t frames = f ? WholePeriodFrames(ur.size(), sample_rate, *f) : ur.size();
  const auto u_span = ur.first(frames), i_span = il.first(frames);
  double power = MeanProduct(u_span, i_span);
  const double apparent = Rms(u_span) * Rms(i_span);

  if (f) {
    const SineFit u = ur_fit ? *ur_fit : FitSineAt(ur, sample_rate, *f);
    const SineFit i = FitSineAt(il, sample_rate, *f);
    if (ToneAt(u, ur.size(), scale.ur_min_amplitude) &&
        ToneAt(i, il.size(), scale.il_min_amplitude)) {
      const double phase = PhaseDeg(u, i, scale.skew_s);
      p.phase_deg = phase;
      p.delay_s = -phase / (360 * *f);
      const Impedance z = ImpedanceOf(u, i, scale.skew_s);
      p.impedance_ohm = z.magnitude_ohm;
      p.resistance_ohm = z.resistance_ohm;
      p.reactance_ohm = z.reactance_ohm;
      // The skew shifts the product of the samples too: put right the
      // fundamentals' share of it (the harmonics' share stays).
      const double measured = std::cos(u.phase_rad - i.phase_rad);
      const double corrected = std::cos(phase * std::numbers::pi / 180);
      power += u.amplitude * i.amplitude / 2 * (corrected - measured);
      if (apparent > 0) {
        p.power_factor = power / apparent;
        const double q = std::sqrt(std::max(0.0, apparent * apparent - power * power));
        p.reactive_power_var = z.reactance_ohm < 0 ? -q : q;
      }
    }
  }
  p.power_w = power;
  p.apparent_power_va = apparent;
  return p;
}

}  // namespace

BlockAnalyzer::BlockAnalyzer(std::size_t max_frames)
    : max_frames_(max_frames), fitter_(max_frames) {}

Readings BlockAnalyzer::Measure(std::span<const double> ur, std::span<const double> il,
                                const BlockScale& scale, bool ur_clipped, bool il_clipped) {
  if (ur.size() != il.size()) {
    throw std::invalid_argument("analysis: UR has " + std::to_string(ur.size()) +
                                " frames but IL " + std::to_string(il.size()));
  }
  if (ur.empty() || ur.size() > max_frames_) {
    throw std::invalid_argument("analysis: a block of " + std::to_string(ur.size()) +
                                " frames (1 to " + std::to_string(max_frames_) + ")");
  }
  if (!(scale.sample_rate > 0) || !(std::abs(scale.clock_ppm) < 1e5) ||
      !std::isfinite(scale.skew_s)) {
    throw std::invalid_argument("analysis: a sample rate of " + std::to_string(scale.sample_rate) +
                                " Hz, clock " + std::to_string(scale.clock_ppm) + " ppm, skew " +
                                std::to_string(scale.skew_s) + " s");
  }
  const Extremes ur_extremes = MinMax(ur);  // refuses samples that are not finite, before any fit
  const Extremes il_extremes = MinMax(il);
  const double sample_rate = scale.sample_rate * (1 + scale.clock_ppm * 1e-6);

  const std::optional<SineFit> ur_fit = fitter_.Fit(ur, sample_rate, scale.ur_min_amplitude);
  const std::optional<SineFit> il_fit = fitter_.Fit(il, sample_rate, scale.il_min_amplitude);
  Readings r;
  r.ur = MeasureChannel(ur, sample_rate, ur_extremes, ur_fit, ur_clipped);
  r.il = MeasureChannel(il, sample_rate, il_extremes, il_fit, il_clipped);
  r.pair = MeasurePair(ur, il, sample_rate, ur_fit, il_fit, scale);
  return r;
}

}  // namespace analysis
