// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/pair.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace analysis {
namespace {

std::complex<double> Phasor(const SineFit& fit, double advance_rad) {
  return std::polar(fit.amplitude, fit.phase_rad + advance_rad);
}

double SkewRad(const SineFit& i, double skew_s) {
  return 2 * std::numbers::pi * i.frequency * skew_s;
}

}  // namespace

double PhaseDeg(const SineFit& u, const SineFit& i, double skew_s) {
  const double rad = std::arg(Phasor(i, SkewRad(i, skew_s)) / Phasor(u, 0));  // [-pi, pi]
  const double deg = rad * 180 / std::numbers::pi;
  return deg <= -180 ? deg + 360 : deg;
}

Impedance ImpedanceOf(const SineFit& u, const SineFit& i, double skew_s) {
  const std::complex<double> z = Phasor(u, 0) / Phasor(i, SkewRad(i, skew_s));
  return {std::abs(z), z.real(), z.imag()};
}

double MeanProduct(std::span<const double> u, std::span<const double> i) {
  double sum = 0;
  for (std::size_t k = 0; k < u.size(); ++k) sum += u[k] * i[k];
  return sum / static_cast<double>(u.size());
}

}  // namespace analysis
