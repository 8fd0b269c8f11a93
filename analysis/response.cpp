#include "analysis/response.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "analysis/sine_fit.h"

namespace analysis {

namespace {

constexpr double kHalfPowerDb = 3.0102999566398120;  // 10 log10 2

// The polynomial through the points (x[i], y[i]) at t (Lagrange).
double Through(std::span<const double> x, std::span<const double> y, double t) {
  double sum = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    double term = y[i];
    for (std::size_t j = 0; j < x.size(); ++j)
      if (j != i) term *= (t - x[j]) / (x[i] - x[j]);
    sum += term;
  }
  return sum;
}

// Where y (sampled at x, rising) passes `level` between samples j and j + 1,
// on the cubic through the samples j - 1 .. j + 2 that exist: the curve of a
// response between log-spaced points is smooth but not straight.
double Crossing(std::span<const double> x, std::span<const double> y, std::size_t j, double level) {
  const std::size_t from = j > 0 ? j - 1 : 0;
  const std::size_t to = std::min(x.size(), j + 3);
  const auto xs = x.subspan(from, to - from), ys = y.subspan(from, to - from);
  double lo = x[j], hi = x[j + 1];
  const bool rising = y[j + 1] > y[j];
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    ((Through(xs, ys, mid) < level) == rising ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// The frequency between points j and j + 1 where the magnitude is `level`
// dB, 3 dB under a maximum (sign 1) or over a minimum (-1). Interpolated in
// the squared magnitude's inverse (over it at a minimum) against frequency:
// that of a first or second order circuit is a quadratic in frequency near
// its maximum (1 + (f/fc)^2, 1 + Q^2 (f/f0 - f0/f)^2 times a constant).
double Corner(std::span<const ResponsePoint> points, std::size_t j, double level, double sign) {
  const std::size_t from = j > 0 ? j - 1 : 0;
  const std::size_t to = std::min(points.size(), j + 3);
  std::vector<double> f, y;
  for (std::size_t i = from; i < to; ++i) {
    f.push_back(points[i].frequency_hz);
    y.push_back(std::pow(points[i].magnitude, -2 * sign));
  }
  return Crossing(f, y, j - from, std::pow(10, -2 * sign * level / 20));
}

bool Brackets(double a, double b, double level) { return (a - level) * (b - level) <= 0 && a != b; }

}  // namespace

std::vector<int> SweepFrequencies(int start_hz, int stop_hz, int points) {
  std::vector<int> out;
  const double ratio = static_cast<double>(stop_hz) / start_hz;
  for (int k = 0; k < points; ++k) {
    const double t = points > 1 ? static_cast<double>(k) / (points - 1) : 0.0;
    const int f = static_cast<int>(std::lround(start_hz * std::pow(ratio, t)));
    if (out.empty() || f != out.back()) out.push_back(f);
  }
  return out;
}

std::optional<ResponsePoint> MeasureResponsePoint(std::span<const double> ur,
                                                  std::span<const double> il, double sample_rate,
                                                  double frequency_hz, double skew_s) {
  const SineFit u = FitSineAt(ur, sample_rate, frequency_hz);
  const SineFit i = FitSineAt(il, sample_rate, frequency_hz);
  if (!(i.amplitude > 0) || !ToneAt(i, il.size())) return std::nullopt;
  // IL's phase advanced by its lag behind UR.
  const double skew_rad = 2 * std::numbers::pi * frequency_hz * skew_s;
  const std::complex<double> ratio =
      std::polar(u.amplitude, u.phase_rad) / std::polar(i.amplitude, i.phase_rad + skew_rad);
  double phase = std::arg(ratio) * 180 / std::numbers::pi;
  if (phase <= -180) phase += 360;
  return ResponsePoint{frequency_hz, std::abs(ratio), phase, u.amplitude / std::numbers::sqrt2,
                       i.amplitude / std::numbers::sqrt2};
}

double Decibels(double magnitude) { return 20 * std::log10(magnitude); }

ResponseFeatures FindFeatures(std::span<const ResponsePoint> points) {
  ResponseFeatures out;
  const std::size_t n = points.size();
  if (n < 3) return out;
  std::vector<double> x(n), db(n);
  for (std::size_t k = 0; k < n; ++k) {
    x[k] = std::log10(points[k].frequency_hz);
    db[k] = Decibels(points[k].magnitude);
  }
  const auto top = static_cast<std::size_t>(std::max_element(db.begin(), db.end()) - db.begin());
  const auto bottom = static_cast<std::size_t>(std::min_element(db.begin(), db.end()) - db.begin());
  const auto prominence = [&](std::size_t k, double sign) {
    if (k == 0 || k == n - 1) return 0.0;
    return std::min(sign * (db[k] - db[0]), sign * (db[k] - db[n - 1]));
  };
  const double peak = prominence(top, 1), dip = prominence(bottom, -1);
  if (std::max(peak, dip) < kHalfPowerDb) {
    // A low pass (or high pass): the corner 3 dB under the larger end.
    if (db[0] >= db[n - 1]) {
      for (std::size_t j = 0; j + 1 < n && !out.corner_high_hz; ++j)
        if (Brackets(db[j], db[j + 1], db[0] - kHalfPowerDb))
          out.corner_high_hz = Corner(points, j, db[0] - kHalfPowerDb, 1);
    } else {
      for (std::size_t j = n - 1; j > 0 && !out.corner_low_hz; --j)
        if (Brackets(db[j - 1], db[j], db[n - 1] - kHalfPowerDb))
          out.corner_low_hz = Corner(points, j - 1, db[n - 1] - kHalfPowerDb, 1);
    }
    return out;
  }
  const double sign = peak >= dip ? 1 : -1;
  const std::size_t k = peak >= dip ? top : bottom;
  // Through the phase's zero beside the extreme, the reactive part vanishes:
  // tan(phase) runs nearly straight there, and the resistive part (of the
  // quantity at a dip, of its inverse at a peak) stays nearly constant.
  for (std::size_t j = k - 1; j <= k && !out.resonance_hz; ++j) {
    const ResponsePoint &a = points[j], &b = points[j + 1];
    if (!(std::abs(a.phase_deg) < 90 && std::abs(b.phase_deg) < 90) ||
        !Brackets(a.phase_deg, b.phase_deg, 0))
      continue;
    const double ta = std::tan(a.phase_deg * std::numbers::pi / 180);
    const double tb = std::tan(b.phase_deg * std::numbers::pi / 180);
    const double t = ta / (ta - tb);
    const double f = a.frequency_hz + t * (b.frequency_hz - a.frequency_hz);
    const auto resistive = [sign](const ResponsePoint& p) {
      const double c = std::cos(p.phase_deg * std::numbers::pi / 180);
      return sign > 0 ? c / p.magnitude : p.magnitude * c;
    };
    const double r = resistive(a) + t * (resistive(b) - resistive(a));
    out.resonance_hz = f;
    out.resonance_magnitude = sign > 0 ? 1 / r : r;
  }
  if (!out.resonance_hz) {
    // The vertex of the parabola through the extreme and its neighbours.
    const double x0 = x[k - 1], x1 = x[k], x2 = x[k + 1];
    const double y0 = db[k - 1], y1 = db[k], y2 = db[k + 1];
    const double d = (x0 - x1) * (x0 - x2) * (x1 - x2);
    const double a = (x2 * (y1 - y0) + x1 * (y0 - y2) + x0 * (y2 - y1)) / d;
    const double b = (x2 * x2 * (y0 - y1) + x1 * x1 * (y2 - y0) + x0 * x0 * (y1 - y2)) / d;
    const double c = y1 - a * x1 * x1 - b * x1;
    const double xv = std::clamp(-b / (2 * a), x0, x2);
    out.resonance_hz = std::pow(10, xv);
    out.resonance_magnitude = std::pow(10, (a * xv * xv + b * xv + c) / 20);
  }
  const double level = Decibels(*out.resonance_magnitude) - sign * kHalfPowerDb;
  for (std::size_t j = k; j-- > 0 && !out.corner_low_hz;)
    if (Brackets(db[j], db[j + 1], level)) out.corner_low_hz = Corner(points, j, level, sign);
  for (std::size_t j = k; j + 1 < n && !out.corner_high_hz; ++j)
    if (Brackets(db[j], db[j + 1], level)) out.corner_high_hz = Corner(points, j, level, sign);
  if (out.corner_low_hz && out.corner_high_hz)
    out.q = *out.resonance_hz / (*out.corner_high_hz - *out.corner_low_hz);
  return out;
}

}  // namespace analysis
