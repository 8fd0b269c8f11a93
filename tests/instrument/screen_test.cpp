// SPDX-License-Identifier: GPL-3.0-or-later
// The screen: graticule, centre line and traces, checked pixel by pixel
// against pictures computed here from the drawing formulas and the canvas's
// line rule (RasteriseLine; a width-2 pen adds the row below an x-major line
// and the column right of a y-major one).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "form_fixture.h"
#include "platform/toolkit/canvas.h"

namespace osciloskop {
namespace {

using testing::FormTest;

constexpr std::uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kYellow = 0xFFFF00,
                        kAqua = 0x00FFFF;
constexpr double kPi = 3.14159265358979323846;

long Nearest(double x) { return std::lrint(x); }  // halves to even

std::uint32_t Grey(int g) { return static_cast<std::uint32_t>(g * 0x010101); }

// A picture of the client area in which only the pixels drawn by the
// replayed operations are known.
class Picture {
 public:
  Picture(int w, int h) : w_(w), h_(h), px_(static_cast<std::size_t>(w) * h, -1) {}

  void Line(int x0, int y0, int x1, int y1, std::uint32_t rgb, int width = 1) {
    const bool xmajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
    platform::RasteriseLine(x0, y0, x1, y1, [&](int x, int y) {
      Set(x, y, rgb);
      if (width >= 2) xmajor ? Set(x, y + 1, rgb) : Set(x + 1, y, rgb);
    });
  }
  void Fill(std::uint32_t rgb) { std::fill(px_.begin(), px_.end(), rgb); }
  long long At(int x, int y) const { return px_[static_cast<std::size_t>(y) * w_ + x]; }

  // Every known pixel must match; reports the first few that do not.
  ::testing::AssertionResult Matches(const platform::TCanvas& c) const {
    if (c.Width() != w_ || c.Height() != h_)
      return ::testing::AssertionFailure() << "canvas is " << c.Width() << "x" << c.Height();
    int bad = 0;
    long known = 0;
    std::string first;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const long long want = At(x, y);
        if (want < 0) continue;
        ++known;
        if (c.PixelRGB(x, y) != static_cast<std::uint32_t>(want)) {
          if (++bad <= 5) {
            char buf[96];
            std::snprintf(buf, sizeof buf, " (%d,%d) is %06x, want %06llx;", x, y, c.PixelRGB(x, y),
                          want);
            first += buf;
          }
        }
      }
    if (bad == 0) return ::testing::AssertionSuccess() << known << " pixels";
    return ::testing::AssertionFailure() << bad << " of " << known << " pixels differ:" << first;
  }

 private:
  void Set(int x, int y, std::uint32_t rgb) {
    if (x >= 0 && y >= 0 && x < w_ && y < h_) px_[static_cast<std::size_t>(y) * w_ + x] = rgb;
  }
  int w_, h_;
  std::vector<long long> px_;
};

// The graticule of a client area of w x h, on black.
Picture Graticule(int w, int h, int g) {
  Picture p(w, h);
  p.Fill(kBlack);
  const int hc = h / 2;
  const double unit = (w - 40) / 200.0;
  for (int k = 1; k <= 11; ++k) {
    p.Line(56, hc - 20 * k, w - 10, hc - 20 * k, Grey(g));
    p.Line(56, hc + 20 * k, w - 10, hc + 20 * k, Grey(g));
  }
  for (int k = 1; k <= 10; ++k) {
    const int x = static_cast<int>(Nearest(unit * 2 * k * 9.73 + 55));
    p.Line(x, hc + 220, x, hc + 20, Grey(g));
    p.Line(x, hc - 5, x, hc - 220, Grey(g));
  }
  return p;
}

class Screen : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SampleCount = 22050;
    form->FixedReadoutL = form->FixedReadoutR = 1;
  }

  // The capture buffer from two functions of the frame index.
  void SetSignal(const std::function<std::int32_t(int)>& r,
                 const std::function<std::int32_t(int)>& l) {
    for (int i = 0; i < 11025; ++i) {
      form->CaptureBuffer[2 * i] = r(i);
      form->CaptureBuffer[2 * i + 1] = l(i);
    }
  }
  // A fixed sweep band from the time-base list (1 to 7).
  void UseBand(int band) {
    form->ComboBox1->SetItemIndex(band);
    form->AutoTimeBase = 0;
  }
};

