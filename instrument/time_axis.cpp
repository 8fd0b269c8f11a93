// SPDX-License-Identifier: GPL-3.0-or-later
// The seven sweep bands, the time axis and the amplitude scales.
#include <array>
#include <charconv>
#include <string>

#include "instrument/Form1.h"
#include "instrument/screen_layout.h"

namespace osciloskop {

namespace {

struct Band {
  double max_frequency;  // upper end of the automatic interval (inclusive)
  double sweep_step;
  std::int32_t samples_per_point;
};

constexpr std::array<Band, 7> kBands = {{
    {30, 1.0, 6},
    {70, 1.0, 3},
    {150, 0.83, 1},
    {250, 1.65, 1},
    {600, 3.3, 1},
    {1200, 8.5, 1},
    {0, 17.0, 1},  // everything above 1200 Hz
}};

// The labels of one band's time axis.
struct AxisLabels {
  int integer_step;    // major label k * step as an integer, or 0
  double decimal_step; // else k * step with one decimal
  int label_dx;
  const char* end_label;
  int end_dx;
  int end_dy;
};

constexpr std::array<AxisLabels, 7> kAxisLabels = {{
    {10, 0, 48, "100", 35, 3},
    {5, 0, 48, "50", 40, 5},
    {2, 0, 48, "20", 40, 3},
    {1, 0, 52, "10", 40, 3},
    {0, 0.5, 48, " 5", 40, 3},
    {0, 0.2, 48, " 2", 40, 3},
    {0, 0.1, 48, "ms 1", 16, 3},
}};

std::int32_t& BandLatch(TForm1& f, int band) {
  std::int32_t* latches[] = {&f.BandLatch1, &f.BandLatch2, &f.BandLatch3, &f.BandLatch4,
                             &f.BandLatch5, &f.BandLatch6, &f.BandLatch7};
  return *latches[band - 1];
}

// The band of this update: from FrequencyR, or the fixed time base; 0 for none.
int ChooseBand(const TForm1& f) {
  if (f.AutoTimeBase == 1) {
    for (int b = 1; b <= 6; ++b)
      if (f.FrequencyR <= kBands[b - 1].max_frequency) return b;
    return 7;
  }
  const int index = f.ComboBox1->ItemIndex();
  return index >= 1 && index <= 7 ? index : 0;
}

// x with that many decimals, padded on the left to `width`. Always with a
// point: the process locale (set from the environment by the toolkit) must
// not turn the labels into "0,5".
std::string Fixed(double x, int decimals, int width) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
  std::string s(buf, r.ptr);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
  return s;
}

void DrawTimeAxis(TForm1& f, const AxisLabels& labels) {
  auto& c = f.Canvas;
  const int Hc = f.ClientHeight() / 2;
  const double unit = f.GridUnit;
  c.Pen.Color = platform::clWhite;
  c.Pen.Width = 1;
  c.Font.Color = platform::clWhite;
  for (int i = 1; i <= kMinorTicks; ++i) {
    const int x = nearest(unit * 2 * i * kMinorTickUnits + kScreenLeft);
    c.MoveTo(x, Hc + kMinorTickHalf);
    c.LineTo(x, Hc - kMinorTickHalf);
  }
  // Labels on the inner divisions only; the end label is drawn again with each.
  for (int k = 1; k <= kDivisions - 1; ++k) {
    const int x = nearest(unit * 2 * k * kDivisionUnits + kScreenLeft);
    c.MoveTo(x, Hc + kMajorTickHalf);
    c.LineTo(x, Hc - kMajorTickHalf);
    c.Pen.Width = 1;
    const std::string text = labels.integer_step != 0
                                 ? Fixed(labels.integer_step * k, 0, 0)
                                 : Fixed(k * labels.decimal_step, 1, 0);
    c.TextOut(nearest(unit * 2 * k * kDivisionUnits + labels.label_dx), Hc + kTimeLabelDrop, text);
    c.TextOut(nearest(unit * 2 * kAxisEndUnits + labels.end_dx), Hc + labels.end_dy,
              labels.end_label);
  }
}

void RunTimeAxis(TForm1& f, int band) {
  switch (band) {
    case 1: f.DrawTimeAxis100ms(); break;
    case 2: f.DrawTimeAxis50ms(); break;
    case 3: f.DrawTimeAxis20ms(); break;
    case 4: f.DrawTimeAxis10ms(); break;
    case 5: f.DrawTimeAxis5ms(); break;
    case 6: f.DrawTimeAxis2ms(); break;
    case 7: f.DrawTimeAxis1ms(); break;
    default: break;
  }
}

// k * step right-aligned in three characters, one decimal below 1.0.
std::string ScaleText(int k, double step) { return Fixed(k * step, step >= 1.0 ? 0 : 1, 3); }

// One amplitude scale: a mark and its value on each row of the grid from
// row `first` on, above and below the centre line.
void DrawScale(platform::TCanvas& c, int Hc, double step, int first, int mark_x, int text_x) {
  for (int k = first; k <= kScaleRows; ++k) {
    const std::string text = ScaleText(k, step);
    c.MoveTo(mark_x, Hc - kRowPitch * k);
    c.LineTo(mark_x + kScaleMarkLength, Hc - kRowPitch * k);
    c.TextOut(text_x, Hc - kRowPitch * k - kTextRaise, text);
    c.MoveTo(mark_x, Hc + kRowPitch * k);
    c.LineTo(mark_x + kScaleMarkLength, Hc + kRowPitch * k);
    c.TextOut(text_x, Hc + kRowPitch * k - kTextRaise, text);
  }
}

}  // namespace

