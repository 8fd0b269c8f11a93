// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/sine_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "analysis/levels.h"

namespace analysis {
namespace {

constexpr double kPi = std::numbers::pi;

// Time runs from -1 to 1 across the block (u = (n - centre) / half), which
// keeps the normal equations of the frequency term as well scaled as the
// others and, with time symmetric about the centre, makes half of their
// sums vanish.
struct Timebase {
  explicit Timebase(std::size_t frames)
      : n(static_cast<double>(frames)), centre((n - 1) / 2), half(n / 2) {}
  double n, centre, half;
  // Sum of u^2 over the block.
  double SumU2() const { return n * (n * n - 1) / 12 / (half * half); }
};

// D(v) = sum over the block of cos(v m), m = n - centre, and its derivatives
// in v (-sum m sin(v m), -sum m^2 cos(v m)), in closed form: the sums of the
// fits' sines against each other cost no pass over the samples. With m
// symmetric, the sums of sin(v m), m cos(v m) and m^2 sin(v m) are 0.
struct Kernel {
  double d0, d1, d2;
};

Kernel KernelAt(double v, const Timebase& t) {
  const double a = v / 2, g = std::sin(a), ga = std::cos(a);
  if (std::abs(g) < 1e-6) {  // a multiple of 2 pi: the closed form is 0 / 0
    Kernel k{0, 0, 0};
    for (double m = -t.centre; m <= t.centre; m += 1) {
      k.d0 += std::cos(v * m);
      k.d1 -= m * std::sin(v * m);
      k.d2 -= m * m * std::cos(v * m);
    }
    return k;
  }
  const double f = std::sin(t.n * a), fa = t.n * std::cos(t.n * a);
  // D as f / g of a = v / 2: each derivative in v halves.
  const double d_a = (fa * g - f * ga) / (g * g);
  const double d_aa =
      -t.n * t.n * f / g - 2 * fa * ga / (g * g) + f / g + 2 * f * ga * ga / (g * g * g);
  return {f / g, d_a / 2, d_aa / 4};
}

// The samples against S = sin(w m) and C = cos(w m), and (weighted) against
// m S and m C for the frequency column of the four-parameter fit.
struct Projection {
  double xs = 0, xc = 0, mxs = 0, mxc = 0;
};

// The sines of each stretch of kStretch frames are those of its first frame
// turned by a table of exact steps: no recurrence builds up rounding, and no
// frame waits for the one before.
constexpr std::size_t kStretch = 128;

template <bool weighted>
Projection Project(std::span<const double> x, double w, const Timebase& t) {
  std::array<double, kStretch> step_s, step_c;
  for (std::size_t k = 0; k < kStretch; ++k) {
    step_s[k] = std::sin(w * static_cast<double>(k));
    step_c[k] = std::cos(w * static_cast<double>(k));
  }
  // Two sets of sums, for even and odd frames, halve the chains of additions.
  Projection even, odd;
  const std::size_t n = x.size();
  for (std::size_t start = 0; start < n; start += kStretch) {
    const std::size_t len = std::min(kStretch, n - start);
    const double m0 = static_cast<double>(start) - t.centre;
    const double base_s = std::sin(w * m0), base_c = std::cos(w * m0);
    const double* v = x.data() + start;
    auto add = [&](Projection& p, std::size_t k) {
      const double S = base_s * step_c[k] + base_c * step_s[k];
      const double C = base_c * step_c[k] - base_s * step_s[k];
      p.xs += v[k] * S;
      p.xc += v[k] * C;
      if constexpr (weighted) {
        const double mv = (m0 + static_cast<double>(k)) * v[k];
        p.mxs += mv * S;
        p.mxc += mv * C;
      }
    };
    std::size_t k = 0;
    for (; k + 1 < len; k += 2) {
      add(even, k);
      add(odd, k + 1);
    }
    if (k < len) add(even, k);
  }
  return {even.xs + odd.xs, even.xc + odd.xc, even.mxs + odd.mxs, even.mxc + odd.mxc};
}

// Sums of the samples that do not depend on the frequency.
struct Totals {
  double x = 0, xx = 0;
};
Totals TotalsOf(std::span<const double> x) {
  Totals s;
  for (double v : x) {
    s.x += v;
    s.xx += v * v;
  }
  return s;
}

// Gaussian elimination with partial pivoting; false when singular.
template <std::size_t N>
bool Solve(std::array<std::array<double, N>, N> a, std::array<double, N>& b) {
  for (std::size_t col = 0; col < N; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < N; ++r) {
      if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
    }
    if (!(std::abs(a[pivot][col]) > 0)) return false;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (std::size_t r = col + 1; r < N; ++r) {
      const double f = a[r][col] / a[col][col];
      for (std::size_t k = col; k < N; ++k) a[r][k] -= f * a[col][k];
      b[r] -= f * b[col];
    }
  }
  for (std::size_t col = N; col-- > 0;) {
    for (std::size_t k = col + 1; k < N; ++k) b[col] -= a[col][k] * b[k];
    b[col] /= a[col][col];
  }
  return std::all_of(b.begin(), b.end(), [](double v) { return std::isfinite(v); });
}

// The sines' sums against each other at one frequency: S^2 = (1 - cos 2wm) / 2,
// S C = sin(2wm) / 2.
struct Normal {
  double ss, cc, c;      // sums of S^2, C^2, C (those of S, S C are 0)
  double us, usc, uuss;  // of u S, u S C, u^2 S^2 (u C, u S^2, u^2 S C are 0)
};

Normal NormalAt(double w, const Timebase& t) {
  const Kernel k1 = KernelAt(w, t), k2 = KernelAt(2 * w, t);
  return {(t.n - k2.d0) / 2, (t.n + k2.d0) / 2,     k1.d0,
          -k1.d1 / t.half,   -k2.d1 / (2 * t.half), (t.SumU2() + k2.d2 / (t.half * t.half)) / 2};
}

// x ~ a S + b C + offset at the frequency of the sums.
struct Linear {
  double a = 0, b = 0, offset = 0, residual_sq = 0;  // residual summed over the block
  bool ok = false;
};

Linear SolveLinear(const Projection& p, const Totals& s, const Normal& e, const Timebase& t) {
  std::array<std::array<double, 3>, 3> a{{{e.ss, 0, 0}, {0, e.cc, e.c}, {0, e.c, t.n}}};
  std::array<double, 3> b{p.xs, p.xc, s.x};
  Linear l;
  l.ok = Solve(a, b);
  if (!l.ok) return l;
  l.a = b[0];
  l.b = b[1];
  l.offset = b[2];
  l.residual_sq = std::max(0.0, s.xx - (l.a * p.xs + l.b * p.xc + l.offset * s.x));
  return l;
}

double WrapPi(double phase) {
  phase = std::remainder(phase, 2 * kPi);  // [-pi, pi]
  return phase <= -kPi ? phase + 2 * kPi : phase;
}

SineFit ToFit(const Linear& l, double w, const Timebase& t, double sample_rate) {
  // a S + b C = A sin(theta + atan2(b, a)); theta is -w * centre at n = 0.
  return SineFit{w * sample_rate / (2 * kPi), std::hypot(l.a, l.b),
                 WrapPi(std::atan2(l.b, l.a) - w * t.centre), l.offset,
                 std::sqrt(l.residual_sq / t.n)};
}

// The tone's bin from a Hann spectrum, between bins by the ratio of the
// peak's neighbours (exact for one tone far from 0 Hz); cycles per block.
std::optional<double> PeakCycles(std::span<const double> amp) {
  if (amp.size() < 4) return std::nullopt;
  // Bins 0 and 1 hold what is left of the offset after the Hann window.
  const auto peak = std::max_element(amp.begin() + 2, amp.end() - 1);
  if (!(*peak > 0)) return std::nullopt;
  const auto k = static_cast<std::size_t>(peak - amp.begin());
  const bool right = amp[k + 1] >= amp[k - 1];
  const double ratio = (right ? amp[k + 1] : amp[k - 1]) / amp[k];
  const double delta = (2 * ratio - 1) / (ratio + 1);
  return static_cast<double>(k) + (right ? delta : -delta);
}

}  // namespace

