// The frequency response's points and features against circuits' theory.
#include "analysis/response.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "tests/analysis/signals.h"

namespace {

using analysis::ResponsePoint;
using C = std::complex<double>;

constexpr double kFs = 44100;
constexpr double kPi = std::numbers::pi;

template <typename Response>
std::vector<ResponsePoint> Points(const std::vector<int>& frequencies, Response h) {
  std::vector<ResponsePoint> out;
  for (int f : frequencies) {
    const C v = h(2 * kPi * f);
    out.push_back({static_cast<double>(f), std::abs(v), std::arg(v) * 180 / kPi, 0, 0});
  }
  return out;
}

TEST(Response, SweepFrequenciesAreLogSpacedWholeHertzWithoutRepeats) {
  const std::vector<int> wide = analysis::SweepFrequencies(20, 20000, 31);
  ASSERT_EQ(wide.size(), 31u);
  EXPECT_EQ(wide.front(), 20);
  EXPECT_EQ(wide.back(), 20000);
  EXPECT_EQ(wide[10], 200);  // a decade every ten points
  // 10 Hz to 20 Hz in 31 points leaves only the eleven whole hertz.
  EXPECT_EQ(analysis::SweepFrequencies(10, 20, 31),
            (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}));
  EXPECT_EQ(analysis::SweepFrequencies(1000, 1000, 5), std::vector<int>{1000});
}

// A fit at the known frequency through noise, a harmonic, an offset and the
// IL channel's lag, against the ratio of the tones as made.
TEST(Response, PointIsTheRatioOfTheFundamentals) {
  const double f = 1234, skew = 20e-6, phase = 0.7;
  const auto il =
      signals::Counts(4410, kFs, {{10000, f, -2 * kPi * f * skew}, {3000, 2 * f}}, 50, 100, 3);
  const auto ur = signals::Counts(4410, kFs, {{2500, f, phase}, {800, 3 * f}}, -20, 100, 4);
  const auto p = analysis::MeasureResponsePoint(ur, il, kFs, f, skew);
  ASSERT_TRUE(p);
  EXPECT_NEAR(p->magnitude, 0.25, 0.25 * 2e-3);
  EXPECT_NEAR(p->phase_deg, phase * 180 / kPi, 0.1);
  EXPECT_NEAR(p->il_rms, 10000 / std::numbers::sqrt2, 10);
  const auto silent = signals::Counts(4410, kFs, {}, 0, 3, 5);
  EXPECT_FALSE(analysis::MeasureResponsePoint(ur, silent, kFs, f, 0)) << "a ratio over nothing";
}

TEST(Response, FeaturesOfCircuitsFromTheirTheory) {
  const double fc = 1 / (2 * kPi * 1e3 * 100e-9);  // R1k, C100n
  const auto low_pass = Points(analysis::SweepFrequencies(20, 20000, 31),
                               [&](double w) { return 1.0 / C(1, w / (2 * kPi * fc)); });
  const auto rc = analysis::FindFeatures(low_pass);
  ASSERT_TRUE(rc.corner_high_hz);
  // Under the first point's level, which lies a hair under 0 dB.
  const double expected = fc * std::sqrt(1 + 2 * std::pow(20 / fc, 2));
  EXPECT_NEAR(*rc.corner_high_hz, expected, expected * 1e-3);
  EXPECT_FALSE(rc.resonance_hz || rc.corner_low_hz || rc.q);

  // R10 + L10m + C1u in series: resonance 1591.55 Hz, Q = 10, |Z| = 10 ohm.
  const double r = 10, l = 10e-3, c = 1e-6, f0 = 1 / (2 * kPi * std::sqrt(l * c));
  const auto series = Points(analysis::SweepFrequencies(500, 5000, 41),
                             [&](double w) { return C(r, w * l - 1 / (w * c)); });
  const auto rlc = analysis::FindFeatures(series);
  ASSERT_TRUE(rlc.resonance_hz && rlc.q && rlc.resonance_magnitude);
  EXPECT_NEAR(*rlc.resonance_hz, f0, f0 * 1e-3);
  EXPECT_NEAR(*rlc.resonance_magnitude, r, r * 2e-3);
  EXPECT_NEAR(*rlc.q, 10, 10 * 5e-3);
  // The corners solve |Z| = sqrt(2) R: f0 (sqrt(1 + 1/4Q^2) -+ 1/2Q).
  EXPECT_NEAR(*rlc.corner_low_hz, f0 * (std::sqrt(1.0025) - 0.05), 1);
  EXPECT_NEAR(*rlc.corner_high_hz, f0 * (std::sqrt(1.0025) + 0.05), 1);

  // A peak without a phase through 0: the LC low pass (R1 + L10m, C1u)
  // peaks at f0 sqrt(1 - 1/2Q^2) with Q = 100.
  const auto lc = Points(analysis::SweepFrequencies(500, 5000, 201),
                         [&](double w) { return 1.0 / C(1 - w * w * l * c, w * 1.0 * c); });
  const auto peak = analysis::FindFeatures(lc);
  ASSERT_TRUE(peak.resonance_hz);
  EXPECT_NEAR(*peak.resonance_hz, f0 * std::sqrt(1 - 1 / 2e4), f0 * 2e-3);

  // A flat response (a loopback) has none of them.
  const auto flat = analysis::FindFeatures(
      Points(analysis::SweepFrequencies(20, 20000, 31), [](double) { return C(1, 0); }));
  EXPECT_FALSE(flat.resonance_hz || flat.corner_low_hz || flat.corner_high_hz);
}

}  // namespace
