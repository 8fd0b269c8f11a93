// SPDX-License-Identifier: GPL-3.0-or-later
// What the spectrum view reads: peaks between bins, harmonics, THD, THD+N
// and the noise floor, against the tones and the rounding put in.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/fourier_average.h"
#include "analysis/fourier_peak.h"
#include "signals.h"

namespace {

constexpr std::size_t kBlock = 11025;
constexpr double kRate = 44100;
constexpr analysis::Window kWindows[] = {analysis::Window::kHann, analysis::Window::kBlackmanHarris,
                                         analysis::Window::kFlatTop};

double Db(double ratio) { return 20 * std::log10(ratio); }

TEST(SpectrumPeak, FrequencyToAHundredthOfABinAndLevelBetweenBinsWithEveryWindow) {
  for (const analysis::Window w : kWindows) {
    analysis::Spectrum spectrum(kBlock, w);
    const analysis::SpectrumLayout at{w, kBlock, kRate};
    // On a bin, a third and half-way between bins, at both ends of the band.
    for (const double hz : {1000.0, 1001.333, 1002.0, 37.1, 15999.87, 20000.5}) {
      const std::vector<double> x = signals::Counts(kBlock, kRate, {{20000, hz, 0.3}}, 12);
      const auto peak = analysis::PeakOf(spectrum.Amplitudes(x, 12), at);
      ASSERT_TRUE(peak) << hz;
      EXPECT_NEAR(peak->frequency, hz, 0.04) << hz << " Hz, window " << static_cast<int>(w);
      EXPECT_NEAR(Db(peak->amplitude / 20000), 0, 0.05)
          << hz << " Hz, window " << static_cast<int>(w);
    }
    EXPECT_FALSE(analysis::PeakOf(spectrum.Amplitudes(std::vector<double>(kBlock)), at));
  }
}

TEST(SpectrumPeak, ThdHarmonicsAndThdNOfTonesPutIn) {
  // 1 kHz, 1 % of its third and 0.5 % of its fifth: THD sqrt(1 + 0.25) %.
  const double a1 = 16000;
  const std::vector<double> x =
      signals::Counts(kBlock, kRate, {{a1, 1000}, {0.01 * a1, 3000, 1}, {0.005 * a1, 5000, 2}});
  // Rounding to counts adds noise of 1/12 count squared.
  const double noise_percent = std::sqrt(1.0 / 12) / (a1 / std::sqrt(2)) * 100;
  for (const analysis::Window w : kWindows) {
    analysis::Spectrum spectrum(kBlock, w);
    const auto d = analysis::DistortionOf(spectrum.Amplitudes(x), {w, kBlock, kRate});
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->thd_percent, 1.118034, 0.005) << static_cast<int>(w);
    EXPECT_NEAR(d->thd_n_percent, std::hypot(1.118034, noise_percent), 0.005)
        << static_cast<int>(w);
    EXPECT_EQ(d->highest, 10);
    for (int k = 2; k <= 10; ++k) {
      const double expected = k == 3 ? -40 : k == 5 ? Db(0.005) : -200;
      EXPECT_NEAR(std::max(Db(d->harmonics[k] / a1), -100.0), std::max(expected, -100.0),
                  k == 3 || k == 5 ? 0.1 : 15)
          << "harmonic " << k << ", window " << static_cast<int>(w);
    }
  }
  // 3 kHz: the eighth harmonic is past half the rate.
  analysis::Spectrum spectrum(kBlock, analysis::Window::kHann);
  const auto d =
      analysis::DistortionOf(spectrum.Amplitudes(signals::Counts(kBlock, kRate, {{a1, 3000}})),
                             {analysis::Window::kHann, kBlock, kRate});
  ASSERT_TRUE(d);
  EXPECT_EQ(d->highest, 7);
  EXPECT_EQ(d->harmonics[8], 0);
}

TEST(SpectrumPeak, NoiseFloorOfA16BitSineIsTheRoundingsAndAveragingSettlesIt) {
  // Rounding's noise, 1/12 count squared, reads 4 sigma^2 ENBW / n in the
  // amplitude spectrum's square: about -134 dBFS per bin.
  for (const analysis::Window w : kWindows) {
    analysis::Spectrum spectrum(kBlock, w);
    analysis::SpectrumAverage average(kBlock / 2 + 1);
    average.SetCount(16);
    double single_spread = 0;
    for (unsigned block = 0; block < 16; ++block) {
      // Unrelated to the block's length, so the rounding is white.
      const std::vector<double> x =
          signals::Counts(kBlock, kRate, {{30000, 997.123, 0.1 * block}}, 0, 0.0, block);
      const auto amplitudes = spectrum.Amplitudes(x);
      average.Add(amplitudes);
      if (block == 0) {
        double s = 0, s2 = 0;
        for (std::size_t k = 2000; k < 5000; ++k) {
          const double v = Db(amplitudes[k]);
          s += v, s2 += v * v;
        }
        single_spread = std::sqrt(s2 / 3000 - s * s / 3000 / 3000);
      }
    }
    const auto mean = average.Amplitudes();
    double power = 0, s = 0, s2 = 0;
    for (std::size_t k = 2000; k < 5000; ++k) {
      power += mean[k] * mean[k];
      const double v = Db(mean[k]);
      s += v, s2 += v * v;
    }
    const double expected = 4.0 / 12 * analysis::WindowNoiseBins(w) / kBlock;
    EXPECT_NEAR(10 * std::log10(power / 3000 / expected), 0, 0.3) << static_cast<int>(w);
    // Sixteen spectra spread a quarter as much as one.
    EXPECT_LT(std::sqrt(s2 / 3000 - s * s / 3000 / 3000), single_spread / 3) << static_cast<int>(w);
  }
  analysis::SpectrumAverage average(8);
  EXPECT_TRUE(average.Amplitudes().empty());
  EXPECT_THROW(average.Add(std::vector<double>(9)), std::invalid_argument);
}

}  // namespace
