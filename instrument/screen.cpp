// The oscilloscope screen: graticule, centre line and the two traces.
#include <algorithm>

#include "instrument/Form1.h"
#include "instrument/sample_access.h"

namespace osciloskop {

using platform::RGB;

void TForm1::DrawGraticule() {
  if (GridEnabled == 0) return;
  auto& c = Canvas;
  const int g = GridBrightness & 0xFF;
  c.Pen.Color = RGB(g, g, g);
  c.Pen.Width = 1;
  const int W = ClientWidth();
  const int Hc = ClientHeight() / 2;
  GridUnit = (W - 40) / 200.0;
  for (int k = 1; k <= 11; ++k) {
    c.MoveTo(56, Hc - 20 * k);
    c.LineTo(W - 10, Hc - 20 * k);
  }
  for (int k = 1; k <= 11; ++k) {
    c.MoveTo(56, Hc + 20 * k);
    c.LineTo(W - 10, Hc + 20 * k);
  }
  // Each vertical line leaves a gap around the centre line for the time labels.
  for (int k = 1; k <= 10; ++k) {
    const int x = nearest(GridUnit * 2 * k * 9.73 + 55);
    c.MoveTo(x, Hc + 220);
    c.LineTo(x, Hc + 20);
    c.MoveTo(x, Hc - 5);
    c.LineTo(x, Hc - 220);
  }
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
    ShowFrequencyR();
  }
  TriggerLevel = 0.0;
  SelectSweepBandR();
  DrawAxes();
  FindTriggerR();

  // Keep only the positive half-waves, drawn upwards and limited in height.
  const std::int32_t last = LastIndex(SampleCount);
  for (std::int32_t i = EdgeIndexR + 1; i <= last; ++i) {
    const auto k = static_cast<std::size_t>(i);
    SamplesL[k] = SamplesL[k] > 0 ? -std::min(SamplesL[k], 10000) : 0;
    SamplesR[k] = SamplesR[k] > 0 ? -std::min(SamplesR[k], 10100) : 0;
  }

  auto& c = Canvas;
  const int W = ClientWidth();
  const int H = ClientHeight();
  const int Hc = H / 2;
  const double half = H / 2.0;
  c.Pen.Color = platform::clWhite;
  c.Pen.Width = 1;
  c.MoveTo(55, Hc);
  c.LineTo(W - 5, Hc);

  c.Pen.Width = TraceWidth;
  const double gainL = TraceGainL * RangeGainL;
  const double gainR = TraceGainR * RangeGainR;
  const long spp = SamplesPerPoint;
  auto xR = [&](long j) { return nearest((j - 1) * SweepStep + 55); };
  auto xL = [&](long j) { return nearest((j - TraceShift) * SweepStep + 55); };
  auto newL = [&](long j) { return nearest(half + At(SamplesL, TraceStartR + j * spp) * gainL); };
  auto newR = [&](long j) { return nearest(half + At(SamplesR, TraceStartR + j * spp) * gainR); };
  auto oldL = [&](long j) { return nearest(Hc + At(PrevTraceL, j * spp) * gainL); };
  auto oldR = [&](long j) { return nearest(Hc + At(PrevTraceR, j * spp) * gainR); };
  // Erasing and drawing alternate segment by segment.
  for (long p = 2; p <= 1000; ++p) {
    c.Pen.Color = platform::clBlack;
    c.MoveTo(xR(p - 1), oldR(p - 1));
    c.LineTo(xR(p), oldR(p));
    c.MoveTo(xL(p - 1), oldL(p - 1));
    c.LineTo(xL(p), oldL(p));
    c.Pen.Color = platform::clYellow;
    c.MoveTo(xL(p - 1), newL(p - 1));
    c.LineTo(xL(p), newL(p));
    c.Pen.Color = platform::clAqua;
    c.MoveTo(xR(p - 1), newR(p - 1));
    c.LineTo(xR(p), newR(p));
  }

  const std::int32_t copy_last = std::min(SampleCount, kSampleArraySize - 1);
  for (std::int32_t k = 1; k <= copy_last; ++k) {
    PrevTraceL[static_cast<std::size_t>(k)] = At(SamplesL, TraceStartR + k);
    PrevTraceR[static_cast<std::size_t>(k)] = At(SamplesR, TraceStartR + k);
  }
  c.Pen.Width = 1;
}

}  // namespace osciloskop
