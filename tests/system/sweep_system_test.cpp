// SPDX-License-Identifier: GPL-3.0-or-later
// The built program run headless: the sweep band follows the input on R or
// the time-base list, as its dumps and screenshots show; the range lists
// cannot be reached by a script.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <string>
#include <vector>

#include "platform/toolkit/canvas.h"
#include "system/json_read.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

struct Band {
  double step;
  int samples_per_point;
  int dx;                  // x offset of the major labels
  const char* end_label;
  int ex, end_dy;
};

const Band kBands[7] = {
    {1.0, 6, 48, "100", 35, 3},  {1.0, 3, 48, "50", 40, 5},  {0.83, 1, 48, "20", 40, 3},
    {1.65, 1, 52, "10", 40, 3},  {3.3, 1, 48, " 5", 40, 3},  {8.5, 1, 48, " 2", 40, 3},
    {17.0, 1, 48, "ms 1", 16, 3},
};

// The band of a frequency in automatic mode (intervals closed at the top).
int BandOf(double hz) {
  const double tops[] = {30, 70, 150, 250, 600, 1200};
  for (int b = 1; b <= 6; ++b)
    if (hz <= tops[b - 1]) return b;
  return 7;
}

// The label of major tick 1 of a band.
std::string FirstLabel(int band) {
  const char* labels[] = {"10", "5", "2", "1", "0.5", "0.2", "0.1"};
  return labels[band - 1];
}

// The band whose latch is 1 in a dump; 0 unless exactly one is 1 and the rest 0.
int LatchedBand(const jsonread::Value& state) {
  int band = 0, ones = 0;
  for (int b = 1; b <= 7; ++b) {
    const long long v = state["BandLatch" + std::to_string(b)].Int();
    if (v != 0 && v != 1) return 0;
    if (v == 1) {
      band = b;
      ++ones;
    }
  }
  return ones == 1 ? band : 0;
}

void ExpectBandInDump(const jsonread::Value& dump, int band, const std::string& what) {
  SCOPED_TRACE(what);
  const auto& state = dump["state"];
  EXPECT_EQ(LatchedBand(state), band);
  EXPECT_DOUBLE_EQ(state["SweepStep"].Number(), kBands[band - 1].step);
  EXPECT_EQ(state["SamplesPerPoint"].Int(), kBands[band - 1].samples_per_point);
}

bool SameRgb(std::uint32_t a, std::uint32_t b) { return (a & 0xFFFFFF) == (b & 0xFFFFFF); }

// The screenshot shows the band's time axis: every minor tick below the
// centre line, and the first major label and the end label as the text
// they should be, cell for cell.
void ExpectAxisInShot(const std::string& png, int band) {
  SCOPED_TRACE(png + ", band " + std::to_string(band));
  const QImage shot(QString::fromStdString(png));
  ASSERT_FALSE(shot.isNull()) << "does not read as PNG";
  ASSERT_EQ(shot.width(), 792);
  ASSERT_EQ(shot.height(), 526);
  const int hc = 526 / 2;
  const double unit = (792 - 40) / 200.0;
  for (int i = 1; i <= 99; ++i) {
    const int x = static_cast<int>(std::nearbyint(unit * 2 * i * 0.973 + 55));
    EXPECT_TRUE(SameRgb(shot.pixel(x, hc + 2), 0xFFFFFF)) << "minor tick " << i;
  }
  const Band& b = kBands[band - 1];
  struct Label {
    std::string text;
    int x, y;
  };
  const Label labels[] = {
      {FirstLabel(band), static_cast<int>(std::nearbyint(unit * 2 * 9.73 + b.dx)), hc + 5},
      {b.end_label, static_cast<int>(std::nearbyint(unit * 2 * 97.3 + b.ex)), hc + b.end_dy},
  };
  for (const Label& l : labels) {
    platform::TCanvas ref;
    const platform::TColor ground = platform::RGB(1, 2, 3);
    ref.Resize(100, 40, ground);
    ref.Font.Color = platform::clWhite;
    ref.Brush.Color = platform::clBlack;
    ref.TextOut(0, 0, l.text);
    const int width = ref.PenX();
    int height = 0;
    while (height < 40 && ref.Pixel(0, height) != ground) ++height;
    ASSERT_GT(height, 0);
    int wrong = 0, white = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        wrong += !SameRgb(shot.pixel(l.x + x, l.y + y), ref.PixelRGB(x, y));
        white += SameRgb(shot.pixel(l.x + x, l.y + y), 0xFFFFFF);
      }
    EXPECT_EQ(wrong, 0) << "label '" << l.text << "' at " << l.x << ", " << l.y;
    EXPECT_GT(white, 0) << "label '" << l.text << "'";
  }
}

