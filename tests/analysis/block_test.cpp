// SPDX-License-Identifier: GPL-3.0-or-later
// A whole block of both channels: circuits synthesised from theory (a
// resistor, a capacitor, an RL branch), recorded at 16 bits on 1.1 V full
// scale with the current across a shunt, read back through BlockAnalyzer.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/block_analyzer.h"
#include "tests/analysis/signals.h"

namespace {

constexpr double kRate = 44100;
constexpr std::size_t kBlock = 11025;
constexpr double kPi = std::numbers::pi;
constexpr double kVoltsPerCount = 1.1 / 32768;
constexpr double kShunt = 10;  // ohm

struct Circuit {
  const char* what;
  double frequency;
  std::complex<double> z;       // ohm
  double skew_s = 0;            // recorded IL lags by this
  double corrected_skew_s = 0;  // the skew the analyzer is told of
  double max_phase_error_deg = 0.05;
};

struct Recording {
  std::vector<double> ur, il;
};

// u = U sin(wt); the shunt carries i = u / Z, recorded skew_s late.
Recording Record(const Circuit& c, double u_counts = 20000) {
  const double i_counts = u_counts / std::abs(c.z) * kShunt;
  const double i_phase = -std::arg(c.z) - 2 * kPi * c.frequency * c.skew_s;
  return {signals::Counts(kBlock, kRate, {{u_counts, c.frequency, 0.2}}, 0, 0, 1, kVoltsPerCount),
          signals::Counts(kBlock, kRate, {{i_counts, c.frequency, 0.2 + i_phase}}, 0, 0, 1,
                          kVoltsPerCount / kShunt)};
}

TEST(BlockAnalyzer, PhaseImpedanceAndPowerOfCircuitsFromTheory) {
  const double w1k = 2 * kPi * 1000;
  const Circuit circuits[] = {
      {"resistor 47 ohm", 1000, {47, 0}},
      {"resistor 100 ohm at 12.5 Hz", 12.5, {100, 0}},
      {"capacitor 10 uF at 1 kHz", 1000, {0, -1 / (w1k * 10e-6)}, 0, 0, 0.1},
      {"capacitor 1 uF at 7.3 kHz", 7300, {0, -1 / (2 * kPi * 7300 * 1e-6)}, 0, 0, 0.1},
      {"RL 33 ohm + 4.7 mH", 1000, {33, w1k * 4.7e-3}},
      {"resistor, 20 us skew corrected", 1000, {47, 0}, 20e-6, 20e-6},
  };
  analysis::BlockAnalyzer analyzer(kBlock);
  for (const Circuit& c : circuits) {
    const Recording rec = Record(c);
    analysis::BlockScale scale;
    scale.skew_s = c.corrected_skew_s;
    const analysis::Readings r = analyzer.Measure(rec.ur, rec.il, scale, false, false);
    const analysis::PairReadings& p = r.pair;
    ASSERT_TRUE(r.ur.frequency && r.il.frequency && p.phase_deg && p.impedance_ohm) << c.what;
    EXPECT_NEAR(*r.ur.frequency, c.frequency, c.frequency * 1e-6) << c.what;
    const double phase = -std::arg(c.z) * 180 / kPi;  // of the current: + when it leads
    EXPECT_NEAR(*p.phase_deg, phase, c.max_phase_error_deg) << c.what;
    EXPECT_NEAR(*p.delay_s, -phase / 360 / c.frequency, c.max_phase_error_deg / 360 / c.frequency)
        << c.what;
    EXPECT_NEAR(*p.impedance_ohm / std::abs(c.z), 1, 2e-3) << c.what;
    EXPECT_NEAR(*p.resistance_ohm, c.z.real(), 2e-3 * std::abs(c.z)) << c.what;
    EXPECT_NEAR(*p.reactance_ohm, c.z.imag(), 2e-3 * std::abs(c.z)) << c.what;
    // P = U I cos(phi) / 2 of the amplitudes; S = Urms Irms.
    const double u = 20000 * kVoltsPerCount, i = u / std::abs(c.z);
    const double s = u * i / 2, power = s * std::cos(std::arg(c.z));
    EXPECT_NEAR(*p.apparent_power_va / s, 1, 2e-3) << c.what;
    EXPECT_NEAR(*p.power_w, power, 2e-3 * s) << c.what;
    EXPECT_NEAR(*p.power_factor, std::cos(std::arg(c.z)), 2e-3) << c.what;
    EXPECT_NEAR(*p.reactive_power_var, s * std::sin(std::arg(c.z)), 3e-3 * s) << c.what;
  }
}

TEST(BlockAnalyzer, UncorrectedSkewShowsAsPhaseAndTheClockAsFrequency) {
  analysis::BlockAnalyzer analyzer(kBlock);
  const Recording late = Record({"resistor", 1000, {47, 0}, 20e-6});
  const auto r = analyzer.Measure(late.ur, late.il, {}, false, false);
  ASSERT_TRUE(r.pair.phase_deg);
  EXPECT_NEAR(*r.pair.phase_deg, -7.2, 0.05);  // 360 * 1 kHz * 20 us, current seen late

  // A card 50 ppm fast records a 1 kHz tone as 1000 / (1 + 50e-6) of its nominal rate.
  const auto x = signals::Counts(kBlock, kRate, {{16000, 1000 / (1 + 50e-6)}});
  analysis::BlockScale scale;
  scale.clock_ppm = 50;
  const auto fast = analyzer.Measure(x, x, scale, true, false);
  EXPECT_NEAR(*fast.ur.frequency, 1000, 1e-4);
  EXPECT_TRUE(fast.ur.clipped);
  EXPECT_FALSE(fast.il.clipped);
}

TEST(BlockAnalyzer, WhatDoesNotExistIsAbsent) {
  analysis::BlockAnalyzer analyzer(kBlock);
  const auto tone = signals::Counts(kBlock, kRate, {{20000, 440}}, 30, 0, 1, kVoltsPerCount);
  const auto hiss = signals::Counts(kBlock, kRate, {}, 0, 3, 1, kVoltsPerCount);
  const std::vector<double> silence(kBlock, 0);

  // Open circuit: a voltage, no current.
  const auto open = analyzer.Measure(tone, silence, {}, false, false);
  EXPECT_TRUE(open.ur.frequency);
  EXPECT_FALSE(open.il.frequency);
  EXPECT_FALSE(open.pair.phase_deg || open.pair.impedance_ohm || open.pair.power_factor ||
               open.pair.reactive_power_var);
  EXPECT_EQ(*open.pair.power_w, 0);
  EXPECT_NEAR(open.ur.mean, 30 * kVoltsPerCount, 1e-3 * 30 * kVoltsPerCount);  // whole periods

  // Hiss on both: no frequency, levels over the whole block.
  const auto noise = analyzer.Measure(hiss, hiss, {}, false, false);
  EXPECT_FALSE(noise.ur.frequency || noise.ur.thd_percent || noise.pair.phase_deg);
  EXPECT_NEAR(noise.ur.rms, 3 * kVoltsPerCount, 0.1 * kVoltsPerCount);

  // A tone on IL alone still gives IL's frequency; no voltage, no impedance.
  const auto only_current = analyzer.Measure(silence, tone, {}, false, false);
  EXPECT_NEAR(*only_current.il.frequency, 440, 1e-3);
  EXPECT_FALSE(only_current.pair.impedance_ohm);
}

TEST(BlockAnalyzer, BadBlocksAreRefusedWithTheirFault) {
  analysis::BlockAnalyzer analyzer(1000);
  const std::vector<double> ok(1000, 0.1), short_block(999, 0.1), long_block(1001, 0.1);
  std::vector<double> nan = ok, inf = ok;
  nan[17] = std::numeric_limits<double>::quiet_NaN();
  inf[3] = -std::numeric_limits<double>::infinity();
  struct Case {
    std::span<const double> ur, il;
    double rate;
    const char* message;
  };
  const Case cases[] = {
      {ok, short_block, kRate, "UR has 1000 frames but IL 999"},
      {long_block, long_block, kRate, "a block of 1001 frames (1 to 1000)"},
      {{}, {}, kRate, "a block of 0 frames"},
      {ok, nan, kRate, "sample 17 is not a finite number"},
      {inf, ok, kRate, "sample 3 is not a finite number"},
      {ok, ok, 0, "a sample rate of 0"},
  };
  for (const Case& c : cases) {
    analysis::BlockScale scale;
    scale.sample_rate = c.rate;
    try {
      analyzer.Measure(c.ur, c.il, scale, false, false);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
