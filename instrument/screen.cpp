// SPDX-License-Identifier: GPL-3.0-or-later
// The oscilloscope screen: graticule, centre line and the two traces.
#include <algorithm>
#include <array>

#include "instrument/Form1.h"
#include "instrument/sample_access.h"
#include "instrument/screen_layout.h"

namespace osciloskop {

using platform::RGB;

namespace {

constexpr long kTracePoints = 1000;

struct TracePoint {
  int xR, xL, newL, newR, oldL, oldR;
};

// nearest() for pixel coordinates: adding and removing 1.5 * 2^52 rounds
// to an integer in the current (to-nearest, halves-to-even) mode, as
// nearbyint does, without a library call; larger values take nearest().
inline int Nearest(double x) {
  constexpr double kShift = 6755399441055744.0;
  if (x > -1073741824.0 && x < 1073741824.0) return static_cast<int>((x + kShift) - kShift);
  return nearest(x);
}

// A positive s becomes -min(s, limit), anything else 0: -clamp(s, 0, limit).
// In blocks of 8, which the compiler turns into vector instructions.
void KeepPositiveHalfWaves(std::int32_t* s, long n, std::int32_t limit) {
  long i = 0;
  for (; i + 8 <= n; i += 8)
    for (int k = 0; k < 8; ++k) s[i + k] = -std::clamp(s[i + k], 0, limit);
  for (; i < n; ++i) s[i] = -std::clamp(s[i], 0, limit);
}

}  // namespace

void TForm1::DrawGraticule() {
  if (GridEnabled == 0) return;
  auto& c = Canvas;
  const int g = GridBrightness & 0xFF;
  c.Pen.Color = RGB(g, g, g);
  c.Pen.Width = 1;
  const int W = ClientWidth();
  const int Hc = ClientHeight() / 2;
  GridUnit = (W - kGridUnitMargin) / kGridUnitsAcross;
  const int last_x = nearest(GridUnit * 2 * kDivisions * kDivisionUnits + kScreenLeft);
  const GraticuleMark mark{c.Generation(), W, ClientHeight(), g};
  const GraticuleMark& was = LastGraticule;
  if (mark.generation == was.generation && W == was.width && mark.height == was.height &&
      g == was.grey) {
    c.MoveTo(last_x, Hc - kGridHalfHeight);  // where the pen would end
    return;
  }
  for (int k = 1; k <= kGridRows; ++k) {
    c.MoveTo(kGridLeft, Hc - kRowPitch * k);
    c.LineTo(W - kGridRightMargin, Hc - kRowPitch * k);
  }
  for (int k = 1; k <= kGridRows; ++k) {
    c.MoveTo(kGridLeft, Hc + kRowPitch * k);
    c.LineTo(W - kGridRightMargin, Hc + kRowPitch * k);
  }
  // Each vertical line leaves a gap around the centre line for the time labels.
  for (int k = 1; k <= kDivisions; ++k) {
    const int x = nearest(GridUnit * 2 * k * kDivisionUnits + kScreenLeft);
    c.MoveTo(x, Hc + kGridHalfHeight);
    c.LineTo(x, Hc + kLabelGapBelow);
    c.MoveTo(x, Hc - kLabelGapAbove);
    c.LineTo(x, Hc - kGridHalfHeight);
  }
  LastGraticule = {c.Generation(), W, mark.height, g};
}

void TForm1::RedrawScreen() {
  ComboBox4->SetItemIndex(2);
  if (ComboBox5->ItemIndex() < 10) {
    MeasureChannelL();
    ApplyRangeL();
    ShowFrequencyL();
  }
  if (ComboBox3->ItemIndex() < 10) {
    MeasureChannelR();
    ApplyRangeR();
    // The trigger search below rewrites EnvelopeR from the first negative
    // sample on, or all that the frequency pass writes where there is none.
    const std::int32_t last = LastIndex(SampleCount);
    std::int32_t negative = 1;
    while (negative <= last && SamplesR[static_cast<std::size_t>(negative)] >= 0) ++negative;
    EnvelopeRRewrittenFrom = negative <= last ? negative : 0;
    ShowFrequencyR();
    EnvelopeRRewrittenFrom = kSampleArraySize;
  }
  TriggerLevel = 0.0;
  SelectSweepBandR();
  DrawAxes();
  FindTriggerR();

  // Keep only the positive half-waves, drawn upwards and limited in height.
  const std::int32_t last = LastIndex(SampleCount);
  const long from = EdgeIndexR + 1;
  if (from <= last) {
    KeepPositiveHalfWaves(SamplesL.data() + from, last - from + 1, 10000);
    KeepPositiveHalfWaves(SamplesR.data() + from, last - from + 1, 10100);
  }

  auto& c = Canvas;
  const int W = ClientWidth();
  const int H = ClientHeight();
  const int Hc = H / 2;
  const double half = H / 2.0;
  c.Pen.Color = platform::clWhite;
  c.Pen.Width = 1;
  c.MoveTo(kScreenLeft, Hc);
  c.LineTo(W - kCentreLineRightMargin, Hc);

  c.Pen.Width = TraceWidth;
  const double gainL = TraceGainL * RangeGainL;
  const double gainR = TraceGainR * RangeGainR;
  const long spp = SamplesPerPoint;
  // Every point once: x of both traces, y of the new and the previous ones.
  // Index j = 1..1000.
  std::array<TracePoint, kTracePoints + 1> pt;
  auto point = [&](long j) -> TracePoint& {
    TracePoint& q = pt[static_cast<std::size_t>(j)];
    q.xR = Nearest((j - 1) * SweepStep + kScreenLeft);
    q.xL = Nearest((j - TraceShift) * SweepStep + kScreenLeft);
    q.newL = Nearest(half + At(SamplesL, TraceStartR + j * spp) * gainL);
    q.newR = Nearest(half + At(SamplesR, TraceStartR + j * spp) * gainR);
    // Erased about H / 2, where the traces were drawn: about Hc = H div 2
    // the erasing would miss them by a row here and there at odd heights
    // and leave their pixels on the screen.
    q.oldL = Nearest(half + At(PrevTraceL, j * spp) * gainL);
    q.oldR = Nearest(half + At(PrevTraceR, j * spp) * gainR);
    return q;
  };
  // Once both traces' x lie right of the image, every later segment does
  // too: the points stop there (and the last one, for the pen).
  long last_point = kTracePoints;
  for (long j = 1; j <= kTracePoints; ++j) {
    const TracePoint& q = point(j);
    if (SweepStep > 0 && std::min(q.xR, q.xL) >= W && j < kTracePoints) {
      last_point = j;
      point(kTracePoints);
      break;
    }
  }
  // A segment whose ends both lie left or right of the client area has no
  // pixel in it (a wide pen reaches one column further right), so it is
  // left out; the canvas would discard all of it.
  auto hidden = [W](int x0, int x1) { return (x0 >= W && x1 >= W) || (x0 < -1 && x1 < -1); };
  auto segment = [&](int x0, int y0, int x1, int y1) {
    if (hidden(x0, x1)) return;
    c.MoveTo(x0, y0);
    c.LineTo(x1, y1);
  };
  // Erasing and drawing alternate segment by segment.
  for (std::size_t p = 2; p <= static_cast<std::size_t>(last_point); ++p) {
    const TracePoint& a = pt[p - 1];
    const TracePoint& b = pt[p];
    c.Pen.Color = platform::clBlack;
    segment(a.xR, a.oldR, b.xR, b.oldR);
    segment(a.xL, a.oldL, b.xL, b.oldL);
    c.Pen.Color = platform::clYellow;
    segment(a.xL, a.newL, b.xL, b.newL);
    c.Pen.Color = platform::clAqua;
    segment(a.xR, a.newR, b.xR, b.newR);
  }
  // The pen ends where the last segment ends, drawn or not.
  c.MoveTo(pt[kTracePoints].xR, pt[kTracePoints].newR);

  // The entries from the trigger point on, for the next update's erasing.
  const long copy_last = std::min<long>(SampleCount, kSampleArraySize - 1);
  const long inside = std::min<long>(copy_last, kSampleArraySize - 1 - TraceStartR);
  if (inside >= 1) {
    std::copy_n(SamplesL.begin() + TraceStartR + 1, inside, PrevTraceL.begin() + 1);
    std::copy_n(SamplesR.begin() + TraceStartR + 1, inside, PrevTraceR.begin() + 1);
  }
  // Entries past the arrays read as 0.
  const long zero_from = std::max(inside + 1, 1L);
  if (zero_from <= copy_last) {
    std::fill(PrevTraceL.begin() + zero_from, PrevTraceL.begin() + copy_last + 1, 0);
    std::fill(PrevTraceR.begin() + zero_from, PrevTraceR.begin() + copy_last + 1, 0);
  }
  c.Pen.Width = 1;
}

}  // namespace osciloskop