// What one screen update is expected to draw, from the raw capture.
struct Expected {
  std::vector<std::int32_t> l, r;  // the channels after conditioning
  long trace_start = 0;
  long edge = 0;
};

// The channel split, the trigger search and the display conditioning of one
// update, written out from their descriptions; `envelope` and `edge` are
// what the instrument holds when the trigger search begins.
Expected Condition(const TForm1& f, std::vector<std::int32_t> envelope, long edge) {
  // Without a hit before the sample count the search reads entries that
  // earlier passes left; the tests here always have one.
  const int n = f.SampleCount;
  Expected e;
  e.l.assign(44100, 0);
  e.r.assign(44100, 0);
  for (int i = 0; i < 44100; ++i) {
    e.r[i] = 2 * i < 44100 && i < n ? f.CaptureBuffer[2 * i] : 0;
    e.l[i] = 2 * i + 1 < 44100 && i < n ? f.CaptureBuffer[2 * i + 1] : 0;
  }
  envelope.resize(44100 + 2, 0);
  for (int i = 1; i <= n; ++i)
    if (e.r[i] < 0) {
      edge = i;
      envelope[i] = e.r[i];
      break;
    }
  for (long i = edge + 1; i <= n; ++i)
    envelope[i] = e.r[i] < 0 ? static_cast<std::int32_t>(e.r[i] / 16.0 + envelope[i - 1] -
                                                          envelope[i - 1] / 16.0)
                             : 0;
  long c = edge + 1;
  for (;;) {
    const auto p0 = static_cast<std::uint16_t>(-static_cast<std::uint16_t>(envelope[c]));
    const auto p1 = static_cast<std::uint16_t>(-static_cast<std::uint16_t>(envelope[c + 1]));
    ++c;
    if ((p0 == 0 && p1 > p0) || c == 20000) break;
  }
  e.trace_start = c - 2;
  e.edge = edge;
  for (long i = edge + 1; i <= n; ++i) {
    e.l[i] = e.l[i] > 0 ? -std::min(e.l[i], 10000) : 0;
    e.r[i] = e.r[i] > 0 ? -std::min(e.r[i], 10100) : 0;
  }
  return e;
}

struct Sweep {
  double step;
  long spp;
  int shift;
  int width;
  double gain_l, gain_r;
};

// Steps 9 to 11 of an update: centre line, then per segment the erasing of
// the previous traces and the drawing of the new ones.
void ReplayTraces(Picture& p, int w, int h, const Sweep& s, const Expected& now,
                  const std::vector<std::int32_t>& prev_l, const std::vector<std::int32_t>& prev_r) {
  const int hc = h / 2;
  const double half = h / 2.0;
  p.Line(55, hc, w - 5, hc, kWhite);
  auto xr = [&](long j) { return static_cast<int>(Nearest((j - 1) * s.step + 55)); };
  auto xl = [&](long j) { return static_cast<int>(Nearest((j - s.shift) * s.step + 55)); };
  auto y_new = [&](const std::vector<std::int32_t>& a, long j, double g) {
    return static_cast<int>(Nearest(half + a[now.trace_start + j * s.spp] * g));
  };
  // The erasing follows the rows the traces were drawn on (H / 2), not
  // the centre line's H div 2.
  auto y_old = [&](const std::vector<std::int32_t>& a, long j, double g) {
    return static_cast<int>(Nearest(half + a[j * s.spp] * g));
  };
  for (long j = 2; j <= 1000; ++j) {
    p.Line(xr(j - 1), y_old(prev_r, j - 1, s.gain_r), xr(j), y_old(prev_r, j, s.gain_r), kBlack,
           s.width);
    p.Line(xl(j - 1), y_old(prev_l, j - 1, s.gain_l), xl(j), y_old(prev_l, j, s.gain_l), kBlack,
           s.width);
    p.Line(xl(j - 1), y_new(now.l, j - 1, s.gain_l), xl(j), y_new(now.l, j, s.gain_l), kYellow,
           s.width);
    p.Line(xr(j - 1), y_new(now.r, j - 1, s.gain_r), xr(j), y_new(now.r, j, s.gain_r), kAqua,
           s.width);
  }
}

