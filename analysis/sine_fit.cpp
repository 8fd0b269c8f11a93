#include "analysis/sine_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "analysis/levels.h"

namespace analysis {
namespace {

constexpr double kPi = std::numbers::pi;

// The sines come from a rotation, restarted exactly this often so its
// rounding never builds up.
constexpr std::size_t kReseedFrames = 256;

// Time runs from -1 to 1 across the block (u = (n - centre) / half), which
// keeps the normal equations of the frequency term as well scaled as the
// others and makes the phase and frequency errors independent.
struct Timebase {
  explicit Timebase(std::size_t frames)
      : n(static_cast<double>(frames)), centre((n - 1) / 2), half(n / 2) {}
  double n, centre, half;
  // Sum of u^2 over the block.
  double SumU2() const { return n * (n * n - 1) / 12 / (half * half); }
};

// Sums of the samples against sin and cos of w * (n - centre) (S and C);
// with `slope` also weighted by u, for the frequency column of the
// four-parameter fit.
struct Sums {
  double s = 0, c = 0, ss = 0, sc = 0, xs = 0, xc = 0, x = 0, xx = 0;
  double us = 0, uc = 0, uss = 0, usc = 0, uuss = 0, uusc = 0, uxs = 0, uxc = 0;
};

template <bool slope>
Sums Accumulate(std::span<const double> x, double w, const Timebase& t) {
  Sums m;
  const double cos_w = std::cos(w), sin_w = std::sin(w);
  const double du = 1 / t.half;
  const std::size_t n = x.size();
  for (std::size_t start = 0; start < n; start += kReseedFrames) {
    const std::size_t end = std::min(n, start + kReseedFrames);
    const double theta = w * (static_cast<double>(start) - t.centre);
    double S = std::sin(theta), C = std::cos(theta);
    double u = (static_cast<double>(start) - t.centre) * du;
    for (std::size_t i = start; i < end; ++i) {
      const double v = x[i];
      const double vs = v * S, vc = v * C, ss = S * S, sc = S * C;
      m.s += S;
      m.c += C;
      m.ss += ss;
      m.sc += sc;
      m.xs += vs;
      m.xc += vc;
      m.x += v;
      m.xx += v * v;
      if constexpr (slope) {
        const double uu = u * u;
        m.us += u * S;
        m.uc += u * C;
        m.uss += u * ss;
        m.usc += u * sc;
        m.uuss += uu * ss;
        m.uusc += uu * sc;
        m.uxs += u * vs;
        m.uxc += u * vc;
      }
      const double next_s = S * cos_w + C * sin_w;
      C = C * cos_w - S * sin_w;
      S = next_s;
      u += du;
    }
  }
  return m;
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

// x ~ a S + b C + offset at the frequency of the sums.
struct Linear {
  double a = 0, b = 0, offset = 0, residual_sq = 0;  // residual summed over the block
  bool ok = false;
};

Linear SolveLinear(const Sums& m, const Timebase& t) {
  const double cc = t.n - m.ss;
  std::array<std::array<double, 3>, 3> a{{{m.ss, m.sc, m.s}, {m.sc, cc, m.c}, {m.s, m.c, t.n}}};
  std::array<double, 3> b{m.xs, m.xc, m.x};
  Linear l;
  l.ok = Solve(a, b);
  if (!l.ok) return l;
  l.a = b[0];
  l.b = b[1];
  l.offset = b[2];
  l.residual_sq = std::max(0.0, m.xx - (l.a * m.xs + l.b * m.xc + l.offset * m.x));
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
  const Linear l = SolveLinear(Accumulate<false>(x, w, t), t);
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
  double w = 2 * kPi * *cycles / t.n;
  double best_w = w, best_residual = INFINITY, step = 0;
  Linear best;
  bool converged = false;
  for (int pass = 0; pass < 40 && !converged; ++pass) {
    const Sums m = Accumulate<true>(x, w, t);
    const Linear l = SolveLinear(m, t);
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
    // The frequency column: d(a S + b C)/d(w half) = u (a C - b S).
    const double us = l.a * m.usc - l.b * m.uss;
    const double uc = l.a * (0 - m.uss) - l.b * m.usc;  // sum of u C^2 = sum u - sum u S^2 = -uss
    const double u1 = l.a * m.uc - l.b * m.us;
    const double uucc = t.SumU2() - m.uuss;
    const double dd = l.a * l.a * uucc - 2 * l.a * l.b * m.uusc + l.b * l.b * m.uuss;
    const double dx = l.a * m.uxc - l.b * m.uxs;
    const double cc = t.n - m.ss;
    std::array<std::array<double, 4>, 4> a{
        {{m.ss, m.sc, m.s, us}, {m.sc, cc, m.c, uc}, {m.s, m.c, t.n, u1}, {us, uc, u1, dd}}};
    std::array<double, 4> b{m.xs, m.xc, m.x, dx};
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