TEST(SweepSystem, AutomaticBandFollowsTheSignalOnR) {
  struct Case {
    const char* signal;
    double hz;
    int band;
  };
  const Case cases[] = {{"sine:50:16000", 50, 2}, {"sine:600:16000", 600, 5},
                        {"sine:2000:16000", 2000, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.signal);
    const std::string dir = TempDir();
    const RunResult r = RunScript(dir, "wait 1.5\ndump " + dir + "/d.json\nscreenshot " + dir +
                                           "/s.png\n",
                                  std::string("--signal-r=") + c.signal);
    ASSERT_EQ(r.status, 0) << r.err;
    const jsonread::Value d = jsonread::ParseFile(dir + "/d.json");
    const auto& state = d["state"];
    EXPECT_EQ(state["AutoTimeBase"].Int(), 1);
    // The measured value need not be the exact frequency, but it is the
    // one the band was chosen from.
    const double measured = state["FrequencyR"].Number();
    ExpectBandInDump(d, c.band, "dump");
    EXPECT_EQ(BandOf(measured), c.band) << measured << " Hz measured";
    // The readout of R shows the measured frequency.
    const std::string edit8 = d["controls"]["Edit8"]["text"].Str();
    ASSERT_GE(edit8.size(), 3u);
    EXPECT_EQ(edit8.substr(edit8.size() - 3), " Hz") << edit8;
    EXPECT_NEAR(std::atof(edit8.c_str()), measured, 10.0) << edit8;
    ExpectAxisInShot(dir + "/s.png", c.band);
  }
}

TEST(SweepSystem, FixedTimeBasesOverrideTheSignalUntilAutomaticIsChosenAgain) {
  const std::string dir = TempDir();
  std::string script = "wait 1.5\n";
  for (int i = 1; i <= 7; ++i) {
    const std::string n = std::to_string(i);
    script += "select ComboBox1 " + n + "\nwait 0.1\ndump " + dir + "/f" + n + ".json\nscreenshot " +
              dir + "/f" + n + ".png\n";
  }
  script += "select ComboBox1 0\nwait 0.1\ndump " + dir + "/auto.json\n";
  const RunResult r = RunScript(dir, script, "--signal-r=sine:2000:16000");
  ASSERT_EQ(r.status, 0) << r.err;
  for (int i = 1; i <= 7; ++i) {
    const std::string n = std::to_string(i);
    const jsonread::Value d = jsonread::ParseFile(dir + "/f" + n + ".json");
    EXPECT_EQ(d["state"]["AutoTimeBase"].Int(), 0);
    EXPECT_EQ(d["controls"]["ComboBox1"]["itemIndex"].Int(), i);
    ExpectBandInDump(d, i, "ComboBox1 " + n);
    ExpectAxisInShot(dir + "/f" + n + ".png", i);
  }
  const jsonread::Value a = jsonread::ParseFile(dir + "/auto.json");
  EXPECT_EQ(a["state"]["AutoTimeBase"].Int(), 1);
  EXPECT_EQ(a["controls"]["ComboBox1"]["text"].Str(), "automatická");
  ExpectBandInDump(a, 7, "automatic again at 2 kHz");
}

