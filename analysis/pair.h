// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Quantities of the two channels together, from their fundamentals fitted at
// one common frequency. skew_s is how long the IL channel lags the UR
// channel: the current's phase is advanced by 360 f skew_s degrees.
#include <span>

#include "analysis/sine_fit.h"

namespace analysis {

// Phase of the current relative to the voltage in degrees, (-180, 180],
// positive when the current leads.
double PhaseDeg(const SineFit& u, const SineFit& i, double skew_s);

struct Impedance {
  double magnitude_ohm;
  double resistance_ohm;
  double reactance_ohm;  // negative for a capacitor
};
// U / I of the fundamental phasors; the current's amplitude must not be 0.
Impedance ImpedanceOf(const SineFit& u, const SineFit& i, double skew_s);

// Mean of u * i over the spans (of equal length, not empty).
double MeanProduct(std::span<const double> u, std::span<const double> i);

}  // namespace analysis
