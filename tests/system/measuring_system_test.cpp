// SPDX-License-Identifier: GPL-3.0-or-later
// The measuring instrument through the real program: its readings against
// values computed here from theory or from the recorded samples themselves,
// its calibration kept per card, its log, and the form left as it was.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "support/private_display.h"
#include "system/json_read.h"
#include "system/on_display.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

constexpr double kVoltsPerCount = 1.1 / 32767;

jsonread::Value Measurements(const std::string& dump) {
  return jsonread::ParseFile(dump)["measurements"];
}

// The frames of a 16-bit stereo WAV with the plain 44-byte header.
std::vector<std::int16_t> WavSamples(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<std::int16_t> s(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
  if (!s.empty()) std::memcpy(s.data(), bytes.data() + 44, s.size() * 2);
  return s;
}

// A mono 16-bit WAV at 44100 Hz.
void WriteWav(const std::string& path, const std::vector<std::int16_t>& samples) {
  std::string h = "RIFF....WAVEfmt ";
  const auto u32 = [&h](std::uint32_t v) { h.append(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&h](std::uint16_t v) { h.append(reinterpret_cast<const char*>(&v), 2); };
  u32(16), u16(1), u16(1), u32(44100), u32(88200), u16(2), u16(16);
  h += "data";
  u32(static_cast<std::uint32_t>(samples.size() * 2));
  const std::uint32_t riff = static_cast<std::uint32_t>(h.size() - 8 + samples.size() * 2);
  std::memcpy(h.data() + 4, &riff, 4);
  h.append(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
  WriteFile(path, h);
}

TEST(Measuring, FrequencyOfAPureSineToATenthOfAPpmAndOfItsOwnGenerator) {
  const std::string dir = TempDir();
  for (double hz : {10.0, 123.456, 1000.0, 4321.0987, 19999.5}) {
    const RunResult r =
        RunScript(dir, "wait 1.6\ndump " + dir + "/d.json\n",
                  "--settings=none --signal-r=sine:" + std::to_string(hz) + ":16000");
    ASSERT_EQ(r.status, 0) << r.err;
    const double f = Measurements(dir + "/d.json")["ur"]["frequency"].Number();
    EXPECT_NEAR(f, hz, hz * 1e-7) << hz << " Hz";
  }
  // The generator's constant 3.14159 puts its tone 0.845 ppm low.
  const RunResult r = RunScript(dir, "generator 1000 0.5\nwait 2.6\ndump " + dir + "/g.json\n",
                                "--settings=none --signal-l=generator");
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value m = Measurements(dir + "/g.json");
  EXPECT_NEAR(m["il"]["frequency"].Number(), 1000 * 3.14159 / std::numbers::pi, 1e-4);
  EXPECT_TRUE(m["ur"]["frequency"].IsNull());  // silence has no frequency
  EXPECT_EQ(m["generator"]["frequency"].Int(), 1000);
}

TEST(Measuring, LevelsAreThoseOfTheSamplesOverWholePeriods) {
  // DC, a fundamental and a third harmonic, from a file, recorded back.
  const std::string dir = TempDir();
  const double hz = 437.3, dc = 3000, a1 = 12000, a3 = 1500;
  std::vector<std::int16_t> wave(44100 * 3);
  for (std::size_t n = 0; n < wave.size(); ++n) {
    const double t = n / 44100.0;
    wave[n] =
        static_cast<std::int16_t>(std::lround(dc + a1 * std::sin(2 * std::numbers::pi * hz * t) +
                                              a3 * std::sin(6 * std::numbers::pi * hz * t)));
  }
  WriteWav(dir + "/in.wav", wave);
  const RunResult r = RunScript(
      dir, "wait 1.3\ndump " + dir + "/d.json\n",
      "--settings=none --signal-r=file:" + dir + "/in.wav --record-input=" + dir + "/rec.wav");
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value m = Measurements(dir + "/d.json");
  const std::vector<std::int16_t> rec = WavSamples(dir + "/rec.wav");
  const auto first = static_cast<std::size_t>(std::lround(m["time"].Number() * 44100));
  ASSERT_LE(2 * (first + 11025), rec.size());
  // Whole periods from the block's start, by a plain loop.
  const double period = 44100 / hz;
  const auto n = static_cast<std::size_t>(std::lround(std::floor(11025 / period) * period));
  double sum = 0, sum2 = 0, hi = -1e9, lo = 1e9;
  for (std::size_t k = 0; k < 11025; ++k) {
    const double v = rec[2 * (first + k)] * kVoltsPerCount;
    hi = std::max(hi, v), lo = std::min(lo, v);
    if (k < n) sum += v, sum2 += v * v;
  }
  const double mean = sum / n, rms = std::sqrt(sum2 / n);
  const jsonread::Value ur = m["ur"];
  EXPECT_NEAR(ur["rms"].Number(), rms, rms * 2e-4);
  EXPECT_NEAR(ur["mean"].Number(), mean, mean * 2e-4);
  EXPECT_NEAR(ur["rms_ac"].Number(), std::sqrt(rms * rms - mean * mean), rms * 2e-4);
  EXPECT_NEAR(ur["peak_to_peak"].Number(), hi - lo, (hi - lo) * 2e-4);
  EXPECT_NEAR(ur["max"].Number(), hi, 1e-9);
  EXPECT_NEAR(ur["min"].Number(), lo, 1e-9);
  EXPECT_NEAR(ur["thd"].Number(), 100 * a3 / a1, 0.005);
  EXPECT_FALSE(ur["clipped"].Bool());
}

TEST(Measuring, CalibrationIsKeptPerCardOverriddenForARunAndABrokenFileLeftAlone) {
  const std::string dir = TempDir(), settings = dir + "/cal.ini";
  const std::string args = "--signal-r=generator --signal-l=generator --settings=" + settings;
  // 0.5 V peak on the card reads 0.35355 V; the voltmeter says 0.7071 V.
  RunResult r = RunScript(dir,
                          "generator 1000 0.5\nwait 2.6\ncalibrate ur 0.7071\nshunt 47\n"
                          "log-measurements " +
                              dir +
                              "/log.csv\nwait 2\nlog-measurements off\n"
                              "dump " +
                              dir + "/a.json\n",
                          args);
  ASSERT_EQ(r.status, 0) << r.err;
  jsonread::Value m = Measurements(dir + "/a.json");
  EXPECT_EQ(m["calibration"]["source"].Str(), "user");
  EXPECT_NEAR(m["calibration"]["ur_full_scale"].Number(), 2.2, 2.2 * 1e-3);
  EXPECT_NEAR(m["ur"]["rms_ac"].Number(), 0.7071, 0.7071 * 2e-4);
  // The current: the IL input's volts over the new shunt.
  EXPECT_NEAR(m["il"]["rms_ac"].Number(), 0.5 / std::sqrt(2) / 47, 1e-6);
  // The log: a header and a row a quarter second, the last as the dump.
  const std::string log = ReadFile(dir + "/log.csv");
  EXPECT_EQ(log.rfind("time_s,ur_frequency,ur_rms,", 0), 0u);
  EXPECT_NEAR(std::count(log.begin(), log.end(), '\n'), 1 + 8, 1);

  // Kept with the capture volume, which another program then changes.
  r = RunScript(dir, "mixer wavein volume 20000\nwait 0.3\ndump " + dir + "/b.json\n", args);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string notes;
  for (const jsonread::Value& n : Measurements(dir + "/b.json")["notes"].Items()) notes += n.Str();
  EXPECT_NE(notes.find("při jiné hlasitosti záznamu"), std::string::npos) << notes;
  m = Measurements(dir + "/b.json")["calibration"];
  EXPECT_EQ(m["source"].Str(), "settings");
  EXPECT_NEAR(m["ur_full_scale"].Number(), 2.2, 2.2 * 1e-3);
  EXPECT_EQ(m["shunt"].Number(), 47);

  r = RunScript(dir, "dump " + dir + "/c.json\n", args + " --cal-ur=1.1 --shunt=10");
  ASSERT_EQ(r.status, 0) << r.err;
  m = Measurements(dir + "/c.json")["calibration"];
  EXPECT_EQ(m["source"].Str(), "options");
  EXPECT_EQ(m["ur_full_scale"].Number(), 1.1);
  EXPECT_EQ(m["shunt"].Number(), 10);

  const std::string broken = "[virtual]\nur_full_scale=abc\n";
  WriteFile(settings, broken);
  r = RunScript(dir, "generator 1000 0.5\nwait 1.6\ncalibrate ur 0.5\ndump " + dir + "/d.json\n",
                args);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(settings), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(settings), broken);
  EXPECT_EQ(Measurements(dir + "/d.json")["calibration"]["source"].Str(), "user");
}

TEST(Measuring, TheFormIsTheSameWithTheMeasuringWindowOpen) {
  const std::string dir = TempDir();
  const std::string body = "wait 1.3\nscreenshot " + dir + "/form-%.png window\ndump " + dir +
                           "/form-%.json\nclick RadioButton2\nwait 1\nscreenshot " + dir +
                           "/single-%.png\n";
  const auto run = [&](const std::string& tag, const std::string& first) {
    std::string s = first + body;
    for (std::size_t at; (at = s.find('%')) != std::string::npos;) s.replace(at, 1, tag);
    return RunScript(dir, s, "--settings=none --signal-r=sine:600:16000 --signal-l=generator");
  };
  ASSERT_EQ(run("closed", "").status, 0);
  const RunResult open = run("open", "show measurements\n");
  ASSERT_EQ(open.status, 0) << open.err;
  for (const char* file : {"form-%.png", "single-%.png"}) {
    std::string a = file, b = file;
    a.replace(a.find('%'), 1, "closed"), b.replace(b.find('%'), 1, "open");
    EXPECT_TRUE(ReadFile(dir + "/" + a) == ReadFile(dir + "/" + b)) << file;
  }
  const jsonread::Value closed = jsonread::ParseFile(dir + "/form-closed.json");
  const jsonread::Value opened = jsonread::ParseFile(dir + "/form-open.json");
  for (const auto& [key, value] : closed.Members())
    if (key != "measurements") {
      EXPECT_TRUE(value == opened[key]) << key;
    }
  EXPECT_FALSE(closed["measurements"]["window"].Bool());
  EXPECT_TRUE(opened["measurements"]["window"].Bool());
}

TEST(Measuring, ScriptLinesOfTheInstrumentAreCheckedAndNamed) {
  const std::string dir = TempDir();
  ExpectRefused(dir, {
                         {"generator 5", "not a frequency from 10 to 20000 Hz"},
                         {"generator 1000 2", "not a peak from 0 to 1.1 V"},
                         {"calibrate ur", "usage: calibrate"},
                         {"calibrate ur -1", "not a positive number"},
                         {"shunt 0", "not a resistance"},
                         {"show meters", "usage: show measurements"},
                         {"log-measurements x.txt", "must end in .csv"},
                         {"screenshot m.png measurements", "not open"},
                         {"calibrate skew", "týž tón"},
                     });
}

// Circuits on the virtual bench against their theory: the generator's tone
// (0.845 ppm below the setting), 1 V peak, through the device and the 100 ohm
// shunt; the phase of the current is minus the impedance's angle.
TEST(Measuring, ImpedanceAndPhaseOfCircuitsOnTheBenchAreThoseOfTheory) {
  const std::string dir = TempDir();
  struct Case {
    const char* circuit;
    int hz;
    std::complex<double> (*z)(double w);
    double z_tolerance, phase_tolerance_deg;
  } const cases[] = {
      {"dut=R1k", 1000, [](double) { return std::complex<double>(1000, 0); }, 2e-3, 0.05},
      {"dut=C1u", 1000, [](double w) { return 1.0 / std::complex<double>(0, w * 1e-6); }, 2e-3,
       0.1},
      {"dut=R10+L10m+C1u", 1592,
       [](double w) { return std::complex<double>(10, w * 10e-3 - 1 / (w * 1e-6)); }, 2e-3, 0.1},
      {"dut=R1k,noise=-60", 1000, [](double) { return std::complex<double>(1000, 0); }, 2e-3, 0.05},
  };
  for (const Case& c : cases) {
    const RunResult r = RunScript(
        dir, "generator " + std::to_string(c.hz) + " 1\nwait 2.6\ndump " + dir + "/d.json\n",
        std::string("--settings=none --circuit=") + c.circuit);
    ASSERT_EQ(r.status, 0) << r.err;
    const jsonread::Value m = Measurements(dir + "/d.json");
    const double f = c.hz * 3.14159 / std::numbers::pi;
    const std::complex<double> z = c.z(2 * std::numbers::pi * f);
    EXPECT_NEAR(m["impedance"].Number(), std::abs(z), std::abs(z) * c.z_tolerance) << c.circuit;
    EXPECT_NEAR(m["phase"].Number(), -std::arg(z) * 180 / std::numbers::pi, c.phase_tolerance_deg)
        << c.circuit;
    EXPECT_NEAR(m["ur"]["frequency"].Number(), f, f * 1e-5) << c.circuit;
    // UR: the generator's 1 V divided between the device and the shunt.
    const double ur_rms = std::abs(z / (z + 100.0)) / std::sqrt(2.0);
    EXPECT_NEAR(m["ur"]["rms"].Number(), ur_rms, ur_rms * 1e-3) << c.circuit;
  }
  // Channel L 20 us late: 7.2 degrees at 1 kHz, until the lag is calibrated.
  const RunResult r =
      RunScript(dir,
                "generator 1000 1\nwait 2.6\ndump " + dir +
                    "/before.json\ncalibrate skew\nwait 0.5\ndump " + dir + "/after.json\n",
                "--settings=none --circuit=dut=R1k,skew=20u");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NEAR(Measurements(dir + "/before.json")["phase"].Number(), -7.2, 0.05);
  const jsonread::Value after = Measurements(dir + "/after.json");
  EXPECT_NEAR(after["phase"].Number(), 0, 0.05);
  EXPECT_NEAR(after["calibration"]["skew"].Number(), 20e-6, 0.2e-6);
}

// On a display: Ctrl+M and the screen's menu open the window "Měření" beside
// the form; its picture is what the X server shows.
TEST(Measuring, TheWindowOpensFromItsKeyAndTheScreensMenuOnADisplay) {
  testsupport::PrivateDisplay display;
  OSCILOSKOP_NEED_DISPLAY(display);
  const std::string dir = TempDir();
  WriteFile(dir + "/s.txt", "wait 2\ndump " + dir + "/1.json\nwait 3\ndump " + dir +
                                "/2.json\nscreenshot " + dir +
                                "/m.png measurements\nwait 4\n"
                                "hide measurements\nwait 1\ndump " +
                                dir + "/3.json\nwait 3\ndump " + dir + "/4.json\n");
  RunResult window;
  std::thread program([&] {
    window =
        RunProgram(dir, "--settings=none --script='" + dir + "/s.txt' --signal-r=sine:600:16000",
                   "QT_QPA_PLATFORM=xcb DISPLAY=" + display.Name());
  });
  AwaitDump(dir + "/1.json");
  std::string main;
  OnDisplay(display.Name(), "xdotool search --onlyvisible --name '^osciloskop JEN'", &main);
  main = main.substr(0, main.find('\n'));
  OnDisplay(display.Name(), "xdotool windowfocus --sync " + main + " key ctrl+m");
  const jsonread::Value opened = AwaitDump(dir + "/2.json");
  EXPECT_TRUE(opened["measurements"]["window"].Bool());
  EXPECT_NEAR(opened["measurements"]["ur"]["frequency"].Number(), 600, 600 * 1e-7);
  EXPECT_EQ(OnDisplay(display.Name(), "xdotool search --onlyvisible --name '^Měření$'"), 0)
      << "no window Měření";
  AwaitDump(dir + "/3.json");
  OnDisplay(display.Name(), "xdotool windowfocus --sync " + main + " mousemove --window " + main +
                                " 400 300 click 3 && sleep 0.5 && xdotool key Up Return");
  const jsonread::Value reopened = AwaitDump(dir + "/4.json");
  program.join();
  ASSERT_EQ(window.status, 0) << window.err;
  EXPECT_TRUE(reopened["measurements"]["window"].Bool()) << "from the screen's menu";
  const QImage picture(QString::fromStdString(dir + "/m.png"));
  EXPECT_GT(picture.width(), 300);
  EXPECT_GT(picture.height(), 300);
}

}  // namespace
}  // namespace systemtest