// The previous-trace arrays an update leaves: entry k from the trigger point on.
void KeepTraces(const Expected& e, int n, std::vector<std::int32_t>& prev_l,
                std::vector<std::int32_t>& prev_r) {
  prev_l.assign(44100, 0);
  prev_r.assign(44100, 0);
  for (long k = 1; k <= n; ++k) {
    prev_l[k] = e.l[e.trace_start + k];
    prev_r[k] = e.r[e.trace_start + k];
  }
}

TEST_F(Screen, GraticuleAtTheStandardSize) {
  ASSERT_EQ(form->ClientWidth(), 792);
  ASSERT_EQ(form->ClientHeight(), 526);
  form->Canvas.FillAll(platform::clBlack);
  form->DrawGraticule();
  EXPECT_TRUE(Graticule(792, 526, 75).Matches(form->Canvas));
  EXPECT_DOUBLE_EQ(form->GridUnit, 3.76);
  // The vertical lines at the positions the formula gives at this width.
  const int hc = 263;
  for (int x : {128, 201, 275, 348, 421, 494, 567, 640, 714, 787}) {
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc + 110), Grey(75)) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x + 1, hc + 110), kBlack) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x - 1, hc - 110), kBlack) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc + 220), Grey(75)) << x;  // first pixel drawn
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc + 21), Grey(75)) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc + 19), kBlack) << x;  // the gap for the labels
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc), kBlack) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc - 4), kBlack) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc - 5), Grey(75)) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc - 219), Grey(75)) << x;
  }
  // The top end of the last vertical line lies beyond the horizontal lines'
  // end (x = W - 10, not drawn) and is itself not drawn.
  EXPECT_EQ(form->Canvas.PixelRGB(787, hc - 220), kBlack);
  EXPECT_EQ(form->Canvas.PixelRGB(781, hc - 220), Grey(75));
  EXPECT_EQ(form->Canvas.PixelRGB(782, hc - 220), kBlack);
  EXPECT_EQ(form->Canvas.PixelRGB(55, hc - 20), kBlack);
  EXPECT_EQ(form->Canvas.PixelRGB(56, hc - 20), Grey(75));
  // No line on the centre row itself, and none beyond 11 divisions.
  EXPECT_EQ(form->Canvas.PixelRGB(300, hc), kBlack);
  EXPECT_EQ(form->Canvas.PixelRGB(300, hc - 240), kBlack);
}

TEST_F(Screen, GraticuleFollowsSizeAndBrightness) {
  form->SetClientSize(1000, 400);
  ASSERT_EQ(form->ClientWidth(), 1000);
  form->Canvas.FillAll(platform::clBlack);
  form->DrawGraticule();
  EXPECT_DOUBLE_EQ(form->GridUnit, 4.8);
  EXPECT_TRUE(Graticule(1000, 400, 75).Matches(form->Canvas));  // clipped at top and bottom

  // An odd height: the integer half.
  form->SetClientSize(640, 481);
  form->Canvas.FillAll(platform::clBlack);
  form->DrawGraticule();
  EXPECT_TRUE(Graticule(640, 481, 75).Matches(form->Canvas));
  EXPECT_EQ(form->Canvas.PixelRGB(300, 240 - 20), Grey(75));

  // Only the low byte of the brightness counts.
  form->GridBrightness = 0x100 + 44;
  form->Canvas.FillAll(platform::clBlack);
  form->DrawGraticule();
  EXPECT_TRUE(Graticule(640, 481, 44).Matches(form->Canvas));

  // Switched off: nothing is drawn and the grid unit stays.
  form->GridEnabled = 0;
  form->GridUnit = -1;
  form->Canvas.FillAll(platform::clBlack);
  form->DrawGraticule();
  Picture black(640, 481);
  black.Fill(kBlack);
  EXPECT_TRUE(black.Matches(form->Canvas));
  EXPECT_EQ(form->GridUnit, -1);
}