TEST(SweepSystem, TheGeneratorItemTakesTheGeneratorFrequency) {
  const std::string dir = TempDir();
  const RunResult r = RunScript(
      dir, "wait 1.5\nselect ComboBox1 8\nwait 0.1\ndump " + dir + "/g.json\n",
      "--signal-r=sine:2000:16000");
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value d = jsonread::ParseFile(dir + "/g.json");
  EXPECT_EQ(d["state"]["AutoTimeBase"].Int(), 1);
  EXPECT_EQ(d["state"]["FollowGenerator"].Int(), 1);
  EXPECT_DOUBLE_EQ(d["state"]["FrequencyR"].Number(), 100.0);  // the generator at start-up
  ExpectBandInDump(d, 3, "100 Hz from the generator");
}

TEST(SweepSystem, RangeListsCannotBeSelectedByAScript) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {{"select ComboBox2 3", "ComboBox2 is disabled"},
                        {"select ComboBox9 1", "ComboBox9 is disabled"},
                        {"select ComboBox3 2", "ComboBox3 is hidden"},
                        {"select ComboBox5 2", "ComboBox5 is hidden"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const std::string dir = TempDir();
    const RunResult r =
        RunScript(dir, "wait 0.2\n" + std::string(c.line) + "\ndump " + dir + "/after.json\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("script.txt:2: " + std::string(c.message)), std::string::npos) << r.err;
    EXPECT_TRUE(ReadFile(dir + "/after.json").empty()) << "the run went on after the bad line";
  }
  // The lists stay on "automaticky" and both channels on 5 V.
  const std::string dir = TempDir();
  ASSERT_EQ(RunScript(dir, "wait 0.5\ndump " + dir + "/d.json\n").status, 0);
  const jsonread::Value d = jsonread::ParseFile(dir + "/d.json");
  for (const char* list : {"ComboBox2", "ComboBox9"}) {
    EXPECT_FALSE(d["controls"][list]["enabled"].Bool()) << list;
    EXPECT_EQ(d["controls"][list]["itemIndex"].Int(), 0) << list;
  }
  EXPECT_EQ(d["controls"]["Edit2"]["text"].Str(), "+ V");
  EXPECT_EQ(d["controls"]["Edit5"]["text"].Str(), "- V");
  EXPECT_EQ(d["controls"]["Edit18"]["text"].Str(), "+ V");
  EXPECT_EQ(d["controls"]["Edit19"]["text"].Str(), "- V");
  EXPECT_DOUBLE_EQ(d["state"]["RangeStepL"].Number(), 0.5);
  EXPECT_DOUBLE_EQ(d["state"]["RangeGainR"].Number(), 0.02);
}

TEST(SweepSystem, ASweptInputIsFollowedBandByBand) {
  const std::vector<double> sweep = {40, 100, 200, 400, 900, 2000, 2500};
  const std::string dir = TempDir();
  std::string script;
  for (double hz : sweep) {
    const std::string n = std::to_string(static_cast<int>(hz));
    script += "signal r sine:" + n + ":16000\nwait 1.5\ndump " + dir + "/d" + n + ".json\n";
  }
  script += "screenshot " + dir + "/last.png\n";
  const RunResult r = RunScript(dir, script, "--signal-r=sine:40:16000");
  ASSERT_EQ(r.status, 0) << r.err;
  int previous = 0;
  for (double hz : sweep) {
    const std::string n = std::to_string(static_cast<int>(hz));
    const jsonread::Value d = jsonread::ParseFile(dir + "/d" + n + ".json");
    const int band = BandOf(hz);
    ExpectBandInDump(d, band, n + " Hz");
    EXPECT_EQ(BandOf(d["state"]["FrequencyR"].Number()), band) << n << " Hz";
    EXPECT_GE(band, previous) << "the sweep rises";
    previous = band;
  }
  EXPECT_EQ(previous, 7);
  ExpectAxisInShot(dir + "/last.png", 7);
}

}  // namespace
}  // namespace systemtest
