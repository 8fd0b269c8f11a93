// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The off-screen image of a window's client area. Drawing on it is
// immediate and exactly reproducible: lines are rasterised here with integer
// arithmetic (the end pixel is not drawn), clipped to the image so that the
// visible pixels are those of the unclipped line; text is opaque.
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/toolkit/graphics.h"

class QImage;

namespace platform {

class StateDigest;
class TextRenderer;

class TPen {
 public:
  TColor Color = clBlack;
  int Width = 1;
};

class TFont {
 public:
  TColor Color = clBlack;
};

class TBrush {
 public:
  TColor Color = clBlack;
};

class TCanvas {
 public:
  TCanvas();
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen Pen;
  TFont Font;
  TBrush Brush;  // the cell colour behind text; the window colour

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void TextOut(int x, int y, std::string_view text);
  void FillAll(TColor c);
  int PenX() const { return pen_x_; }
  int PenY() const { return pen_y_; }

  // Follows the client size; the new image is filled with `fill`.
  void Resize(int width, int height, TColor fill);
  int Width() const { return width_; }
  int Height() const { return height_; }

  // 0x00RRGGBB of one pixel; 0 outside the image.
  std::uint32_t PixelRGB(int x, int y) const;
  TColor Pixel(int x, int y) const;
  const QImage& Image() const;
  void SetTextPixelSize(int pixels);

  // Size, pens and text settings, but not the pixels: drawing only writes
  // them, so a step that draws what is already there changes nothing.
  void AddToDigest(StateDigest& d) const;

  // Bumped by every change of the pixels, so a view repaints only when needed.
  std::uint64_t Generation() const { return generation_; }
  // Called at every change of the pixels (the form keeps what the picture
  // is drawn from by it).
  void SetChangeHook(std::function<void()> hook) { change_hook_ = std::move(hook); }

 private:
  void Line1(int x0, int y0, int x1, int y1, std::uint32_t rgb);
  void Changing() {
    if (change_hook_) change_hook_();
    ++generation_;
  }

  std::unique_ptr<QImage> image_;
  std::uint32_t* bits_ = nullptr;  // the image's pixels, never shared
  long long stride_ = 0;           // pixels per row
  std::unique_ptr<TextRenderer> text_;
  int width_ = 0;
  int height_ = 0;
  int pen_x_ = 0;
  int pen_y_ = 0;
  std::uint64_t generation_ = 0;
  std::function<void()> change_hook_;
  int text_pixel_size_ = 11;
};

// The pixels of a width-1 line from (x0,y0) towards (x1,y1), end excluded,
// in drawing order: the rule the canvas draws by, for tests to reason with.
// Calls fn(x, y) for each.
template <class Fn>
void RasteriseLine(int x0, int y0, int x1, int y1, Fn&& fn);

}  // namespace platform

#include "platform/toolkit/canvas_line.inl"