// Two updates at the standard size with sines on both channels: the first
// erases the start-up traces (all 0) and draws the new ones, the second
// erases those and draws a shifted signal.
TEST_F(Screen, TracesFollowTheDrawingFormulas) {
  UseBand(5);  // 3.3 px per point, every sample
  auto r1 = [](int i) { return static_cast<std::int32_t>(std::lrint(16000 * std::sin(2 * kPi * 600 * i / 44100.0))); };
  auto l1 = [](int i) { return static_cast<std::int32_t>(std::lrint(25000 * std::sin(2 * kPi * 450 * i / 44100.0 + 0.4))); };
  SetSignal(r1, l1);
  form->RedrawScreen();
  ASSERT_EQ(form->SweepStep, 3.3);
  ASSERT_EQ(form->SamplesPerPoint, 1);
  ASSERT_EQ(form->RangeGainL, 0.02);
  ASSERT_EQ(form->RangeGainR, 0.02);
  ASSERT_EQ(form->TraceShift, 5);
  const Sweep s{3.3, 1, 5, 1, 0.988 * 0.02, 0.988 * 0.02};

  // R turns negative within its first half-wave, so the trigger search
  // depends on nothing but this buffer.
  const Expected e1 = Condition(*form, {}, 1);
  EXPECT_EQ(form->TraceStartR, e1.trace_start);
  EXPECT_EQ(form->EdgeIndexR, e1.edge);
  for (long i : {0L, 1L, e1.edge, e1.edge + 1, 5000L, 22050L, 22051L}) {
    EXPECT_EQ(form->SamplesL[i], e1.l[i]) << i;
    EXPECT_EQ(form->SamplesR[i], e1.r[i]) << i;
  }

  // At start-up the previous traces are all 0: the first update erases
  // along the centre line.
  std::vector<std::int32_t> zero(44100, 0), prev_l, prev_r;
  Picture p1(792, 526);
  ReplayTraces(p1, 792, 526, s, e1, zero, zero);
  EXPECT_TRUE(p1.Matches(form->Canvas));
  KeepTraces(e1, 22050, prev_l, prev_r);
  for (int k : {1, 100, 6000, 22050}) {
    EXPECT_EQ(form->PrevTraceL[k], prev_l[k]) << k;
    EXPECT_EQ(form->PrevTraceR[k], prev_r[k]) << k;
  }

  // Second update, signal moved: the old traces are erased in black.
  auto r2 = [&](int i) { return r1(i + 11); };
  auto l2 = [&](int i) { return l1(i + 23) / 3; };
  SetSignal(r2, l2);
  form->RedrawScreen();
  const Expected e2 = Condition(*form, {}, 1);
  EXPECT_EQ(form->TraceStartR, e2.trace_start);
  EXPECT_NE(e2.trace_start, e1.trace_start);
  Picture p2(792, 526);
  ReplayTraces(p2, 792, 526, s, e2, prev_l, prev_r);
  EXPECT_TRUE(p2.Matches(form->Canvas));
  // Pixels of the first L trace that the second update leaves black (the
  // R picture is the same: the trigger aligns it).
  int erased = 0;
  for (int x = 60; x < 780; ++x)
    for (int y = 60; y < 262; ++y)
      if (p1.At(x, y) == kYellow && p2.At(x, y) == kBlack) {
        ++erased;
        EXPECT_EQ(form->Canvas.PixelRGB(x, y), kBlack) << x << "," << y;
      }
  EXPECT_GT(erased, 100);

  // Conditioning: positive half-waves only, drawn upwards, limited.
  const int hc = 263;
  int above = 0, below = 0;
  for (int y = 0; y < 526; ++y)
    for (int x = 55; x < 787; ++x) {
      const std::uint32_t c = form->Canvas.PixelRGB(x, y);
      if (c != kYellow && c != kAqua) continue;
      (y <= hc ? above : below)++;
      EXPECT_GE(y, Nearest(263 - 10100 * 0.988 * 0.02)) << x;
    }
  EXPECT_GT(above, 1000);
  EXPECT_EQ(below, 0);
}

