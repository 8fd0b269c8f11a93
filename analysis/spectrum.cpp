#include "analysis/spectrum.h"

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

// Cosine-sum windows, periodic (DFT-even) as spectral analysis wants.
std::vector<double> Coefficients(Window w) {
  switch (w) {
    case Window::kHann:
      return {0.5, 0.5};
    case Window::kBlackmanHarris:
      return {0.35875, 0.48829, 0.14128, 0.01168};
    case Window::kFlatTop:
      return {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368};
  }
  return {1};
}

}  // namespace

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
  const std::vector<double> a = Coefficients(window_);
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
