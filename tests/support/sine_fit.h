// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A sine of known frequency fitted to samples by least squares, written
// apart from the code under test: y[n] ~ Re(P exp(j 2 pi hz n / rate)) + c.
#include <complex>
#include <numbers>
#include <vector>

namespace testfit {

// P, from sample `from` on.
inline std::complex<double> Phasor(const std::vector<double>& y, double hz, std::size_t from,
                                   double rate = 44100) {
  double m[3][4] = {};
  for (std::size_t n = from; n < y.size(); ++n) {
    const double w = 2 * std::numbers::pi * hz * static_cast<double>(n) / rate;
    const double basis[3] = {std::cos(w), std::sin(w), 1.0};
    for (int i = 0; i < 3; ++i) {
      for (int k = 0; k < 3; ++k) m[i][k] += basis[i] * basis[k];
      m[i][3] += basis[i] * y[n];
    }
  }
  for (int k = 0; k < 3; ++k)
    for (int i = k + 1; i < 3; ++i) {
      const double f = m[i][k] / m[k][k];
      for (int c = k; c < 4; ++c) m[i][c] -= f * m[k][c];
    }
  double x[3];
  for (int i = 2; i >= 0; --i) {
    x[i] = m[i][3];
    for (int c = i + 1; c < 3; ++c) x[i] -= m[i][c] * x[c];
    x[i] /= m[i][i];
  }
  return {x[0], -x[1]};
}

inline double Degrees(std::complex<double> z) { return std::arg(z) * 180 / std::numbers::pi; }

}  // namespace testfit