void TForm1::DrawTimeAxis100ms() { DrawTimeAxis(*this, kAxisLabels[0]); }
void TForm1::DrawTimeAxis50ms() { DrawTimeAxis(*this, kAxisLabels[1]); }
void TForm1::DrawTimeAxis20ms() { DrawTimeAxis(*this, kAxisLabels[2]); }
void TForm1::DrawTimeAxis10ms() { DrawTimeAxis(*this, kAxisLabels[3]); }
void TForm1::DrawTimeAxis5ms() { DrawTimeAxis(*this, kAxisLabels[4]); }
void TForm1::DrawTimeAxis2ms() { DrawTimeAxis(*this, kAxisLabels[5]); }
void TForm1::DrawTimeAxis1ms() { DrawTimeAxis(*this, kAxisLabels[6]); }

void TForm1::SelectSweepBandR() {
  const int b = ChooseBand(*this);
  if (b == 0) return;
  if (BandLatch(*this, b) == 1) return;
  SweepStep = kBands[b - 1].sweep_step;
  SamplesPerPoint = kBands[b - 1].samples_per_point;
  Refresh();
  RunTimeAxis(*this, b);
  for (int i = 1; i <= 7; ++i) BandLatch(*this, i) = i == b ? 1 : 0;
}

void TForm1::DrawAxes() {
  if (GridEnabled == 1) DrawGraticule();
  RunTimeAxis(*this, ChooseBand(*this));
  EdgeIndexL = 0;
  auto& c = Canvas;
  const int Hc = ClientHeight() / 2;
  c.Pen.Width = 1;
  c.Pen.Color = platform::clYellow;
  c.Font.Color = platform::clYellow;
  // L's scale has no zero row: the time unit stands there instead.
  DrawScale(c, Hc, RangeStepL, 1, kScaleMarkL, kScaleTextL);
  c.Font.Color = platform::clWhite;
  c.TextOut(kScaleTextL, Hc - kTextRaise, "ms");
  DrawScale(c, Hc, RangeStepR, 0, kScaleMarkR, kScaleTextR);
  c.Pen.Color = platform::clWhite;
  for (int k = 0; k <= kGridHalfHeight / kFineTickPitch; ++k) {
    c.MoveTo(kFineTickLeft, Hc - kFineTickPitch * k);
    c.LineTo(kFineTickRight, Hc - kFineTickPitch * k);
    c.MoveTo(kFineTickLeft, Hc + kFineTickPitch * k);
    c.LineTo(kFineTickRight, Hc + kFineTickPitch * k);
  }
}

}  // namespace osciloskop
