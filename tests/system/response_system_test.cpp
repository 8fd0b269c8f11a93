// SPDX-License-Identifier: GPL-3.0-or-later
// Frequency response sweeps through the real program on the virtual bench,
// against the circuits' theory computed here.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string>

#include "system/json_read.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

using C = std::complex<double>;
constexpr double kPi = std::numbers::pi;

jsonread::Value Sweep(const std::string& dir, const std::string& line, const std::string& circuit,
                      double* seconds = nullptr) {
  const RunResult r =
      RunScript(dir, "dump " + dir + "/a.json\n" + line + "\ndump " + dir + "/b.json\n",
                "--settings=none --circuit=" + circuit);
  EXPECT_EQ(r.status, 0) << r.err;
  if (seconds)
    *seconds = jsonread::ParseFile(dir + "/b.json")["time"].Number() -
               jsonread::ParseFile(dir + "/a.json")["time"].Number();
  return jsonread::ParseFile(dir + "/b.json")["measurements"]["response"];
}

double Db(double ratio) { return 20 * std::log10(ratio); }

// Every point against theory; the worst differences in dB and degrees.
template <typename Theory>
std::pair<double, double> WorstError(const jsonread::Value& response, Theory h) {
  double db = 0, deg = 0;
  for (const jsonread::Value& p : response["points"].Items()) {
    const C expected = h(2 * kPi * p["frequency"].Number());
    db = std::max(db, std::abs(Db(p["magnitude"].Number()) - Db(std::abs(expected))));
    double d = p["phase"].Number() - std::arg(expected) * 180 / kPi;
    d = std::remainder(d, 360.0);
    deg = std::max(deg, std::abs(d));
  }
  return {db, deg};
}

TEST(Response, RcLowPassAndSeriesResonanceAgainstTheoryWithAndWithoutNoise) {
  const std::string dir = TempDir();
  const double fc = 1 / (2 * kPi * 1e3 * 100e-9);
  const double r = 10, l = 10e-3, c = 1e-6, f0 = 1 / (2 * kPi * std::sqrt(l * c));
  for (const std::string noise : {"", ",noise=-50"}) {
    const double k = noise.empty() ? 1 : 2;  // the limits doubled in noise
    double seconds = 0;
    const jsonread::Value rc =
        Sweep(dir, "response 20 20000 31 transfer", "top=R1k,bottom=C100n" + noise, &seconds);
    ASSERT_EQ(rc["points"].size(), 31u);
    EXPECT_EQ(rc["quantity"].Str(), "transfer");
    const auto [db, deg] = WorstError(rc, [&](double w) { return 1.0 / C(1, w / (2 * kPi * fc)); });
    EXPECT_LT(db, 0.05 * k) << noise;
    EXPECT_LT(deg, 0.3 * k) << noise;
    EXPECT_NEAR(rc["corner_high"].Number(), fc, fc * 0.005 * k) << noise;
    EXPECT_FALSE(rc.Has("resonance"));
    // The sweep's own time, from the frames it recorded, within the run's.
    EXPECT_GT(rc["seconds"].Number(), 0.5 * seconds);
    EXPECT_LE(rc["seconds"].Number(), seconds);
    std::printf("RC, 31 points%s: worst %.4f dB, %.3f deg, %.2f s of the clock per point\n",
                noise.c_str(), db, deg, seconds / 31);

    const jsonread::Value rlc =
        Sweep(dir, "response 500 5000 41 impedance", "dut=R10+L10m+C1u" + noise);
    EXPECT_EQ(rlc["quantity"].Str(), "impedance");
    EXPECT_NEAR(rlc["resonance"].Number(), f0, f0 * 0.005 * k) << noise;
    EXPECT_NEAR(rlc["q"].Number(), 10, 10 * 0.02 * k) << noise;
    EXPECT_NEAR(rlc["resonance_magnitude"].Number(), r, r * 0.01 * k) << noise;
    const auto [zdb, zdeg] = WorstError(rlc, [&](double w) { return C(r, w * l - 1 / (w * c)); });
    EXPECT_LT(zdb, 0.05 * k) << noise;
    EXPECT_LT(zdeg, 0.3 * k) << noise;
  }
}

// Neighbouring points 12 to 15 dB apart (a resonance of Q = 10 between
// them): a window holding any of the previous frequency's samples, or the
// transient after the change, would miss the theory by far more.
TEST(Response, NoPointHoldsThePreviousFrequency) {
  const std::string dir = TempDir();
  const double l = 10e-3, c = 1e-6, r = 10;
  for (const char* line :
       {"response 1000 2500 5 transfer 0.08", "response 1400 1800 9 transfer 0.08"}) {
    const jsonread::Value peak = Sweep(dir, line, "top=R10+L10m,bottom=C1u");
    const auto [db, deg] =
        WorstError(peak, [&](double w) { return 1.0 / C(1 - w * w * l * c, w * r * c); });
    EXPECT_LT(db, 0.05) << line;
    EXPECT_LT(deg, 0.3) << line;
  }
}

TEST(Response, SavedViewAndRefusedLines) {
  const std::string dir = TempDir();
  const RunResult r = RunScript(dir,
                                "response 100 10000 5 transfer\nshow response\nsave-view " + dir +
                                    "/r.csv\nsave-view " + dir + "/r.png\n",
                                "--settings=none --circuit=top=R1k,bottom=C100n");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string csv = ReadFile(dir + "/r.csv");
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "frequency_Hz,magnitude_dB,phase_deg,ur_rms_V,il_rms_V");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 6);
  EXPECT_EQ(ReadFile(dir + "/r.png").substr(1, 3), "PNG");

  ExpectRefused(dir, {
                         {"response 100 10 5 transfer", "START below STOP"},
                         {"response 5 100 5 transfer", "from 10 to 20000"},
                         {"response 100 1000 1 transfer", "number of points"},
                         {"response 100 1000 5 gain", "'transfer' or 'impedance'"},
                         {"response 100 1000 5 transfer 2", "peak above 0"},
                         {"save-view r.csv", "logged by log-measurements"},
                         {"save-view r.txt", "usage: save-view"},
                     });
}

}  // namespace
}  // namespace systemtest
