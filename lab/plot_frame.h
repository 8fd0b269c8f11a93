// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every view draws alike: a plot area with a graticule, axes labelled
// in SI units with prefixes (linear, or logarithmic for frequency), and
// traces rasterised into an image of the plot area's device pixels, so that
// a quarter second of samples costs well under a millisecond to draw.
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <span>
#include <string>
#include <vector>

#include "lab/file_output.h"

class QPainter;
class QWidget;

namespace lab {

struct Axis {
  double min = -1, max = 1;
  bool log = false;
  std::string unit;  // "V", "A", "Hz", "s", "dB"... ("dB" takes no prefix)
  double step = 0;   // of a linear axis's labels; 0: 1-2-5 steps, about eight
  // Where the value falls on the axis, 0 at min to 1 at max.
  double Fraction(double v) const;
  double Value(double fraction) const;
  // The labelled divisions: 1-2-5 steps, or decades (1-2-5 where fewer
  // than three decades show) with 2..9 between.
  std::vector<double> Ticks() const;
  std::vector<double> MinorTicks() const;  // log axes only
};

// A linear axis of about `divisions` 1-2-5 steps covering lo..hi, ending on
// steps; a small span around a single value.
Axis NiceAxis(double lo, double hi, int divisions, const std::string& unit);

// A label for an axis value: SI prefixes, a decimal point, trailing zeros off.
QString AxisLabel(double v, const std::string& unit);

class PlotFrame {
 public:
  // Lays the plot area out in `bounds` of `widget`, leaving room for the
  // labels of `x`, `left` and (if given) `right` in the widget's font, and
  // at least `left_room` pixels on the left (for panels stacked in line).
  PlotFrame(const QWidget& widget, const QRect& bounds, const Axis& x, const Axis& left,
            const Axis* right = nullptr, int left_room = 0);
  // The room the labels of a left axis take.
  static int LeftRoom(const QWidget& widget, const Axis& left);

  const QRect& Area() const { return area_; }
  double X(double v) const;  // widget coordinates
  double Y(double v) const;  // on the left axis
  double YRight(double v) const;
  double ValueAtX(double px) const;
  double ValueAtY(double py) const;

  // Background of the bounds, graticule, frame and labels, with the axes'
  // colours.
  void DrawAxes(QPainter& p, QColor left_colour, QColor right_colour = Qt::black) const;

 private:
  const QWidget& widget_;
  QRect bounds_;
  Axis x_, left_, right_;
  bool has_right_;
  QRect area_;
};

// Lines in device pixels over the plot area, drawn without blending, the
// later over the earlier; points outside are clipped. With a colour table
// the pixels are its indices (the last one the empty background).
class TraceImage {
 public:
  TraceImage(const QRect& area, double device_pixel_ratio, const QList<QRgb>& table = {});
  // Widget coordinates; `colour` is an index with a colour table.
  void Polyline(std::span<const double> xs, std::span<const double> ys, QRgb colour);
  void Line(double x0, double y0, double x1, double y1, QRgb colour);
  // Every drawn pixel one index further down the table, up to its end.
  void Age();
  void Draw(QPainter& p) const;
  bool Fits(const QRect& area, double device_pixel_ratio) const {
    return area == area_ && device_pixel_ratio == ratio_;
  }

 private:
  QRect area_;
  double ratio_;
  QImage image_;
};

}  // namespace lab
