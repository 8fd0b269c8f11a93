// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fourier.h"

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

namespace analysis {
namespace {

// FFTW's planner is not thread-safe; executing a plan is.
std::mutex& PlannerMutex() {
  static std::mutex m;
  return m;
}

}  // namespace

// Cosine-sum windows, periodic (DFT-even) as spectral analysis wants.
std::span<const double> WindowTerms(Window w) {
  static constexpr double kHann[] = {0.5, 0.5};
  static constexpr double kBlackmanHarris[] = {0.35875, 0.48829, 0.14128, 0.01168};
  // Its terms cancel at the ends: no step there to leak over the noise floor.
  static constexpr double kFlatTop[] = {1 / 4.636, 1.93 / 4.636, 1.29 / 4.636, 0.388 / 4.636,
                                        0.028 / 4.636};
  switch (w) {
    case Window::kHann:
      return kHann;
    case Window::kBlackmanHarris:
      return kBlackmanHarris;
    case Window::kFlatTop:
      return kFlatTop;
  }
  return kHann;
}

double WindowResponse(Window window, std::size_t n, double offset_bins) {
  // Sum over the frames of w(m) exp(i 2 pi d m / n), each cosine term split
  // into two geometric series.
  const double frames = static_cast<double>(n);
  const auto geometric = [frames](double bins) {
    const double half = std::numbers::pi * bins / frames;
    const double s = std::sin(half);
    const double magnitude = std::abs(s) < 1e-15 ? frames : std::sin(half * frames) / s;
    return std::polar(magnitude, half * (frames - 1));
  };
  const std::span<const double> a = WindowTerms(window);
  std::complex<double> sum = a[0] * geometric(offset_bins);
  for (std::size_t k = 1; k < a.size(); ++k) {
    const double c = (k % 2 ? -a[k] : a[k]) / 2;
    const double m = static_cast<double>(k);
    sum += c * (geometric(offset_bins + m) + geometric(offset_bins - m));
  }
  return std::abs(sum) / (a[0] * frames);
}

double WindowNoiseBins(Window window) {
  const std::span<const double> a = WindowTerms(window);
  double power = a[0] * a[0];
  for (std::size_t k = 1; k < a.size(); ++k) power += a[k] * a[k] / 2;
  return power / (a[0] * a[0]);
}

int WindowLobeBins(Window window) { return static_cast<int>(WindowTerms(window).size()); }

struct Spectrum::Plan {
  double* in = nullptr;
  fftw_complex* out = nullptr;
  fftw_plan plan = nullptr;
  std::size_t n = 0;
  std::vector<double> window;
  double window_sum = 0;
  std::vector<double> amplitude;

  ~Plan() {
    std::lock_guard lock(PlannerMutex());
    if (plan) fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
  }
};

Spectrum::Spectrum(std::size_t max_frames, Window window)
    : max_frames_(max_frames), window_(window), plan_(std::make_unique<Plan>()) {
  if (max_frames == 0) throw std::invalid_argument("analysis: a spectrum of no frames");
  plan_->in = fftw_alloc_real(max_frames);
  plan_->out = fftw_alloc_complex(max_frames / 2 + 1);
  if (!plan_->in || !plan_->out) throw std::bad_alloc();
  plan_->window.resize(max_frames);
  plan_->amplitude.resize(max_frames / 2 + 1);
  Prepare(max_frames);
}

Spectrum::~Spectrum() = default;

void Spectrum::Prepare(std::size_t n) {
  Plan& p = *plan_;
  if (p.n == n) return;
  {
    std::lock_guard lock(PlannerMutex());
    if (p.plan) fftw_destroy_plan(p.plan);
    p.plan = fftw_plan_dft_r2c_1d(static_cast<int>(n), p.in, p.out, FFTW_ESTIMATE);
  }
  if (!p.plan) throw std::runtime_error("analysis: FFTW made no plan for " + std::to_string(n));
  p.n = n;
  const std::span<const double> a = WindowTerms(window_);
  p.window_sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double phase = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n);
    double w = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
      w += (k % 2 ? -a[k] : a[k]) * std::cos(static_cast<double>(k) * phase);
    }
    p.window[i] = w;
    p.window_sum += w;
  }
}

std::span<const double> Spectrum::Amplitudes(std::span<const double> x, double offset) {
  if (x.empty() || x.size() > max_frames_) {
    throw std::invalid_argument("analysis: a spectrum of " + std::to_string(x.size()) +
                                " frames (1 to " + std::to_string(max_frames_) + ")");
  }
  Prepare(x.size());
  Plan& p = *plan_;
  const std::size_t n = p.n;
  for (std::size_t i = 0; i < n; ++i) p.in[i] = (x[i] - offset) * p.window[i];
  fftw_execute(p.plan);
  const std::size_t bins = n / 2 + 1;
  for (std::size_t k = 0; k < bins; ++k) {
    // A sine's energy splits between +f and -f, except at 0 and Nyquist.
    const double scale = (k == 0 || 2 * k == n) ? 1 : 2;
    p.amplitude[k] =
        scale * std::sqrt(p.out[k][0] * p.out[k][0] + p.out[k][1] * p.out[k][1]) / p.window_sum;
  }
  return {p.amplitude.data(), bins};
}

}  // namespace analysis
