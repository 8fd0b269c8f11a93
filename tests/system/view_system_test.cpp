// SPDX-License-Identifier: GPL-3.0-or-later
// The XY, spectrum and waveform views through the real program: what they
// read against theory (the virtual bench's resistor and diode, tones put in a
// file), their cursors, their pictures at three sizes, their script lines.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "system/json_read.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

constexpr double kVoltsPerCount = 1.1 / 32767;

jsonread::Value Measurements(const std::string& dump) {
  return jsonread::ParseFile(dump)["measurements"];
}

// The rows of a CSV with a header, as numbers.
std::vector<std::vector<double>> CsvRows(const std::string& path) {
  std::istringstream in(ReadFile(path));
  std::vector<std::vector<double>> rows;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<double> row;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::stod(cell));
    rows.push_back(row);
  }
  return rows;
}

TEST(View, XyOfTheBenchsResistorIsALineOfItsConductanceAndOfItsDiodeShockleysCurve) {
  const std::string dir = TempDir();
  const std::string script = "generator 1000 %\nwait 2.6\nview xy\nsave-view " + dir + "/xy.csv\n";
  const auto run = [&](const char* dut, const char* peak) {
    std::string s = script;
    s.replace(s.find('%'), 1, peak);
    const RunResult r = RunScript(dir, s, std::string("--settings=none --circuit=dut=") + dut);
    EXPECT_EQ(r.status, 0) << r.err;
    return CsvRows(dir + "/xy.csv");
  };
  // R1k in series with the 100 ohm shunt: IL = UR / 1000, through the origin.
  std::vector<std::vector<double>> rows = run("R1k", "1.0");
  ASSERT_EQ(rows.size(), 11025u);
  double ui = 0, uu = 0;
  for (const auto& r : rows) ui += r[0] * r[1], uu += r[0] * r[0];
  EXPECT_NEAR(ui / uu, 1e-3, 1e-3 * 0.005);

  // The diode at the generator's full 1.1 V.
  rows = run("D", "1.1");
  ASSERT_EQ(rows.size(), 11025u);
  int above = 0;
  for (const auto& r : rows) {
    if (r[1] <= 1e-4) continue;
    ++above;
    const double shockley = 1e-14 * (std::exp(r[0] / 0.02585) - 1);
    EXPECT_NEAR(r[1], shockley, 0.02 * shockley) << "at " << r[0] << " V";
  }
  EXPECT_GT(above, 1000);
  double lowest = 0;
  for (const auto& r : rows) lowest = std::min(lowest, r[1]);
  EXPECT_GT(lowest, -1e-6);  // flat until the knee: no current backwards
}

TEST(View, SpectrumReadsThdHarmonicsLevelAndPeakFrequencyWithEveryWindow) {
  // UR from a file: 1 kHz with 1 % of 3 kHz and 0.5 % of 5 kHz; IL a pure
  // sine between bins.
  const std::string dir = TempDir();
  const double a1 = 16000, il_hz = 1234.567;
  std::vector<std::int16_t> wave(44100 * 5);
  for (std::size_t n = 0; n < wave.size(); ++n) {
    const double w = 2 * std::numbers::pi * 1000 * static_cast<double>(n) / 44100;
    wave[n] = static_cast<std::int16_t>(
        std::lround(a1 * (std::sin(w) + 0.01 * std::sin(3 * w + 1) + 0.005 * std::sin(5 * w + 2))));
  }
  std::string h = "RIFF....WAVEfmt ";
  const auto u32 = [&h](std::uint32_t v) { h.append(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&h](std::uint16_t v) { h.append(reinterpret_cast<const char*>(&v), 2); };
  u32(16), u16(1), u16(1), u32(44100), u32(88200), u16(2), u16(16);
  h += "data";
  u32(static_cast<std::uint32_t>(wave.size() * 2));
  h.append(reinterpret_cast<const char*>(wave.data()), wave.size() * 2);
  WriteFile(dir + "/in.wav", h);

  const char* windows[] = {"hann", "blackman-harris", "flat-top"};
  std::string script = "wait 1.3\nspectrum-average 4\n";
  for (const char* w : windows)
    script += std::string("spectrum-window ") + w + "\nwait 1.1\ndump " + dir + "/" + w + ".json\n";
  const RunResult r = RunScript(dir, script,
                                "--settings=none --signal-r=file:" + dir +
                                    "/in.wav --signal-l=sine:" + std::to_string(il_hz) + ":8000");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* w : windows) {
    const jsonread::Value s = Measurements(dir + "/" + w + ".json")["spectrum"];
    EXPECT_EQ(s["window"].Str(), w);
    EXPECT_EQ(s["average"].Int(), 4);
    const jsonread::Value ur = s["ur"], il = s["il"];
    EXPECT_EQ(ur["unit"].Str(), "dBFS");
    EXPECT_NEAR(ur["thd"].Number(), std::hypot(1, 0.5), 0.005) << w;
    EXPECT_NEAR(ur["thd_n"].Number(), std::hypot(1, 0.5), 0.005) << w;
    EXPECT_NEAR(ur["harmonics"][1].Number(), -40, 0.1) << w;  // the third
    EXPECT_NEAR(ur["harmonics"][3].Number(), 20 * std::log10(0.005), 0.1) << w;
    EXPECT_LT(ur["harmonics"][0].Number(), -90) << w;
    EXPECT_NEAR(ur["peak_frequency"].Number(), 1000, 0.04) << w;
    EXPECT_NEAR(ur["peak_level"].Number(), 20 * std::log10(a1 / 32767), 0.05) << w;
    EXPECT_NEAR(il["peak_frequency"].Number(), il_hz, 0.04) << w;
    EXPECT_NEAR(il["peak_level"].Number(), 20 * std::log10(8000 / 32767.0), 0.05) << w;
    EXPECT_LT(il["thd"].Number(), 0.002) << w;
  }
}

