// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/canvas.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/base/sanitized.h"
#include "platform/toolkit/fonts.h"
#include "platform/toolkit/state_digest.h"

namespace platform {

namespace {
std::uint32_t ToRGB(TColor c) {
  return 0xFF000000u | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}
}  // namespace

// In the sanitizer builds (the asan preset, the fuzzers) every pixel the
// canvas writes is checked against the client area: the address sanitizer
// sees a write past the image, but not one that wraps into the next row.
#ifdef OSCILOSKOP_SANITIZED
namespace {
[[noreturn]] void PixelOutside(long long x, long long y, int width, int height) {
  std::fprintf(stderr, "canvas: pixel (%lld, %lld) written outside the %d x %d client area\n", x, y,
               width, height);
  std::abort();
}
}  // namespace
#define CHECK_PIXEL(x, y)                                                          \
  do {                                                                             \
    if ((x) < 0 || (y) < 0 || (x) >= width_ || (y) >= height_)                     \
      PixelOutside((x), (y), width_, height_);                                     \
  } while (0)
#else
#define CHECK_PIXEL(x, y) \
  do {                    \
  } while (0)
#endif

// Renders each distinct label once and keeps the cell, so the labels that
// are drawn again on every update cost a copy, not a text layout.
class TextRenderer {
 public:
  const QImage& Cell(std::string_view text, TColor fg, TColor bg, int pixel_size) {
    auto it = cache_.find(KeyView{text, fg, bg, pixel_size});
    if (it != cache_.end()) return it->second;
    QFont font = UiFont(pixel_size);
    QFontMetrics fm(font);
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    int w = std::max(1, fm.horizontalAdvance(s));
    QImage cell(w, fm.height(), QImage::Format_RGB32);
    cell.fill(ToRGB(bg));
    {
      QPainter p(&cell);
      p.setFont(font);
      p.setPen(QColor::fromRgb(ToRGB(fg)));
      p.drawText(0, fm.ascent(), s);
    }
    return cache_.emplace(Key{std::string(text), fg, bg, pixel_size}, std::move(cell)).first->second;
  }

 private:
  struct KeyView {
    std::string_view text;
    TColor fg, bg;
    int size;
  };
  struct Key {
    std::string text;
    TColor fg, bg;
    int size;
  };
  struct Less {
    using is_transparent = void;
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
      if (a.size != b.size) return a.size < b.size;
      if (a.fg != b.fg) return a.fg < b.fg;
      if (a.bg != b.bg) return a.bg < b.bg;
      return std::string_view(a.text) < std::string_view(b.text);
    }
  };
  std::map<Key, QImage, Less> cache_;
};

TCanvas::TCanvas() : image_(std::make_unique<QImage>()), text_(std::make_unique<TextRenderer>()) {
  Resize(0, 0, clBlack);
}
TCanvas::~TCanvas() = default;

void TCanvas::Resize(int width, int height, TColor fill) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  *image_ = QImage(std::max(1, width_), std::max(1, height_), QImage::Format_RGB32);
  image_->fill(ToRGB(fill));
  bits_ = reinterpret_cast<std::uint32_t*>(image_->bits());
  stride_ = image_->bytesPerLine() / 4;
  Changing();
}

void TCanvas::FillAll(TColor c) {
  std::fill_n(bits_, stride_ * image_->height(), ToRGB(c));
  Changing();
}

const QImage& TCanvas::Image() const { return *image_; }

std::uint32_t TCanvas::PixelRGB(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return bits_[static_cast<long long>(y) * stride_ + x] & 0xFFFFFFu;
}

TColor TCanvas::Pixel(int x, int y) const {
  std::uint32_t v = PixelRGB(x, y);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}


void TCanvas::AddToDigest(StateDigest& d) const {
  d.Add(width_), d.Add(height_), d.Add(pen_x_), d.Add(pen_y_), d.Add(text_pixel_size_);
  d.Add(Pen.Color), d.Add(Pen.Width), d.Add(Font.Color), d.Add(Brush.Color);
}

void TCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
}

