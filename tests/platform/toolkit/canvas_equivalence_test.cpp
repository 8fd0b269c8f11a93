// SPDX-License-Identifier: GPL-3.0-or-later
// The canvas draws exactly the pixels of RasteriseLine, clipped to the
// image, for any line: short or long, inside, crossing or wholly outside the
// image, horizontal, vertical or slanted, with a pen of width 1 or 2 (the
// second row below an x-major line, the second column right of a y-major one).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/toolkit/canvas.h"

namespace {

using platform::TCanvas;

constexpr std::uint32_t kInk = 0xFFFF00;  // yellow, as 0x00RRGGBB
constexpr int kW = 61, kH = 43;           // odd sizes, so no symmetry hides an error

std::vector<std::uint32_t> Expected(int x0, int y0, int x1, int y1, int width) {
  std::vector<std::uint32_t> img(static_cast<std::size_t>(kW) * kH, 0);
  auto set = [&](long long x, long long y) {
    if (x >= 0 && y >= 0 && x < kW && y < kH) img[static_cast<std::size_t>(y * kW + x)] = kInk;
  };
  const bool xmajor = std::llabs(static_cast<long long>(x1) - x0) >=
                      std::llabs(static_cast<long long>(y1) - y0);
  platform::RasteriseLine(x0, y0, x1, y1, [&](int x, int y) {
    set(x, y);
    if (width >= 2) xmajor ? set(x, y + 1LL) : set(x + 1LL, y);
  });
  return img;
}

// Empty when the canvas shows exactly the expected picture.
std::string Compare(TCanvas& c, int x0, int y0, int x1, int y1, int width) {
  c.FillAll(platform::clBlack);
  c.Pen.Color = platform::clYellow;
  c.Pen.Width = width;
  c.MoveTo(x0, y0);
  c.LineTo(x1, y1);
  const std::vector<std::uint32_t> want = Expected(x0, y0, x1, y1, width);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (c.PixelRGB(x, y) != want[static_cast<std::size_t>(y * kW + x)])
        return "line (" + std::to_string(x0) + "," + std::to_string(y0) + ")-(" +
               std::to_string(x1) + "," + std::to_string(y1) + ") width " +
               std::to_string(width) + " differs at (" + std::to_string(x) + "," +
               std::to_string(y) + ")";
  if (c.PenX() != x1 || c.PenY() != y1) return "pen not at the end point";
  return {};
}

class CanvasEquivalence : public ::testing::Test {
 protected:
  void SetUp() override { c.Resize(kW, kH, platform::clBlack); }
  TCanvas c;
};

TEST_F(CanvasEquivalence, RandomLinesNearTheImage) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> x(-40, kW + 40), y(-40, kH + 40);
  int drawn = 0;
  for (int n = 0; n < 20000; ++n) {
    const int x0 = x(rng), y0 = y(rng), x1 = x(rng), y1 = y(rng);
    const std::string e = Compare(c, x0, y0, x1, y1, 1 + n % 2);
    ASSERT_TRUE(e.empty()) << e;
    drawn += c.PixelRGB(kW / 2, kH / 2) != 0;
  }
  EXPECT_GT(drawn, 0);
}

TEST_F(CanvasEquivalence, HorizontalVerticalAndDiagonalLines) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> x(-20, kW + 20), y(-20, kH + 20), len(-90, 90);
  for (int n = 0; n < 6000; ++n) {
    const int x0 = x(rng), y0 = y(rng), d = len(rng);
    const int kind = n % 4;
    const int x1 = kind == 1 ? x0 : x0 + d;
    const int y1 = kind == 0 ? y0 : kind == 2 ? y0 + d : kind == 3 ? y0 - d : y0 + d;
    for (int width : {1, 2}) {
      const std::string e = Compare(c, x0, y0, x1, y1, width);
      ASSERT_TRUE(e.empty()) << e;
    }
  }
  // Rows and columns at and just beyond each edge, where a width-2 pen's
  // second row or column is the only part inside.
  for (int v : {-2, -1, 0, 1, kH - 2, kH - 1, kH, kH + 1}) {
    for (int width : {1, 2}) {
      EXPECT_EQ(Compare(c, -5, v, kW + 5, v, width), "");
      EXPECT_EQ(Compare(c, kW + 5, v, -5, v, width), "");
    }
  }
  for (int v : {-2, -1, 0, 1, kW - 2, kW - 1, kW, kW + 1}) {
    for (int width : {1, 2}) {
      EXPECT_EQ(Compare(c, v, -5, v, kH + 5, width), "");
      EXPECT_EQ(Compare(c, v, kH + 5, v, -5, width), "");
    }
  }
}

TEST_F(CanvasEquivalence, LongLinesFarOutside) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> far(-200000, 200000), near(-10, 70);
  for (int n = 0; n < 400; ++n) {
    // One end near or in the image, the other far away; then both far.
    const std::string e1 = Compare(c, near(rng), near(rng), far(rng), far(rng), 1 + n % 2);
    ASSERT_TRUE(e1.empty()) << e1;
    const std::string e2 = Compare(c, far(rng), far(rng), far(rng), far(rng), 1 + n % 2);
    ASSERT_TRUE(e2.empty()) << e2;
  }
  EXPECT_EQ(Compare(c, 0, 0, 0, 0, 1), "");  // a point: nothing drawn
  EXPECT_EQ(Compare(c, 3, 3, 3, 3, 2), "");
}

}  // namespace