TEST(View, WaveformCursorsReadBothChannelsAfterTheFallingZeroOfUr) {
  // 50 Hz: a quarter period after the falling zero is the trough, half a
  // period the rising zero.
  const std::string dir = TempDir();
  const RunResult r =
      RunScript(dir,
                "wait 1.3\ncursor t1 0.005\ncursor t2 0.01\ncursor v1 0.25\ncursor v2 -0.125\nview "
                "waveform\nsave-view " +
                    dir + "/w.csv\ndump " + dir + "/d.json\n",
                "--settings=none --signal-r=sine:50:16000 --signal-l=sine:50:8000");
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value c = Measurements(dir + "/d.json")["cursors"];
  const double ur = 16000 * kVoltsPerCount, il = 8000 * kVoltsPerCount / 100;
  EXPECT_NEAR(c["dt"].Number(), 0.005, 1e-12);
  EXPECT_NEAR(c["dv"].Number(), -0.375, 1e-12);
  EXPECT_NEAR(c["ur"]["t1"].Number(), -ur, ur * 1e-3);
  EXPECT_NEAR(c["il"]["t1"].Number(), -il, il * 1e-3);
  // The trigger is the first sample below zero: up to a sample late, and a
  // count of rounding.
  EXPECT_NEAR(c["ur"]["t2"].Number(), 0, ur * 2 * std::numbers::pi * 50 / 44100 + kVoltsPerCount);
  const auto rows = CsvRows(dir + "/w.csv");
  ASSERT_GT(rows.size(), 100u);
  EXPECT_LT(rows[0][1], 0);
  EXPECT_NEAR(rows[1][0] - rows[0][0], 1 / 44100.0, 1e-12);
}

// Nothing touches the edge of a picture (a label cut off would), and the
// traces are in it.
void ExpectWhole(const std::string& path, int min_trace_pixels) {
  const QImage image(QString::fromStdString(path));
  ASSERT_FALSE(image.isNull()) << path;
  int edge = 0, trace = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y) & 0xffffff;
      const bool rim = x < 2 || y < 2 || x >= image.width() - 2 || y >= image.height() - 2;
      if (rim && p != 0xffffff) ++edge;
      if (p == 0x1f4fd0) ++trace;
    }
  EXPECT_EQ(edge, 0) << path;
  EXPECT_GE(trace, min_trace_pixels) << path;
}

TEST(View, PicturesOfEachViewAtItsSizeASmallOneAndHiDpiHoldEverything) {
  const std::string dir = TempDir();
  const char* views[] = {"xy", "spectrum", "waveform"};
  std::string script = "generator 1000 0.8\nxy-persistence on\nwait 2.6\nshow measurements\n";
  for (const char* v : views)
    script += std::string("view ") + v + "\nwait 0.3\nsave-view " + dir + "/%-" + v +
              ".png\nsave-view " + dir + "/%-small-" + v + ".png 240x180\nscreenshot " + dir +
              "/%-window-" + v + ".png measurements\n";
  for (const char* scale : {"1", "2"}) {
    std::string s = script;
    for (std::size_t at; (at = s.find('%')) != std::string::npos;) s.replace(at, 1, scale);
    WriteFile(dir + "/script.txt", s);
    const RunResult r = RunProgram(
        dir, "--headless --script='" + dir + "/script.txt' --settings=none --circuit=dut=R1k",
        std::string("QT_SCALE_FACTOR=") + scale);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  for (const char* v : views)
    for (const char* size : {"", "small-"})
      for (const char* scale : {"1", "2"})
        ExpectWhole(dir + "/" + scale + "-" + size + v + ".png", 100);
  for (const char* v : views) {
    const QImage one(QString::fromStdString(dir + "/1-window-" + v + ".png"));
    const QImage two(QString::fromStdString(dir + "/2-window-" + v + ".png"));
    EXPECT_EQ(two.size(), one.size() * 2) << v;
    const QImage small(QString::fromStdString(dir + "/2-small-" + std::string(v) + ".png"));
    EXPECT_EQ(small.size(), QSize(480, 360)) << v;
  }
}

TEST(View, ScriptLinesOfTheViewsAreCheckedAndNamed) {
  const std::string dir = TempDir();
  ExpectRefused(dir, {
                         {"view scope", "usage: view xy|spectrum|waveform|readouts"},
                         {"spectrum-window kaiser", "usage: spectrum-window"},
                         {"spectrum-average 8", "usage: spectrum-average 1|4|16"},
                         {"xy-persistence maybe", "usage: xy-persistence on|off"},
                         {"cursor t3 0.1", "usage: cursor"},
                         {"cursor t1 abc", "'abc' is not a number"},
                         {"cursor t2 -1", "not a time from 0 to 1 s"},
                         {"save-view v.txt", "usage: save-view"},
                         {"save-view v.png 10x10", "not a size"},
                         {"save-view v.png", "not open"},
                         {"save-view v.csv", "logged by log-measurements"},
                     });
  const RunResult r = RunScript(dir, "view xy\nsave-view " + dir + "/x.csv\n", "--settings=none");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no data yet"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace systemtest
