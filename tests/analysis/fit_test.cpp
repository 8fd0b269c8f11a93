// SPDX-License-Identifier: GPL-3.0-or-later
// The single-channel quantities against their definitions: the sine fit
// against the tone that was synthesised, THD against the harmonics put in,
// levels and spectra against plain loops and theory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "analysis/harmonics.h"
#include "analysis/levels.h"
#include "analysis/sine_fit.h"
#include "analysis/fourier.h"
#include "tests/analysis/signals.h"

namespace {

constexpr double kRate = 44100;
constexpr std::size_t kBlock = 11025;
constexpr double kPi = std::numbers::pi;

TEST(SineFit, FrequencyAmplitudePhaseOffsetOfA16BitSineWithAndWithoutNoise) {
  const double noise_rms = 32768 * std::pow(10, -60.0 / 20);  // -60 dBFS
  struct Case {
    double frequency, noise, max_ppm;
  };
  const Case cases[] = {
      {10, 0, 0.1},        {10.37, 0, 0.1},       {99.5, 0, 0.1},        {1000, 0, 0.1},
      {1234.567, 0, 0.1},  {7777.7, 0, 0.1},      {19999.9, 0, 0.1},     {20000, 0, 0.1},
      {10, noise_rms, 10}, {33.3, noise_rms, 10}, {1000, noise_rms, 10}, {15432.1, noise_rms, 10},
  };
  analysis::SineFitter fitter(kBlock);
  unsigned seed = 1;
  for (const Case& c : cases) {
    const double phase = 0.3 * seed - 2;
    const auto x =
        signals::Counts(kBlock, kRate, {{16000, c.frequency, phase}}, 12, c.noise, ++seed);
    const auto fit = fitter.Fit(x, kRate);
    ASSERT_TRUE(fit) << c.frequency;
    EXPECT_NEAR(fit->frequency / c.frequency - 1, 0, c.max_ppm * 1e-6) << c.frequency;
    EXPECT_NEAR(fit->amplitude, 16000, c.noise > 0 ? 2 : 0.05) << c.frequency;
    EXPECT_NEAR(std::remainder(fit->phase_rad - phase, 2 * kPi), 0, c.noise > 0 ? 1e-3 : 1e-5)
        << c.frequency;
    EXPECT_NEAR(fit->offset, 12, c.noise > 0 ? 1 : 0.05) << c.frequency;
    // Rounding alone leaves 1/sqrt(12) of a count.
    const double expected_residual = std::hypot(c.noise, 1 / std::sqrt(12.0));
    EXPECT_NEAR(fit->residual_rms / expected_residual, 1, 0.05) << c.frequency;
  }
}

TEST(SineFit, NoToneInSilenceNoiseConstantOrLessThanAPeriod) {
  struct Case {
    const char* what;
    std::vector<double> x;
  };
  const Case cases[] = {
      {"digital silence", std::vector<double>(kBlock, 0)},
      {"a constant", std::vector<double>(kBlock, -300)},
      {"one count of noise", signals::Counts(kBlock, kRate, {}, 0, 1)},
      {"noise of 1000 counts", signals::Counts(kBlock, kRate, {}, 5, 1000, 7)},
      {"2 Hz: half a period", signals::Counts(kBlock, kRate, {{16000, 2}})},
  };
  analysis::SineFitter fitter(kBlock);
  for (const Case& c : cases) EXPECT_FALSE(fitter.Fit(c.x, kRate)) << c.what;
  // A tone of two counts is found; below a floor set by the caller it is not.
  const auto faint = signals::Counts(kBlock, kRate, {{2, 440}});
  EXPECT_TRUE(fitter.Fit(faint, kRate));
  EXPECT_FALSE(fitter.Fit(faint, kRate, 3));
}

TEST(SineFit, ThreeParametersAtAKnownFrequencyIgnoreHarmonicsAndOtherTones) {
  // 500 Hz measured under a 3rd harmonic and a louder 7 kHz tone.
  const auto x = signals::Counts(kBlock, kRate, {{3000, 500, 1}, {900, 1500}, {9000, 7000}}, -40);
  const auto fit = analysis::FitSineAt(x, kRate, 500);
  EXPECT_NEAR(fit.amplitude, 3000, 0.1);
  EXPECT_NEAR(fit.phase_rad, 1, 1e-4);
  EXPECT_NEAR(fit.offset, -40, 0.05);
  EXPECT_TRUE(analysis::ToneAt(fit, kBlock));
  EXPECT_FALSE(analysis::ToneAt(analysis::FitSineAt(x, kRate, 2345), kBlock));
}

TEST(Harmonics, ThdOfTheHarmonicsPutIn) {
  struct Case {
    double frequency;
    std::vector<double> harmonic_percent;  // of harmonics 2, 3, ...
    double tolerance;
  };
  const Case cases[] = {
      {1000, {0, 1, 0, 0.5}, 0.005},  // 1.118 %
      {1234.5, {2}, 0.005},
      {52.3, {0.3, 0.2, 0.1, 0, 0, 0, 0, 0.1}, 0.005},
      {440, {}, 0.002},      // rounding alone
      {8000, {0.5}, 0.005},  // only the 2nd below half the rate
  };
  analysis::SineFitter fitter(kBlock);
  for (const Case& c : cases) {
    std::vector<signals::Tone> tones{{20000, c.frequency, 0.4}};
    double sum = 0;
    for (std::size_t h = 0; h < c.harmonic_percent.size(); ++h) {
      const double a = c.harmonic_percent[h] / 100 * 20000;
      tones.push_back({a, c.frequency * static_cast<double>(h + 2), 0.7 * static_cast<double>(h)});
      sum += c.harmonic_percent[h] * c.harmonic_percent[h];
    }
    const auto x = signals::Counts(kBlock, kRate, tones);
    const auto fit = fitter.Fit(x, kRate);
    ASSERT_TRUE(fit);
    const auto thd = analysis::ThdPercent(x, kRate, *fit);
    ASSERT_TRUE(thd);
    EXPECT_NEAR(*thd, std::sqrt(sum), c.tolerance) << c.frequency;
  }
  const auto high = signals::Counts(kBlock, kRate, {{20000, 12000}});
  EXPECT_FALSE(analysis::ThdPercent(high, kRate, *fitter.Fit(high, kRate)));
}

TEST(Levels, OverWholePeriodsCountedByAPlainLoopAgainstTheory) {
  for (double f : {10.0, 50.0, 333.3, 1000.0, 17000.0}) {
    const auto x = signals::Counts(kBlock, kRate, {{10000, f, 0.5}}, 700);
    std::size_t periods = 0;
    while ((periods + 1) / f * kRate <= kBlock) ++periods;
    const auto frames = static_cast<std::size_t>(std::llround(periods / f * kRate));
    ASSERT_EQ(analysis::WholePeriodFrames(kBlock, kRate, f), frames) << f;
    const auto span = std::span<const double>(x).first(frames);
    // Theory, within 0.02 %: over whole periods the sine adds nothing to the
    // mean and A^2/2 to the square.
    EXPECT_NEAR(analysis::Mean(span), 700, 700 * 2e-4) << f;
    EXPECT_NEAR(analysis::Rms(span), std::sqrt(700 * 700 + 10000 * 10000 / 2.0), 2e-4 * 7100) << f;
    EXPECT_NEAR(analysis::RmsAc(span), 10000 / std::sqrt(2.0), 2e-4 * 7071) << f;
  }
  EXPECT_EQ(analysis::WholePeriodFrames(kBlock, kRate, 2), kBlock);
  const std::int16_t raw[] = {0, 32767, -5}, quiet[] = {0, 32766, -32767};
  EXPECT_TRUE(analysis::Clipped(raw));
  EXPECT_FALSE(analysis::Clipped(quiet));
}

TEST(Spectrum, AmplitudeOfASineOnAndBetweenBinsPerWindow) {
  struct Case {
    analysis::Window window;
    double bin_offset;  // fraction of a bin off the bin
    double expected;    // of the amplitude
    double tolerance;
  };
  const Case cases[] = {
      {analysis::Window::kHann, 0, 1, 1e-9},
      {analysis::Window::kHann, 0.5, 0.8488, 2e-4},  // its 1.42 dB half-way
      {analysis::Window::kBlackmanHarris, 0, 1, 1e-9},
      {analysis::Window::kFlatTop, 0, 1, 2e-3},
      {analysis::Window::kFlatTop, 0.5, 1, 2e-3},
  };
  for (const Case& c : cases) {
    analysis::Spectrum spectrum(kBlock, c.window);
    for (std::size_t frames : {kBlock, std::size_t{4096}}) {
      const double bin = 100 + c.bin_offset;
      std::vector<double> x(frames);
      for (std::size_t n = 0; n < frames; ++n) {
        x[n] = 0.25 + 0.8 * std::sin(2 * kPi * bin * static_cast<double>(n) / frames);
      }
      const auto amp = spectrum.Amplitudes(x);
      ASSERT_EQ(amp.size(), frames / 2 + 1);
      EXPECT_NEAR(std::max(amp[100], amp[101]) / 0.8, c.expected, c.tolerance) << frames;
      EXPECT_NEAR(amp[0], 0.25, 2e-5) << frames;  // the flat top leaks most
    }
  }
  analysis::Spectrum spectrum(16, analysis::Window::kHann);
  EXPECT_THROW(spectrum.Amplitudes(std::vector<double>(17)), std::invalid_argument);
}

}  // namespace