// The same pixels as RasteriseLine, but the loop over the major axis is
// limited to the part that can fall inside the image, so a line reaching far
// outside costs only its visible length; the rounding is carried forward
// incrementally instead of divided out for every pixel.
void TCanvas::Line1(int x0, int y0, int x1, int y1, std::uint32_t rgb) {
  const long long dx = static_cast<long long>(x1) - x0;
  const long long dy = static_cast<long long>(y1) - y0;
  const long long adx = std::llabs(dx), ady = std::llabs(dy);
  if (adx == 0 && ady == 0) return;
  const bool xmajor = adx >= ady;
  const long long len = xmajor ? adx : ady;
  const long long minor_len = xmajor ? ady : adx;
  const long long major0 = xmajor ? x0 : y0;
  const long long minor0 = xmajor ? y0 : x0;
  const int step = (xmajor ? dx : dy) > 0 ? 1 : -1;
  const int minor_step = (xmajor ? dy : dx) >= 0 ? 1 : -1;
  const long long limit = xmajor ? width_ : height_;
  const long long minor_limit = xmajor ? height_ : width_;
  // Indices i with 0 <= major0 + step*i < limit.
  long long lo = 0, hi = len;  // [lo, hi)
  if (step > 0) {
    lo = std::max(lo, -major0);
    hi = std::min(hi, limit - major0);
  } else {
    lo = std::max(lo, major0 - (limit - 1));
    hi = std::min(hi, major0 + 1);
  }
  if (lo >= hi) return;
  // The minor coordinate runs from minor0 to minor0 +- minor_len; a line
  // wholly above, below, left or right of the image has nothing to draw.
  const long long minor_end = minor0 + minor_step * minor_len;
  if (std::max(minor0, minor_end) < 0 || std::min(minor0, minor_end) >= minor_limit) return;
  if (minor_len == 0) {
    // Horizontal or vertical: one run of pixels, no rounding to carry.
    const long long first = step > 0 ? major0 + lo : major0 - (hi - 1);
    const long long count = hi - lo;
    if (xmajor) {
      CHECK_PIXEL(first, minor0);
      CHECK_PIXEL(first + count - 1, minor0);
      std::fill_n(bits_ + minor0 * stride_ + first, count, rgb);
    } else {
      CHECK_PIXEL(minor0, first);
      CHECK_PIXEL(minor0, first + count - 1);
      std::uint32_t* q = bits_ + first * stride_ + minor0;
      for (long long i = 0; i < count; ++i, q += stride_) *q = rgb;
    }
    return;
  }
  long long off = detail::RoundDiv(lo * minor_len, len);
  long long rem = 2 * lo * minor_len + len - off * 2 * len;  // 0 <= rem < 2*len
  long long major = major0 + step * lo;
  long long minor = minor0 + minor_step * off;
  if (std::min(minor0, minor_end) >= 0 && std::max(minor0, minor_end) < minor_limit) {
    // Every pixel's minor coordinate lies inside: one offset walks the line.
    const long long major_stride = xmajor ? step : step * stride_;
    const long long minor_stride = xmajor ? minor_step * stride_ : minor_step;
    long long q = xmajor ? minor * stride_ + major : major * stride_ + minor;
    for (long long i = lo; i < hi; ++i) {
      bits_[q] = rgb;
      q += major_stride;
      rem += 2 * minor_len;
      if (rem >= 2 * len) {
        rem -= 2 * len;
        q += minor_stride;
      }
    }
    return;
  }
  for (long long i = lo; i < hi; ++i) {
    if (minor >= 0 && minor < minor_limit) {
      const long long x = xmajor ? major : minor;
      const long long y = xmajor ? minor : major;
      CHECK_PIXEL(x, y);
      bits_[y * stride_ + x] = rgb;
    }
    major += step;
    rem += 2 * minor_len;
    if (rem >= 2 * len) {
      rem -= 2 * len;
      minor += minor_step;
    }
  }
}

void TCanvas::LineTo(int x, int y) {
  const std::uint32_t rgb = ToRGB(Pen.Color);
  Line1(pen_x_, pen_y_, x, y, rgb);
  if (Pen.Width >= 2) {
    // The second row (or column) of a wide pen lies below (or right of) the line.
    if (std::abs(x - pen_x_) >= std::abs(y - pen_y_))
      Line1(pen_x_, pen_y_ + 1, x, y + 1, rgb);
    else
      Line1(pen_x_ + 1, pen_y_, x + 1, y, rgb);
  }
  pen_x_ = x;
  pen_y_ = y;
  Changing();
}

void TCanvas::SetTextPixelSize(int pixels) { text_pixel_size_ = pixels; }

void TCanvas::TextOut(int x, int y, std::string_view text) {
  if (text.empty()) return;
  const QImage& cell = text_->Cell(text, Font.Color, Brush.Color, text_pixel_size_);
  const int x_from = std::max(0, -x), y_from = std::max(0, -y);
  const int x_to = std::min(cell.width(), width_ - x), y_to = std::min(cell.height(), height_ - y);
  for (int cy = y_from; cy < y_to; ++cy) {
    if (x_to > x_from) {
      CHECK_PIXEL(static_cast<long long>(x) + x_from, static_cast<long long>(y) + cy);
      CHECK_PIXEL(static_cast<long long>(x) + x_to - 1, static_cast<long long>(y) + cy);
    }
    const auto* src = reinterpret_cast<const std::uint32_t*>(cell.constScanLine(cy));
    std::uint32_t* dst = bits_ + static_cast<long long>(y + cy) * stride_;
    std::copy(src + x_from, src + std::max(x_from, x_to), dst + x + x_from);
  }
  pen_x_ = x + cell.width();
  pen_y_ = y;
  Changing();
}

std::string ColorName(TColor c) {
  static const char hex[] = "0123456789abcdef";
  std::string s = "#000000";
  int v[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
  for (int i = 0; i < 3; ++i) {
    s[1 + 2 * i] = hex[v[i] >> 4];
    s[2 + 2 * i] = hex[v[i] & 15];
  }
  return s;
}

}  // namespace platform