TEST_F(Screen, LimitsSpacingWidthAndShift) {
  // Long half-waves on R (a square of 500 samples per half), L constantly
  // at 20000: L is drawn at its limit 10000, R at 10100.
  UseBand(2);  // 1 px per point, every third sample
  SetSignal([](int i) { return (i / 500) % 2 ? -20000 : 20000; }, [](int) { return 20000; });
  form->TraceWidth = 2;
  form->ScrollBar3->SetPosition(10);  // shift 1: both traces aligned
  ASSERT_EQ(form->TraceShift, 1);
  form->RedrawScreen();
  form->RedrawScreen();  // the second update erases what the first drew
  ASSERT_EQ(form->SamplesPerPoint, 3);
  // Negative from 500 to 999, positive from 1000: the hit is at 1499.
  EXPECT_EQ(form->EdgeIndexR, 500);
  EXPECT_EQ(form->TraceStartR, 1498);
  const Sweep s{1.0, 3, 1, 2, 0.988 * 0.02, 0.988 * 0.02};
  const Expected e = Condition(*form, {}, 1);
  EXPECT_EQ(e.trace_start, 1498);
  std::vector<std::int32_t> prev_l, prev_r;
  KeepTraces(e, 22050, prev_l, prev_r);
  Picture p(792, 526);
  ReplayTraces(p, 792, 526, s, e, prev_l, prev_r);
  EXPECT_TRUE(p.Matches(form->Canvas));

  const int yl = static_cast<int>(Nearest(263.0 - 10000 * 0.988 * 0.02));  // 65
  const int yr = static_cast<int>(Nearest(263.0 - 10100 * 0.988 * 0.02));  // 63
  EXPECT_EQ(yl, 65);
  EXPECT_EQ(yr, 63);
  // From the trigger point R is negative for points 1 to 167, positive from
  // 168 to 333 (x = 222 to 387); L is positive at every point. Each trace is
  // two rows high.
  auto is_trace = [](std::uint32_t c) { return c == kYellow || c == kAqua; };
  for (int x = 230; x < 380; ++x) {
    EXPECT_FALSE(is_trace(form->Canvas.PixelRGB(x, yr - 1))) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, yr), kAqua) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, yr + 1), kAqua) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, yl), kYellow) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, yl + 1), kYellow) << x;
    EXPECT_FALSE(is_trace(form->Canvas.PixelRGB(x, yl + 2))) << x;
  }
  for (int x = 60; x < 215; ++x) {
    EXPECT_EQ(form->Canvas.PixelRGB(x, 263), kAqua) << x;  // R on the centre line
    EXPECT_EQ(form->Canvas.PixelRGB(x, 264), kAqua) << x;
    EXPECT_EQ(form->Canvas.PixelRGB(x, yl), kYellow) << x;
  }
  EXPECT_EQ(form->Canvas.Pen.Width, 1);
}

TEST_F(Screen, FastestBandStartsLeftOfTheScreen) {
  UseBand(7);  // 17 px per point
  SetSignal([](int i) { return (i / 40) % 2 ? -9000 : 9000; },
            [](int i) { return static_cast<std::int32_t>(std::lrint(8000 * std::sin(i * 0.05))); });
  form->RedrawScreen();
  form->RedrawScreen();
  const Expected e = Condition(*form, {}, 1);
  EXPECT_EQ(form->TraceStartR, e.trace_start);
  std::vector<std::int32_t> prev_l, prev_r;
  KeepTraces(e, 22050, prev_l, prev_r);
  Picture p(792, 526);
  ReplayTraces(p, 792, 526, Sweep{17.0, 1, 5, 1, 0.988 * 0.02, 0.988 * 0.02}, e, prev_l, prev_r);
  EXPECT_TRUE(p.Matches(form->Canvas));
  // The first L point lies at x = -13, the second at 4: the first segment
  // reaches the screen clipped, ending just before x = 4.
  const long y1 = Nearest(263.0 + e.l[e.trace_start + 1] * 0.988 * 0.02);
  const long y2 = Nearest(263.0 + e.l[e.trace_start + 2] * 0.988 * 0.02);
  bool seen = false;
  platform::RasteriseLine(-13, static_cast<int>(y1), 4, static_cast<int>(y2), [&](int x, int y) {
    if (x >= 0 && x < 4 && p.At(x, y) == kYellow) {
      seen = true;
      EXPECT_EQ(form->Canvas.PixelRGB(x, y), kYellow) << x;
    }
  });
  EXPECT_TRUE(seen);
}

// With points closer than a pixel, two consecutive L points can both lie
// at x = -1; a width-2 pen still draws that segment's second column at x = 0.
TEST_F(Screen, WidePenAtTheLeftEdge) {
  UseBand(3);  // 0.83 px per point
  form->TraceWidth = 2;
  form->TraceShift = 70;  // points 2 and 3 of L at x = -1
  SetSignal([](int i) { return (i / 40) % 2 ? -9000 : 9000; },
            [](int i) { return static_cast<std::int32_t>(std::lrint(6000 + 3000 * std::sin(i * 0.9))); });
  form->RedrawScreen();
  form->RedrawScreen();
  const Expected e = Condition(*form, {}, 1);
  std::vector<std::int32_t> prev_l, prev_r;
  KeepTraces(e, 22050, prev_l, prev_r);
  Picture p(792, 526);
  const Sweep s{0.83, 1, 70, 2, 0.988 * 0.02, 0.988 * 0.02};
  ReplayTraces(p, 792, 526, s, e, prev_l, prev_r);
  EXPECT_TRUE(p.Matches(form->Canvas));
  EXPECT_EQ(Nearest((2 - 70) * 0.83 + 55), -1);
  EXPECT_EQ(Nearest((3 - 70) * 0.83 + 55), -1);
  int column0 = 0;
  for (int y = 0; y < 526; ++y) column0 += p.At(0, y) == kYellow;
  EXPECT_GT(column0, 0);
}

