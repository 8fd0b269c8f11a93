// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/windowed_sinc.h"

#include <cmath>
#include <numbers>

namespace platform {

namespace {

// The modified Bessel function of order 0, by its power series.
double BesselI0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 200 && term > 1e-17 * sum; ++k) {
    const double f = x / (2.0 * k);
    term *= f * f;
    sum += term;
  }
  return sum;
}

}  // namespace

std::vector<double> WindowedSincTaps(int half, double frac, double beta) {
  std::vector<double> taps(static_cast<std::size_t>(2 * half));
  double sum = 0;
  for (int i = 0; i < 2 * half; ++i) {
    const double t = (i - half + 1) - frac;  // tap's distance from the point
    const double r = t / half;
    const double window =
        std::abs(r) >= 1 ? 0 : BesselI0(beta * std::sqrt(1 - r * r)) / BesselI0(beta);
    // Exact zeros at the other samples, so that a sample is picked unchanged.
    const double sinc = t == 0 ? 1
                        : t == std::round(t)
                            ? 0
                            : std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
    taps[static_cast<std::size_t>(i)] = sinc * window;
    sum += taps[static_cast<std::size_t>(i)];
  }
  for (double& t : taps) t /= sum;
  return taps;
}

}  // namespace platform
