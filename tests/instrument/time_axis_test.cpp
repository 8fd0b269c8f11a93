// SPDX-License-Identifier: GPL-3.0-or-later
// Pixels of the time axis of each band and of the two amplitude scales,
// expected positions computed from the drawing formulas.
#include <gtest/gtest.h>

#include <clocale>
#include <set>
#include <string>
#include <vector>

#include "form_fixture.h"
#include "support/required.h"

namespace osciloskop {
namespace {

using platform::TColor;
using testing::FormTest;

constexpr TColor kGround = platform::RGB(40, 40, 40);  // prefill, to see opaque cells
constexpr TColor kWhite = platform::clWhite;
constexpr TColor kYellow = platform::clYellow;
constexpr TColor kBlack = platform::clBlack;

// One text cell as the canvas draws it (the glyphs themselves come from the
// font, so a reference rendering of the expected text is the oracle).
struct Cell {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  int ink = 0;  // pixels of exactly the font colour
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

Cell Render(const std::string& text, TColor colour) {
  platform::TCanvas c;
  c.Resize(200, 40, kGround);
  c.Font.Color = colour;
  c.Brush.Color = kBlack;
  c.TextOut(0, 0, text);
  Cell cell;
  cell.width = c.PenX();
  while (cell.height < 40 && c.Pixel(0, cell.height) != kGround) ++cell.height;
  for (int y = 0; y < cell.height; ++y)
    for (int x = 0; x < cell.width; ++x) {
      cell.pixels.push_back(c.PixelRGB(x, y));
      cell.ink += c.Pixel(x, y) == colour;
    }
  return cell;
}

// Whole tenths as "d.d", without relying on any number formatting.
std::string Tenths(int tenths) {
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string RightAligned3(std::string s) {
  while (s.size() < 3) s.insert(s.begin(), ' ');
  return s;
}

struct AxisRow {
  int band;
  std::vector<std::string> labels;  // k = 1..9
  int dx;
  std::string end_label;
  int ex;
  int end_dy;
};

std::vector<AxisRow> AxisRows() {
  std::vector<AxisRow> rows;
  auto labels = [](auto f) {
    std::vector<std::string> v;
    for (int k = 1; k <= 9; ++k) v.push_back(f(k));
    return v;
  };
  rows.push_back({1, labels([](int k) { return std::to_string(10 * k); }), 48, "100", 35, 3});
  rows.push_back({2, labels([](int k) { return std::to_string(5 * k); }), 48, "50", 40, 5});
  rows.push_back({3, labels([](int k) { return std::to_string(2 * k); }), 48, "20", 40, 3});
  rows.push_back({4, labels([](int k) { return std::to_string(k); }), 52, "10", 40, 3});
  rows.push_back({5, labels([](int k) { return Tenths(5 * k); }), 48, " 5", 40, 3});
  rows.push_back({6, labels([](int k) { return Tenths(2 * k); }), 48, " 2", 40, 3});
  rows.push_back({7, labels([](int k) { return Tenths(k); }), 48, "ms 1", 16, 3});
  return rows;
}

class TimeAxisTest : public FormTest {
 protected:
  TColor Px(int x, int y) const { return form->Canvas.Pixel(x, y); }
  int Hc() const { return form->ClientHeight() / 2; }
  double Unit() const { return (form->ClientWidth() - 40) / 200.0; }
  int MinorX(int i) const { return nearest(Unit() * 2 * i * 0.973 + 55); }
  int MajorX(int k) const { return nearest(Unit() * 2 * k * 9.73 + 55); }

  void RunAxis(int band) {
    switch (band) {
      case 1: form->DrawTimeAxis100ms(); break;
      case 2: form->DrawTimeAxis50ms(); break;
      case 3: form->DrawTimeAxis20ms(); break;
      case 4: form->DrawTimeAxis10ms(); break;
      case 5: form->DrawTimeAxis5ms(); break;
      case 6: form->DrawTimeAxis2ms(); break;
      case 7: form->DrawTimeAxis1ms(); break;
    }
  }

  // The cell of `text` lies exactly at (x, y); columns from `clip` on are
  // not compared (drawn over later on purpose).
  void ExpectCell(int x, int y, const std::string& text, TColor colour, int clip = 1 << 20) {
    SCOPED_TRACE("'" + text + "' at (" + std::to_string(x) + ", " + std::to_string(y) + ")");
    const Cell cell = Render(text, colour);
    ASSERT_GT(cell.ink, 0) << "the reference rendering has no ink";
    int wrong = 0, ink = 0;
    for (int cy = 0; cy < cell.height; ++cy)
      for (int cx = 0; cx < cell.width && x + cx < clip; ++cx) {
        wrong += form->Canvas.PixelRGB(x + cx, y + cy) != cell.At(cx, cy);
        ink += Px(x + cx, y + cy) == colour;
      }
    EXPECT_EQ(wrong, 0) << "pixels of the cell differ from the text";
    EXPECT_GT(ink, 0) << "no text pixels in the cell";
  }

  // Nothing of a cell outside it: the column left of it and the row above
  // it keep the ground, except at the columns in `skip`.
  void ExpectNothingLeftOrAbove(int x, int y, const std::string& text,
                                const std::set<int>& skip = {}) {
    SCOPED_TRACE("around '" + text + "'");
    const Cell cell = Render(text, kWhite);
    for (int cy = 0; cy < cell.height; ++cy) {
      EXPECT_EQ(Px(x - 1, y + cy), kGround) << "row " << y + cy;
    }
    for (int cx = -1; cx <= cell.width; ++cx) {
      if (!skip.count(x + cx)) {
        EXPECT_EQ(Px(x + cx, y - 1), kGround) << "column " << x + cx;
      }
    }
  }

  void CheckAxis(const AxisRow& row) {
    SCOPED_TRACE("band " + std::to_string(row.band) + " at width " +
                 std::to_string(form->ClientWidth()));
    form->DrawGraticule();  // GridUnit for this width
    ASSERT_DOUBLE_EQ(form->GridUnit, Unit());
    form->Canvas.FillAll(kGround);
    RunAxis(row.band);
    const int hc = Hc();

    std::set<int> majors, minors;
    for (int k = 1; k <= 9; ++k) majors.insert(MajorX(k));
    for (int i = 1; i <= 99; ++i) minors.insert(MinorX(i));

    // The end label's cell, which may start right below the minor ticks.
    const int ex = nearest(Unit() * 2 * 97.3 + row.ex);
    const int end_width = Render(row.end_label, kWhite).width;
    auto under_end_label = [&](int x, int y) {
      return y >= hc + row.end_dy && x >= ex && x < ex + end_width;
    };

    // Minor ticks: from Hc + 2 up to Hc - 2, that end pixel excluded.
    for (int i = 1; i <= 99; ++i) {
      const int x = MinorX(i);
      for (int y = hc - 1; y <= hc + 2; ++y) EXPECT_EQ(Px(x, y), kWhite) << "minor " << i << " y " << y;
      if (!majors.count(x)) {
        EXPECT_EQ(Px(x, hc - 2), kGround) << "minor " << i << " too long upwards";
        if (!under_end_label(x, hc + 3)) {
          EXPECT_EQ(Px(x, hc + 3), kGround) << "minor " << i << " too long downwards";
        }
      }
    }
    // Major ticks: Hc + 3 up to Hc - 2.
    for (int k = 1; k <= 9; ++k) {
      const int x = MajorX(k);
      for (int y = hc - 2; y <= hc + 3; ++y) EXPECT_EQ(Px(x, y), kWhite) << "major " << k << " y " << y;
      EXPECT_EQ(Px(x, hc - 3), kGround) << "major " << k;
      EXPECT_EQ(Px(x, hc + 4), kGround) << "major " << k;
    }
    // No tick at the tenth division.
    for (int y = hc - 3; y <= hc + 2; ++y) EXPECT_EQ(Px(MajorX(10), y), kGround) << "tenth, y " << y;
    // Between the ticks the centre row stays untouched.
    for (int x = 56; x < form->ClientWidth(); ++x)
      if (!minors.count(x) && !majors.count(x)) {
        EXPECT_EQ(Px(x, hc), kGround) << "x " << x;
      }

    for (int k = 1; k <= 9; ++k) {
      const int x = nearest(Unit() * 2 * k * 9.73 + row.dx);
      ExpectCell(x, hc + 5, row.labels[static_cast<std::size_t>(k - 1)], kWhite);
      ExpectNothingLeftOrAbove(x, hc + 5, row.labels[static_cast<std::size_t>(k - 1)]);
    }
    ExpectCell(ex, hc + row.end_dy, row.end_label, kWhite);
    std::set<int> ticks = minors;
    ticks.insert(majors.begin(), majors.end());
    ExpectNothingLeftOrAbove(ex, hc + row.end_dy, row.end_label, ticks);
  }
};

TEST_F(TimeAxisTest, EveryBandDrawsItsTicksAndLabelsAtTheStandardSize) {
  ASSERT_EQ(form->ClientWidth(), 792);
  ASSERT_EQ(form->ClientHeight(), 526);
  for (const AxisRow& row : AxisRows()) CheckAxis(row);
}

TEST_F(TimeAxisTest, BandQuirksLieWhereTheyShould) {
  const int hc = Hc();
  form->DrawGraticule();
  // Band 7: "ms 1" at nearest(GridUnit × 194.6 + 16), 748 at 792 px.
  form->Canvas.FillAll(kGround);
  form->DrawTimeAxis1ms();
  const int ms1 = nearest(Unit() * 194.6 + 16);
  EXPECT_EQ(ms1, 748);
  ExpectCell(ms1, hc + 3, "ms 1", kWhite);

  // Band 4: its labels 4 px right of those of band 3, nothing at the usual place.
  form->Canvas.FillAll(kGround);
  form->DrawTimeAxis10ms();
  for (int k = 1; k <= 9; ++k) {
    const int usual = nearest(Unit() * 2 * k * 9.73 + 48);
    ExpectCell(usual + 4, hc + 5, std::to_string(k), kWhite);
    for (int y = hc + 5; y < hc + 10; ++y) EXPECT_EQ(Px(usual, y), kGround) << "k " << k;
  }
  // Band 2: the end label two rows below where the other bands put theirs.
  form->Canvas.FillAll(kGround);
  form->DrawTimeAxis50ms();
  const int ex = nearest(Unit() * 2 * 97.3 + 40);
  ExpectCell(ex, hc + 5, "50", kWhite);
  EXPECT_EQ(Px(ex - 1, hc + 3), kGround);
  EXPECT_EQ(Px(ex + 3, hc + 4), kGround);
}

TEST_F(TimeAxisTest, LabelsAreOpaqueAndBlotOutWhatLiesBeneath) {
  form->DrawGraticule();
  const int hc = Hc();
  // Paint the whole label strip red; a label must cover its cell in black.
  form->Canvas.Pen.Color = platform::RGB(255, 0, 0);
  for (int y = hc + 3; y < hc + 20; ++y) {
    form->Canvas.MoveTo(0, y);
    form->Canvas.LineTo(form->ClientWidth(), y);
  }
  form->DrawTimeAxis20ms();
  for (int k = 1; k <= 9; ++k)
    ExpectCell(nearest(Unit() * 2 * k * 9.73 + 48), hc + 5, std::to_string(2 * k), kWhite);
  ExpectCell(nearest(Unit() * 2 * 97.3 + 40), hc + 3, "20", kWhite);
}

TEST_F(TimeAxisTest, TheAxisScalesWithGridUnitAtAnotherWidth) {
  form->SetClientSize(1000, 600);
  ASSERT_EQ(form->ClientWidth(), 1000);
  ASSERT_EQ(form->Canvas.Width(), 1000);
  const double step = form->SweepStep;
  CheckAxis(AxisRows()[2]);
  CheckAxis(AxisRows()[6]);
  EXPECT_DOUBLE_EQ(form->GridUnit, 4.8);
  EXPECT_EQ(form->SweepStep, step) << "the sweep does not scale with the grid";
  // An odd width: (W - 40) / 200 is not a short decimal.
  form->SetClientSize(857, 433);
  CheckAxis(AxisRows()[4]);
}

TEST_F(TimeAxisTest, DecimalLabelsKeepThePointUnderACommaLocale) {
  // The toolkit takes the process locale from the environment; a Czech
  // desktop must still read "0.5", not "0,5".
  std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  bool comma = false;
  for (const char* name : {"cs_CZ.UTF-8", "cs_CZ.utf8", "de_DE.UTF-8", "fr_FR.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name) && std::localeconv()->decimal_point[0] == ',') {
      comma = true;
      break;
    }
  if (!comma) {
    std::setlocale(LC_NUMERIC, previous.c_str());
    OSCILOSKOP_SKIP_UNLESS_REQUIRED("OSCILOSKOP_REQUIRE_LOCALE",
                                    "no locale with a decimal comma is installed (scripts/setup "
                                    "generates cs_CZ.UTF-8)");
  }
  CheckAxis(AxisRows()[4]);
  form->RangeStepL = 0.5;
  form->RangeStepR = 0.2;
  form->Canvas.FillAll(kBlack);
  form->DrawAxes();
  ExpectCell(34, Hc() - 20 - 7, "0.5", kYellow);
  ExpectCell(0, Hc() - 40 - 7, "0.4", kWhite, 24);
  std::setlocale(LC_NUMERIC, previous.c_str());
}

class AmplitudeScaleTest : public TimeAxisTest {
 protected:
  void DrawScales(double stepL, double stepR) {
    form->RangeStepL = stepL;
    form->RangeStepR = stepR;
    form->AutoTimeBase = 1;
    form->FrequencyR = 100.0;
    form->Canvas.FillAll(kBlack);
    form->EdgeIndexL = 7;
    form->DrawAxes();
    EXPECT_EQ(form->EdgeIndexL, 0);
  }
  // k × step in three characters, no decimals from 1.0 on.
  static std::string ScaleText(int k, int step_tenths) {
    const int tenths = k * step_tenths;
    return step_tenths >= 10 ? RightAligned3(std::to_string(tenths / 10)) : Tenths(tenths);
  }
  void CheckColumns(int stepL_tenths, int stepR_tenths) {
    const int hc = Hc();
    for (int k = 0; k <= 10; ++k)
      for (int y : {hc - 20 * k, hc + 20 * k}) {
        SCOPED_TRACE("k " + std::to_string(k) + " y " + std::to_string(y));
        // R ticks at x = 24..26, in the still yellow pen.
        for (int x = 24; x <= 26; ++x) EXPECT_EQ(Px(x, y), kYellow) << "R tick x " << x;
        EXPECT_NE(Px(23, y), kYellow);
        // L ticks at x = 29..31 from k = 1 on; nothing at 32 and 33.
        for (int x = 29; x <= 31; ++x) EXPECT_EQ(Px(x, y), k == 0 ? kBlack : kYellow) << "L x " << x;
        EXPECT_EQ(Px(32, y), kBlack);
        EXPECT_EQ(Px(33, y), kBlack);
        // R values in white from x = 0, cut by the ticks at 24.
        ExpectCell(0, y - 7, ScaleText(k, stepR_tenths), kWhite, 24);
        if (k > 0) ExpectCell(34, y - 7, ScaleText(k, stepL_tenths), kYellow);
      }
    ExpectCell(34, hc - 7, "ms", kWhite);
    // White minor ticks at x = 27..28 every 4 px over ±220, nothing beyond.
    for (int k = 0; k <= 55; ++k)
      for (int y : {hc - 4 * k, hc + 4 * k}) {
        EXPECT_EQ(Px(27, y), kWhite) << "minor y " << y;
        EXPECT_EQ(Px(28, y), kWhite) << "minor y " << y;
        if ((4 * k) % 20 != 0) {
          EXPECT_EQ(Px(26, y), kBlack) << "y " << y;
          EXPECT_EQ(Px(29, y), kBlack) << "y " << y;
        }
        EXPECT_EQ(Px(27, y + 1), kBlack);
        EXPECT_EQ(Px(27, y - 1), kBlack);
      }
    EXPECT_EQ(Px(27, hc - 224), kBlack);
    EXPECT_EQ(Px(27, hc + 224), kBlack);
  }
};

TEST_F(AmplitudeScaleTest, WholeStepsLabelBothColumnsWithIntegers) {
  DrawScales(10.0, 5.0);
  CheckColumns(100, 50);
  DrawScales(1.0, 2.0);  // exactly 1.0 is still a whole step
  CheckColumns(10, 20);
  // The band's time axis is drawn as well.
  EXPECT_EQ(Px(MinorX(1), Hc() + 2), kWhite);
}

TEST_F(AmplitudeScaleTest, StepsBelowOneVoltCarryOneDecimal) {
  DrawScales(0.5, 0.5);  // the automatic 5 V range
  CheckColumns(5, 5);
  DrawScales(0.1, 50.0);
  CheckColumns(1, 500);
}

TEST_F(AmplitudeScaleTest, DrawAxesRedrawsTheGraticuleOnlyWhileEnabled) {
  const TColor grey = platform::RGB(75, 75, 75);
  const int y = Hc() - 20;
  DrawScales(10.0, 10.0);
  EXPECT_EQ(Px(300, y), grey);
  form->GridEnabled = 0;
  DrawScales(10.0, 10.0);
  EXPECT_EQ(Px(300, y), kBlack);
}

}  // namespace
}  // namespace osciloskop