TEST_F(Screen, SilenceLiesOnTheCentreLine) {
  SetSignal([](int) { return 0; }, [](int) { return 0; });
  form->RedrawScreen();
  form->RedrawScreen();
  EXPECT_EQ(form->TraceStartR, 19998);  // R is never negative: no trigger
  const int hc = 263;
  // Silence reads above the limit, so the fastest band is in force.
  ASSERT_EQ(form->SweepStep, 17.0);
  // L reaches from x = -13, R from 55, both beyond the right edge; L is drawn
  // after the R segment 4 points earlier and so covers it.
  for (int x = 0; x < 792; ++x) {
    EXPECT_EQ(form->Canvas.PixelRGB(x, hc), kYellow) << x;
    for (int y : {hc - 1, hc + 1}) {
      const std::uint32_t c = form->Canvas.PixelRGB(x, y);
      EXPECT_TRUE(c != kYellow && c != kAqua) << x << "," << y;
    }
  }
  // The same with the traces aligned: both start at x = 55 and R, drawn
  // last, is on top.
  form->ScrollBar3->SetPosition(10);
  ASSERT_EQ(form->TraceShift, 1);
  for (int x = 0; x < 55; ++x) EXPECT_NE(form->Canvas.PixelRGB(x, hc), kAqua) << x;
  EXPECT_NE(form->Canvas.PixelRGB(54, hc), kYellow);
  for (int x = 55; x < 792; ++x) EXPECT_EQ(form->Canvas.PixelRGB(x, hc), kAqua) << x;
}

TEST_F(Screen, CentreLineIsWhiteWhereNoTraceLies) {
  UseBand(3);
  // R dips below zero for 10 samples every 3000, L is positive throughout:
  // apart from R's first dip both traces run above the centre line.
  SetSignal([](int i) { return i % 3000 < 10 ? -12000 : 12000; }, [](int) { return 9000; });
  form->RedrawScreen();
  form->RedrawScreen();
  EXPECT_EQ(form->EdgeIndexR, 1);
  EXPECT_EQ(form->TraceStartR, 2998);
  const int hc = 263;
  // The dip covers points 2 to 11, x = 56 to 63.
  for (int x = 66; x < 787; ++x) EXPECT_EQ(form->Canvas.PixelRGB(x, hc), kWhite) << x;
  for (int x = 57; x < 63; ++x) EXPECT_EQ(form->Canvas.PixelRGB(x, hc), kAqua) << x;
  // The end pixel of the centre line is not drawn.
  EXPECT_EQ(form->Canvas.PixelRGB(787, hc), kBlack);
  EXPECT_EQ(form->Canvas.PixelRGB(300, static_cast<int>(Nearest(263 - 9000 * 0.988 * 0.02))),
            kYellow);
}

TEST_F(Screen, OddClientHeight) {
  UseBand(5);
  auto r = [](int i) { return static_cast<std::int32_t>(std::lrint(16000 * std::sin(2 * kPi * 500 * i / 44100.0))); };
  auto l = [](int i) { return static_cast<std::int32_t>(std::lrint(9000 * std::sin(2 * kPi * 300 * i / 44100.0))); };
  for (int h : {525, 527}) {
    SCOPED_TRACE(h);
    form->SetClientSize(792, h);
    SetSignal(r, l);
    form->RedrawScreen();
    form->RedrawScreen();
    const Expected e = Condition(*form, {}, 1);
    std::vector<std::int32_t> prev_l, prev_r;
    KeepTraces(e, 22050, prev_l, prev_r);
    Picture p(792, h);
    ReplayTraces(p, 792, h, Sweep{3.3, 1, 5, 1, 0.988 * 0.02, 0.988 * 0.02}, e, prev_l, prev_r);
    EXPECT_TRUE(p.Matches(form->Canvas));
  }
  // Traces and their erasing use the real half height, the centre line its
  // integer half: at 525 a zero sample lands on row 262 both ways (262.5
  // rounds to even), at 527 the traces' zero level is row 264 while the
  // centre line is on 263.
  EXPECT_EQ(Nearest(525 / 2.0), 525 / 2);
  EXPECT_EQ(Nearest(527 / 2.0), 527 / 2 + 1);
  bool zero_row_used = false;
  for (int x = 100; x < 700; ++x)
    if (form->Canvas.PixelRGB(x, 264) == kAqua || form->Canvas.PixelRGB(x, 264) == kYellow)
      zero_row_used = true;
  EXPECT_TRUE(zero_row_used);
}

