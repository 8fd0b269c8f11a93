// SPDX-License-Identifier: GPL-3.0-or-later
// Line rasterisation and text on the canvas, pixel by pixel.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "platform/toolkit/canvas.h"

namespace {

using platform::TCanvas;
using Pixels = std::set<std::pair<int, int>>;

constexpr std::uint32_t kWhite = 0xFFFFFF;

Pixels Lit(const TCanvas& c) {
  Pixels p;
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x)
      if (c.PixelRGB(x, y) != 0) p.insert({x, y});
  return p;
}

Pixels Line(TCanvas& c, int x0, int y0, int x1, int y1, int width = 1) {
  c.Resize(c.Width(), c.Height(), platform::clBlack);
  c.Pen.Color = platform::clWhite;
  c.Pen.Width = width;
  c.MoveTo(x0, y0);
  c.LineTo(x1, y1);
  return Lit(c);
}

class Canvas : public ::testing::Test {
 protected:
  void SetUp() override { c.Resize(40, 30, platform::clBlack); }
  TCanvas c;
};

TEST_F(Canvas, HorizontalAndVerticalLinesStopBeforeTheirEndPixel) {
  EXPECT_EQ(Line(c, 2, 5, 7, 5), (Pixels{{2, 5}, {3, 5}, {4, 5}, {5, 5}, {6, 5}}));
  EXPECT_EQ(Line(c, 7, 5, 2, 5), (Pixels{{7, 5}, {6, 5}, {5, 5}, {4, 5}, {3, 5}}));
  EXPECT_EQ(Line(c, 3, 10, 3, 6), (Pixels{{3, 10}, {3, 9}, {3, 8}, {3, 7}}));
  EXPECT_EQ(Line(c, 3, 3, 3, 3), Pixels{}) << "a line to its own start draws nothing";
  EXPECT_EQ(c.PenX(), 3);
  EXPECT_EQ(c.PenY(), 3);
}

TEST_F(Canvas, DiagonalAndSteepLinesFollowTheNearestPixel) {
  EXPECT_EQ(Line(c, 0, 0, 4, 4), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
  EXPECT_EQ(Line(c, 4, 0, 0, 4), (Pixels{{4, 0}, {3, 1}, {2, 2}, {1, 3}}));
  // Shallow: dy/dx = 1/4, the minor coordinate steps where the exact line
  // crosses a half pixel (halves away from the start).
  EXPECT_EQ(Line(c, 0, 0, 8, 2),
            (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 2}, {7, 2}}));
  // Steep: x steps along y.
  EXPECT_EQ(Line(c, 10, 0, 11, 5), (Pixels{{10, 0}, {10, 1}, {10, 2}, {11, 3}, {11, 4}}));
  EXPECT_EQ(Line(c, 11, 5, 10, 0), (Pixels{{11, 5}, {11, 4}, {11, 3}, {10, 2}, {10, 1}}));
}

TEST_F(Canvas, WidthTwoAddsTheRowBelowOrTheColumnRight) {
  EXPECT_EQ(Line(c, 2, 5, 5, 5, 2), (Pixels{{2, 5}, {3, 5}, {4, 5}, {2, 6}, {3, 6}, {4, 6}}));
  EXPECT_EQ(Line(c, 4, 2, 4, 5, 2), (Pixels{{4, 2}, {4, 3}, {4, 4}, {5, 2}, {5, 3}, {5, 4}}));
  EXPECT_EQ(Line(c, 0, 0, 3, 3, 2), (Pixels{{0, 0}, {1, 1}, {2, 2}, {0, 1}, {1, 2}, {2, 3}}));
}

TEST_F(Canvas, ClippedLinesKeepTheUnclippedPixelsInside) {
  // The part inside the image is exactly that of the same line on a large canvas.
  TCanvas big;
  big.Resize(400, 300, platform::clBlack);
  const int lines[][4] = {{-150, -40, 90, 35}, {35, 29, -70, -100}, {-5, 12, 60, 12},
                          {20, -200, 27, 250}, {-1000, 3, 2000, 27}};
  for (const auto& l : lines) {
    Pixels small = Line(c, l[0], l[1], l[2], l[3]);
    Pixels expected;
    platform::RasteriseLine(l[0] + 200, l[1] + 150, l[2] + 200, l[3] + 150, [&](int x, int y) {
      if (x >= 200 && x < 240 && y >= 150 && y < 180) expected.insert({x - 200, y - 150});
    });
    EXPECT_EQ(small, expected) << l[0] << "," << l[1] << " -> " << l[2] << "," << l[3];
  }
}

TEST_F(Canvas, TextIsOpaqueInTheBrushColourAndDrawnInTheFontColour) {
  c.Resize(60, 30, platform::clWhite);
  c.Brush.Color = platform::clBlack;
  c.Font.Color = platform::clYellow;
  c.TextOut(5, 4, "88");
  int yellow = 0, black = 0;
  for (int y = 4; y < 17; ++y)
    for (int x = 5; x < 17; ++x) {
      std::uint32_t p = c.PixelRGB(x, y);
      // The letters' edges are smoothed: shades of yellow on black.
      const std::uint32_t r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
      yellow += r == g && r > 0 && b == 0;
      black += p == 0;
    }
  EXPECT_GT(yellow, 10) << "digits must be drawn";
  EXPECT_GT(black, 20) << "the cell behind them must be filled";
  // Nothing is drawn left of or above the cell.
  for (int y = 0; y < 30; ++y) EXPECT_EQ(c.PixelRGB(4, y), kWhite);
  for (int x = 0; x < 60; ++x) EXPECT_EQ(c.PixelRGB(x, 3), kWhite);
  // Partly outside: no crash, the visible part is drawn.
  c.TextOut(-4, -6, "88");
  c.TextOut(55, 25, "88");
}

TEST_F(Canvas, ResizeAndFillFollowTheClientSize) {
  c.Resize(10, 7, platform::clAqua);
  EXPECT_EQ(c.Width(), 10);
  EXPECT_EQ(c.Height(), 7);
  EXPECT_EQ(c.PixelRGB(9, 6), 0x00FFFFu);
  EXPECT_EQ(c.PixelRGB(10, 6), 0u) << "outside reads 0";
  const auto g = c.Generation();
  c.FillAll(platform::clRed);
  EXPECT_EQ(c.PixelRGB(0, 0), 0xFF0000u);
  EXPECT_GT(c.Generation(), g);
}

}  // namespace