SineFit FitSineAt(std::span<const double> x, double sample_rate, double frequency) {
  const Timebase t(x.size());
  const double w = 2 * kPi * frequency / sample_rate;
  const Linear l = SolveLinear(Project<false>(x, w, t), TotalsOf(x), NormalAt(w, t), t);
  if (!l.ok) return SineFit{frequency, 0, 0, Mean(x), RmsAc(x)};
  return ToFit(l, w, t, sample_rate);
}

bool ToneAt(const SineFit& fit, std::size_t frames, double min_amplitude) {
  // White noise of the residual's RMS gives each of a fit's sine and cosine
  // terms a spread of rms sqrt(2 / frames).
  const double noise = fit.residual_rms * std::sqrt(2.0 / static_cast<double>(frames));
  return fit.amplitude > 0 && fit.amplitude >= min_amplitude && fit.amplitude >= 6 * noise;
}

SineFitter::SineFitter(std::size_t max_frames) : spectrum_(max_frames, Window::kHann) {}

std::optional<SineFit> SineFitter::Fit(std::span<const double> x, double sample_rate,
                                       double min_amplitude) {
  if (x.size() < 8 || !(sample_rate > 0)) return std::nullopt;
  const Timebase t(x.size());
  const std::optional<double> cycles = PeakCycles(spectrum_.Amplitudes(x, Mean(x)));
  if (!cycles) return std::nullopt;

  // Gauss-Newton on the frequency (IEEE 1057), halving a step that made the
  // residual grow. Steps are in radians of phase at the block's ends.
  const Totals totals = TotalsOf(x);
  double w = 2 * kPi * *cycles / t.n;
  double best_w = w, best_residual = INFINITY, step = 0;
  Linear best;
  bool converged = false;
  for (int pass = 0; pass < 40 && !converged; ++pass) {
    const Projection p = Project<true>(x, w, t);
    const Normal e = NormalAt(w, t);
    const Linear l = SolveLinear(p, totals, e, t);
    if (!l.ok) break;
    if (l.residual_sq > best_residual) {
      step /= 2;
      converged = std::abs(step * t.half) < 1e-11;
      w = best_w + step;
      continue;
    }
    best_w = w;
    best_residual = l.residual_sq;
    best = l;
    // The frequency column d = d(a S + b C) / d(w half) = u (a C - b S).
    const double ds = l.a * e.usc;   // sum d S
    const double dc = -l.b * e.usc;  // sum d C
    const double d1 = -l.b * e.us;   // sum d
    const double dd = l.a * l.a * (t.SumU2() - e.uuss) + l.b * l.b * e.uuss;
    const double dx = (l.a * p.mxc - l.b * p.mxs) / t.half;
    std::array<std::array<double, 4>, 4> a{
        {{e.ss, 0, 0, ds}, {0, e.cc, e.c, dc}, {0, e.c, t.n, d1}, {ds, dc, d1, dd}}};
    std::array<double, 4> b{p.xs, p.xc, totals.x, dx};
    if (!Solve(a, b)) break;
    const double phase_step = b[3];
    if (std::abs(phase_step) < 1e-7) {
      // So close that the next step would be below rounding: take this one
      // with the amplitudes solved along with it.
      best_w = w + phase_step / t.half;
      best.a = b[0];
      best.b = b[1];
      best.offset = b[2];
      converged = true;
      break;
    }
    step = std::clamp(phase_step, -kPi, kPi) / t.half;
    w = best_w + step;
  }
  if (!converged || !(best_w > 0) || best_w >= kPi) return std::nullopt;
  const SineFit fit = ToFit(best, best_w, t, sample_rate);
  // At least one period, and a peak well above where noise alone would
  // reach at the largest of the block's bins.
  if (best_w * t.n < 2 * kPi) return std::nullopt;
  const double noise = fit.residual_rms * std::sqrt(2.0 / t.n);
  if (!(fit.amplitude > 0) || fit.amplitude < min_amplitude || fit.amplitude < 7 * noise) {
    return std::nullopt;
  }
  return fit;
}

}  // namespace analysis
