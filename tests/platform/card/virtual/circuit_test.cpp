// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual bench's samples against circuit theory, measured by a plain
// least-squares sine fit of the tests' own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "platform/card/virtual/circuit_input.h"
#include "platform/card/virtual/circuit_parser.h"
#include "tests/support/sine_fit.h"

namespace {

using platform::CircuitInput;
using platform::CircuitDescription;
using platform::OutputHistory;
using Complex = std::complex<double>;
using testfit::Degrees;
using testfit::Phasor;
constexpr double kPi = std::numbers::pi;
constexpr double kRate = 44100;
constexpr double kVolt = 32767 / 1.1;  // counts per volt

struct Channels {
  std::vector<double> r, l;
};

// The generator playing `wave` (counts by frame) into the circuit of `description`.
Channels Drive(const std::string& description, const std::function<double(std::int64_t)>& wave,
               double seconds) {
  CircuitDescription parsed;
  EXPECT_EQ(platform::ParseCircuit(description, parsed), "") << description;
  CircuitInput circuit(parsed);
  OutputHistory history;
  history.Restart(44100);
  const auto frames = static_cast<std::int64_t>(seconds * kRate);
  Channels c;
  for (std::int64_t n = 0; n < frames; ++n) {
    const auto s = static_cast<std::int16_t>(std::nearbyint(wave(n)));
    history.Put(n, s, s);
    c.r.push_back(circuit.Sample(history, n, 0));
    c.l.push_back(circuit.Sample(history, n, 1));
  }
  return c;
}

std::function<double(std::int64_t)> Sine(double hz, double peak) {
  return [=](std::int64_t n) { return peak * std::sin(2 * kPi * hz * n / kRate); };
}

// UR / UL from 0.1 s on, at `hz`, with the generator's sine of `peak`.
Complex Ratio(const std::string& description, double hz, double peak = 30000, double seconds = 0.35) {
  const Channels c = Drive(description, Sine(hz, peak), seconds);
  return Phasor(c.r, hz, 4410) / Phasor(c.l, hz, 4410);
}

// UR / UL: a dut's impedance over its shunt, a divider's transfer.
TEST(CircuitBench, ImpedancesAndTransfersMatchTheory) {
  const auto rlc = [](double hz) {
    const double w = 2 * kPi * hz;
    return Complex(10, w * 10e-3 - 1 / (w * 1e-6)) / 100.0;
  };
  // Half the resonance's width either side of 1591.55 Hz: +-45 degrees, Q = 10.
  const double upper = 1591.55 * (std::sqrt(1.0025) + 0.05);
  const double lower = 1591.55 * (std::sqrt(1.0025) - 0.05);
  const struct {
    std::string description;
    double hz;
    Complex theory;
  } cases[] = {
      {"dut=R1k", 1000, {10, 0}},
      {"dut=C1u", 1000, {0, -1 / (2 * kPi * 1000 * 1e-6) / 100}},
      {"dut=L10m,shunt=10", 1000, {0, 2 * kPi * 1000 * 10e-3 / 10}},
      {"dut=R10+L10m+C1u", 1591.55, rlc(1591.55)},
      {"dut=R10+L10m+C1u", upper, rlc(upper)},
      {"dut=R10+L10m+C1u", lower, rlc(lower)},
      {"dut=R1k|C100n", 2000, 1.0 / Complex(1e-3, 2 * kPi * 2000 * 100e-9) / 100.0},
      // Stiff: a time constant of a microsecond.
      {"top=L1,bottom=R1M", 5000, 1.0 / Complex(1, 2 * kPi * 5000 / 1e6)},
  };
  for (const auto& c : cases) {
    const Complex ratio = Ratio(c.description, c.hz);
    EXPECT_NEAR(std::abs(ratio / c.theory), 1, 0.002) << c.description << " at " << c.hz;
    EXPECT_NEAR(Degrees(ratio / c.theory), 0, c.description == "dut=R1k" ? 0.05 : 0.1) << c.description;
  }
  EXPECT_NEAR(Degrees(Ratio("dut=R10+L10m+C1u", upper)), 45, 0.1);
}

TEST(CircuitBench, LowPassFollowsTheoryFrom20HzTo20kHz) {
  double worst_db = 0, worst_degrees = 0;
  for (int k = 0; k < 31; ++k) {
    const double hz = 20 * std::pow(1000.0, k / 30.0);
    const Complex h = Ratio("top=R1k,bottom=C100n", hz, 30000, 0.3);
    const Complex theory = 1.0 / Complex(1, hz / 1591.55);
    worst_db = std::max(worst_db, std::abs(20 * std::log10(std::abs(h / theory))));
    worst_degrees = std::max(worst_degrees, std::abs(Degrees(h / theory)));
  }
  EXPECT_LT(worst_db, 0.05);
  EXPECT_LT(worst_degrees, 0.3);
}

TEST(CircuitBench, StiffNetworksNeitherRingNorBlowUp) {
  // A divider that passes everything up to far beyond the audio band, fed
  // a square wave: the bottom follows the top sample by sample.
  const auto square = [](std::int64_t n) { return (n / 50) % 2 ? 20000.0 : -20000.0; };
  Channels c = Drive("top=R1,bottom=C1p", square, 0.1);
  for (std::size_t n = 0; n < c.r.size(); ++n) ASSERT_NEAR(c.r[n], c.l[n], 1) << n;
  // Extremes of every element: no sample beyond what the network can make
  // of the drive (resistive and capacitive parts cannot gain).
  for (const char* description : {"top=R1m,bottom=C1", "top=R1G,bottom=C1p", "dut=C1+R1m",
                           "top=D+C1p,bottom=R1G", "top=D|C1,bottom=D+R1m", "dut=(D+D)|R1G"}) {
    c = Drive(description, square, 0.05);
    for (std::size_t n = 0; n < c.r.size(); ++n)
      ASSERT_LE(std::max(std::abs(c.r[n]), std::abs(c.l[n])), 23000) << description << " at " << n;
  }
  // Inductors at their extremes, with and without diodes: they run through.
  for (const char* description : {"top=L1n,bottom=R1G", "top=L1k,bottom=C1p", "dut=L1k+D", "dut=L1n|C1"})
    EXPECT_EQ(Drive(description, square, 0.05).r.size(), 2205u) << description;
}

TEST(CircuitBench, DiodeFollowsShockley) {
  const Channels c = Drive("dut=D", Sine(100, 32767), 0.05);
  int checked = 0;
  for (std::size_t n = 0; n < c.r.size(); ++n) {
    const double current = c.l[n] / kVolt / 100;
    if (current <= 1e-4) continue;
    const double shockley = 1e-14 * (std::exp(c.r[n] / kVolt / 0.02585) - 1);
    ASSERT_NEAR(current / shockley, 1, 0.02) << "at " << n << ": " << c.r[n] / kVolt << " V";
    ++checked;
  }
  EXPECT_GT(checked, 500);
}

TEST(CircuitBench, SkewNoiseAndClipping) {
  // Channel L 20 us late: 7.2 degrees at 1 kHz.
  EXPECT_NEAR(Degrees(Ratio("dut=R1k,skew=20u", 1000)), 7.2, 0.01);

  // -60 dBFS of white noise on idle inputs, independent between channels.
  const Channels q = Drive(
      "dut=R1k,noise=-60", [](std::int64_t) { return 0.0; }, 2);
  double rr = 0, ll = 0, rl = 0, mean = 0;
  for (std::size_t n = 0; n < q.r.size(); ++n) {
    rr += q.r[n] * q.r[n];
    ll += q.l[n] * q.l[n];
    rl += q.r[n] * q.l[n];
    mean += q.r[n];
  }
  const double count = static_cast<double>(q.r.size()), rms = 32767 * 1e-3;
  EXPECT_NEAR(std::sqrt(rr / count) / rms, 1, 0.02);
  EXPECT_NEAR(std::sqrt(ll / count) / rms, 1, 0.02);
  EXPECT_LT(std::abs(rl) / std::sqrt(rr * ll), 0.02);
  EXPECT_LT(std::abs(mean / count), 0.5);

  // A series resonance with Q 100: the capacitor's voltage clips at full scale.
  const Channels clip = Drive("top=R1+L10m,bottom=C1u", Sine(1591.55, 3000), 0.3);
  EXPECT_EQ(*std::max_element(clip.r.begin(), clip.r.end()), 32767);
  EXPECT_EQ(*std::min_element(clip.r.begin(), clip.r.end()), -32768);
}

TEST(CircuitBench, SamplesAreAFunctionOfTheOutputAlone) {
  CircuitDescription description;
  ASSERT_EQ(platform::ParseCircuit("top=R1k,bottom=C100n+D,noise=-70", description), "");
  OutputHistory history;
  history.Restart(44100);
  for (std::int64_t n = 0; n < 20000; ++n)
    history.Put(n, static_cast<std::int16_t>(20000 * std::sin(n * 0.05)), 0);
  CircuitInput in_order(description), jumping(description);
  // Asked ahead, then again and back, as a recording and a run ask.
  for (std::int64_t n = 0; n < 20000; n += 1000) {
    for (std::int64_t k = std::min<std::int64_t>(n + 999, 19999); k >= n; --k)
      jumping.Sample(history, k, k % 2);
  }
  for (std::int64_t n = 0; n < 20000; ++n)
    for (int input = 0; input < 2; ++input)
      ASSERT_EQ(in_order.Sample(history, n, input), jumping.Sample(history, n, input)) << n;
}

TEST(CircuitDescriptionText, PartsValuesAndFaults) {
  CircuitDescription s;
  ASSERT_EQ(
      platform::ParseCircuit("dut=R4.7k+C2.2u|L10m+(D|R1e3),shunt=10,skew=-20u,noise=-60", s),
      "");
  using Kind = platform::CircuitPart::Kind;
  ASSERT_EQ(s.upper.parts.size(), 3u);
  EXPECT_DOUBLE_EQ(s.upper.parts[0].value, 4700);
  EXPECT_EQ(s.upper.parts[1].kind, Kind::Parallel);  // '|' binds tighter
  EXPECT_DOUBLE_EQ(s.upper.parts[1].parts[0].value, 2.2e-6);
  EXPECT_DOUBLE_EQ(s.upper.parts[2].parts[1].value, 1000);
  EXPECT_DOUBLE_EQ(s.skew, -20e-6);
  EXPECT_EQ(std::make_pair(s.lower.value, s.noise_dbfs), std::make_pair(10.0, -60.0));

  const std::pair<const char*, const char*> faults[] = {
      {"", "at 1: expected key=value"},
      {"dut=R1k+(", "at 10: expected an element (R, C, L, D) or '('"},
      {"dut=X", "at 5: expected an element (R, C, L, D) or '('"},
      {"dut=(R1|C1u", "at 12: expected '+', '|' or ')'"},
      {"dut=R1kk", "at 8: expected '+', '|' or ','"},
      {"dut=R", "at 6: expected a number"},
      {"dut=R0", "at 6: R must be from 1m to 1G ohm"},
      {"dut=C2", "at 6: C must be from 1p to 1 F"},
      {"dut=L1e-12", "at 6: L must be from 1n to 1k H"},
      {"dut=R1,noise=1", "at 14: noise must be from -200 to 0 dBFS"},
      {"dut=R1,skew=2m", "at 13: skew must be from -1m to 1m s"},
      {"dut=R1,dut=R2", "at 8: 'dut' given twice"},
      {"dut=R1,top=R2,bottom=R3", "at 8: dut cannot be combined with top/bottom"},
      {"top=R1", "at 7: top needs bottom=EXPR"},
      {"bottom=R1", "at 10: bottom needs top=EXPR"},
      {"top=R1,bottom=R1,shunt=5", "at 18: shunt needs dut=EXPR"},
      {"noise=-60", "at 10: missing dut=EXPR or top=EXPR,bottom=EXPR"},
      {"dut=R1,colour=red", "at 8: unknown key 'colour' (dut, shunt, top, bottom, noise, skew)"},
      {"dut", "at 4: expected '=' after 'dut'"},
      {"dut=R1,", "at 8: expected key=value"},
      {"dut=R1;shunt=5", "at 7: expected '+', '|' or ','"},
  };
  for (const auto& [text, error] : faults) {
    CircuitDescription kept = s;
    EXPECT_EQ(platform::ParseCircuit(text, kept), error) << text;
    EXPECT_EQ(kept.text, s.text) << "changed by " << text;
  }
}

}  // namespace
