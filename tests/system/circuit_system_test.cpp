// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual bench through the real program: circuits on the start-up
// generator (100 Hz, 110 mV peak), what the card recorded fitted here.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "system/json_read.h"
#include "system/program_run.h"
#include "tests/support/sine_fit.h"

namespace {

using namespace systemtest;
using Complex = std::complex<double>;
using testfit::Phasor;
constexpr double kPi = std::numbers::pi;

// The two channels of a 16-bit stereo WAV with a 44-byte header.
void ReadChannels(const std::string& path, std::vector<double>& r, std::vector<double>& l) {
  const std::string bytes = ReadFile(path);
  for (std::size_t at = 44; at + 4 <= bytes.size(); at += 4) {
    std::int16_t s[2];
    std::memcpy(s, bytes.data() + at, 4);
    r.push_back(s[0]);
    l.push_back(s[1]);
  }
}

TEST(CircuitSystem, RecordedChannelsMatchTheory) {
  const double w = 2 * kPi * 100;
  const struct {
    std::string description;
    Complex r_over_l;  // UR / UL by theory
  } cases[] = {
      // UR / IL = Z / shunt: the current leads by 90 degrees.
      {"dut=C1u", Complex(0, -1 / (w * 1e-6)) / 100.0},
      {"dut=R10+L10m+C1u,shunt=10", Complex(10, w * 10e-3 - 1 / (w * 1e-6)) / 10.0},
      {"top=R1k,bottom=C1u", 1.0 / Complex(1, w * 1e3 * 1e-6)},
      // Channel L 20 us late: 0.72 degrees at 100 Hz.
      {"dut=R1k,skew=20u", std::polar(10.0, w * 20e-6)},
  };
  for (const auto& c : cases) {
    const std::string dir = TempDir();
    const RunResult run = RunScript(dir, "wait 2\ndump " + dir + "/d.json\n",
                                    "'--circuit=" + c.description + "' --record-input=" + dir + "/in.wav");
    ASSERT_EQ(run.status, 0) << c.description << ": " << run.err;
    EXPECT_EQ(jsonread::ParseFile(dir + "/d.json")["circuit"].Str(), c.description);
    std::vector<double> r, l;
    ReadChannels(dir + "/in.wav", r, l);
    ASSERT_GT(r.size(), 80000u) << c.description;
    // The generator's frequency, from channel R's strongest fit near 100 Hz.
    double hz = 100, best = 0;
    for (double f = 99.8; f <= 100.2; f += 0.004)
      if (const double a = std::abs(Phasor(r, f, 22050)); a > best) best = a, hz = f;
    EXPECT_NEAR(hz, 100, 0.05) << c.description;
    const Complex ratio = Phasor(r, hz, 22050) / Phasor(l, hz, 22050);
    EXPECT_NEAR(std::abs(ratio) / std::abs(c.r_over_l), 1, 0.003) << c.description;
    EXPECT_NEAR(testfit::Degrees(ratio / c.r_over_l), 0, 0.1) << c.description;
  }
}

TEST(CircuitSystem, RefusedWithTheReason) {
  const struct {
    std::string args, script, error;
  } cases[] = {
      {"'--circuit=dut=R1k+('", "wait 0.1\n",
       "--circuit: at 10: expected an element (R, C, L, D) or '('"},
      {"--circuit=", "wait 0.1\n", "--circuit needs a circuit"},
      {"--circuit=dut=R1k --signal-l=sine:100", "wait 0.1\n",
       "--circuit cannot be combined with --signal-l"},
      {"--circuit=dut=R1k --card=alsa", "wait 0.1\n",
       "--circuit simulates a circuit on the virtual card; it cannot be combined with --card=alsa"},
      {"--circuit=dut=R1k", "wait 0.1\nsignal r sine:100\n",
       "script.txt:2: signal: the inputs are across the circuit 'dut=R1k' (--circuit)"},
  };
  for (const auto& c : cases) {
    const RunResult run = RunScript(TempDir(), c.script, c.args);
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.err.find(c.error), std::string::npos) << c.args << ": " << run.err;
  }
}

}  // namespace
