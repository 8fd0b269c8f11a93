// SPDX-License-Identifier: GPL-3.0-or-later
// The measuring layer on one quarter-second block (11025 frames) of both
// channels: BlockAnalyzer::Measure (target: under 1 ms) and its parts, with
// the floor of one pass over both channels (sum of squares) for scale.
// Prints the medians at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "medians.h"
#include "analysis/block_analyzer.h"
#include "analysis/harmonics.h"
#include "analysis/sine_fit.h"
#include "analysis/fourier.h"
#include "analysis/fourier_average.h"
#include "analysis/fourier_peak.h"

namespace {

constexpr std::size_t kFrames = 11025;
constexpr double kRate = 44100;

// 1 kHz with 1 % of 3rd harmonic on UR (volts); IL leading by 30 degrees
// (amperes), both rounded to 16 bits on 1.1 V full scale.
struct Block {
  std::vector<double> ur, il;
  Block() : ur(kFrames), il(kFrames) {
    const double lsb = 1.1 / 32768, w = 2 * std::numbers::pi * 1000 / kRate;
    for (std::size_t n = 0; n < kFrames; ++n) {
      const double t = w * static_cast<double>(n);
      ur[n] = std::round(20000 * std::sin(t) + 200 * std::sin(3 * t)) * lsb;
      il[n] = std::round(12000 * std::sin(t + std::numbers::pi / 6)) * lsb / 10;
    }
  }
};
const Block& TheBlock() {
  static const Block block;
  return block;
}

void Measure(benchmark::State& state) {
  analysis::BlockAnalyzer analyzer(kFrames);
  const Block& b = TheBlock();
  for (auto _ : state) {
    auto r = analyzer.Measure(b.ur, b.il, {}, false, false);
    benchmark::DoNotOptimize(r);
  }
}

void FitOneChannel(benchmark::State& state) {
  analysis::SineFitter fitter(kFrames);
  for (auto _ : state) benchmark::DoNotOptimize(fitter.Fit(TheBlock().ur, kRate));
}

void FitAtKnownFrequency(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(analysis::FitSineAt(TheBlock().il, kRate, 1000));
}

void ThdOneChannel(benchmark::State& state) {
  analysis::SineFitter fitter(kFrames);
  const analysis::SineFit fit = *fitter.Fit(TheBlock().ur, kRate);
  for (auto _ : state) benchmark::DoNotOptimize(analysis::ThdPercent(TheBlock().ur, kRate, fit));
}

void SpectrumOneChannel(benchmark::State& state) {
  analysis::Spectrum spectrum(kFrames, analysis::Window::kBlackmanHarris);
  for (auto _ : state) benchmark::DoNotOptimize(spectrum.Amplitudes(TheBlock().ur).data());
}

// What the spectrum view does with each block: both channels' spectra,
// averaged over 16, and the peak, harmonics, THD and THD+N of each
// (target: under 1 ms).
void SpectrumView(benchmark::State& state) {
  const auto window = analysis::Window::kBlackmanHarris;
  analysis::Spectrum spectrum(kFrames, window);
  analysis::SpectrumAverage ur(kFrames / 2 + 1), il(kFrames / 2 + 1);
  ur.SetCount(16), il.SetCount(16);
  const analysis::SpectrumLayout at{window, kFrames, kRate};
  for (auto _ : state) {
    ur.Add(spectrum.Amplitudes(TheBlock().ur));
    il.Add(spectrum.Amplitudes(TheBlock().il));
    benchmark::DoNotOptimize(analysis::DistortionOf(ur.Amplitudes(), at));
    benchmark::DoNotOptimize(analysis::DistortionOf(il.Amplitudes(), at));
  }
}

void Floor(benchmark::State& state) {
  const Block& b = TheBlock();
  for (auto _ : state) {
    double sum = 0;
    for (std::size_t n = 0; n < kFrames; ++n) sum += b.ur[n] * b.ur[n] + b.il[n] * b.il[n];
    benchmark::DoNotOptimize(sum);
  }
}


}  // namespace

int main(int argc, char** argv) {
  for (auto [name, fn] : {std::pair{"Measure", &Measure},
                          {"FitOneChannel", &FitOneChannel},
                          {"FitAtKnownFrequency", &FitAtKnownFrequency},
                          {"ThdOneChannel", &ThdOneChannel},
                          {"SpectrumOneChannel", &SpectrumOneChannel},
                          {"SpectrumView", &SpectrumView},
                          {"Floor", &Floor}}) {
    benchmark::RegisterBenchmark(name, fn)->Unit(benchmark::kMicrosecond);
  }
  std::map<std::string, double> m = bench::RunForMedians(argc, argv, 9);
  if (m.count("Measure") && m.count("Floor") && m["Floor"] > 0)
    std::printf("measure of both channels median %.0f us (target: < 1000 us), %.0f floors\n",
                m["Measure"], m["Measure"] / m["Floor"]);
  if (m.count("SpectrumView"))
    std::printf("spectrum view of both channels median %.0f us (target: < 1000 us)\n",
                m["SpectrumView"]);
  return 0;
}