// A change of signal within one sweep band at odd client heights, on the
// virtual card: every trace pixel on the screen afterwards belongs to the
// traces of the present signal. An erasing pass about H div 2 while the
// traces are drawn about H / 2 misses them by a row here and there (513
// stale pixels at 527 after 600 Hz turned into 400 Hz).
TEST_F(Screen, NoStaleTracePixelsAtOddHeightsAfterASignalChange) {
  for (int h : {526, 527, 529, 531}) {
    SCOPED_TRACE("client height " + std::to_string(h));
    form->SetClientSize(792, h);
    ASSERT_EQ(platform::SetInputSource('r', "sine:600:16000"), "");
    ASSERT_EQ(platform::SetInputSource('l', "sine:600:9000"), "");
    Run(1.5);
    ASSERT_EQ(platform::SetInputSource('r', "sine:400:16000"), "");
    ASSERT_EQ(platform::SetInputSource('l', "sine:400:9000"), "");
    Run(1.5);
    const platform::TCanvas& c = form->Canvas;
    std::vector<std::uint32_t> seen;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < 792; ++x) seen.push_back(c.PixelRGB(x, y));
    // The same update drawn on a cleared screen: only the present traces.
    form->Refresh();
    form->DrawGraticule();
    form->RedrawScreen();
    int stale = 0, traced = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < 792; ++x) {
        const std::uint32_t was = seen[static_cast<std::size_t>(y) * 792 + x];
        if (was != kYellow && was != kAqua) continue;
        ++traced;
        if (c.PixelRGB(x, y) != was) ++stale;
      }
    EXPECT_GT(traced, 1000);
    EXPECT_EQ(stale, 0) << "trace pixels left from the 600 Hz traces";
  }
}

TEST_F(Screen, WorkedTriggerSearch) {
  std::fill(form->SamplesR.begin(), form->SamplesR.end(), 0);
  std::fill(form->EnvelopeR.begin(), form->EnvelopeR.end(), 0);
  const std::int32_t r[] = {5, 3, -20, -40, -40, 10, 20, -30, -50};
  for (int i = 0; i < 9; ++i) form->SamplesR[1 + i] = r[i];
  form->SampleCount = 9;
  form->FindTriggerR();
  EXPECT_EQ(form->EdgeIndexR, 3);
  const std::int32_t env[] = {-21, -22, 0, 0, -1, -4};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(form->EnvelopeR[4 + i], env[i]) << 4 + i;
  EXPECT_EQ(form->TraceStartR, 6);
}

// A sample count beyond one buffer: the conditioning and the copy of the
// previous traces run to index SampleCount, which for 44100 is one past the
// arrays; the entries after them (the next array's first) must stay.
TEST_F(Screen, LargeSampleCountsStayInsideTheArrays) {
  UseBand(5);
  SetSignal([](int i) { return (i / 30) % 2 ? -5000 : 5000; }, [](int) { return 3000; });
  form->CaptureBuffer[0] = 5000;
  for (std::int32_t count : {22100, 44100}) {
    SCOPED_TRACE(count);
    form->SampleCount = count;
    form->PrevTraceR[0] = 4242;
    form->RedrawScreen();
    EXPECT_EQ(form->SamplesR[0], 5000);   // SamplesL[44100] would be here
    EXPECT_EQ(form->PrevTraceR[0], 4242);  // PrevTraceL[44100] would be here
    EXPECT_EQ(form->PrevTraceL[44099], 0);
  }
}

}  // namespace
}  // namespace osciloskop
