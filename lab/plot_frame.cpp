// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/plot_frame.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "lab/si_format.h"

namespace lab {

namespace {

constexpr QRgb kGrid = 0xffd8d8d8, kMinorGrid = 0xffeeeeee;

double Step125(double raw) {
  const double decade = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (m * decade >= raw * (1 - 1e-9)) return m * decade;
  return 10 * decade;
}

}  // namespace

double Axis::Fraction(double v) const {
  if (log) return (std::log10(v) - std::log10(min)) / (std::log10(max) - std::log10(min));
  return (v - min) / (max - min);
}

double Axis::Value(double f) const {
  if (log) return std::pow(10.0, std::log10(min) + f * (std::log10(max) - std::log10(min)));
  return min + f * (max - min);
}

std::vector<double> Axis::Ticks() const {
  std::vector<double> t;
  if (log) {
    // Decades, or 1-2-5 where fewer than three decades show.
    for (const bool all : {false, true}) {
      t.clear();
      for (double d = std::pow(10.0, std::floor(std::log10(min))); d <= max * (1 + 1e-9); d *= 10)
        for (const double m : {1.0, 2.0, 5.0})
          if ((all || m == 1) && m * d >= min * (1 - 1e-9) && m * d <= max * (1 + 1e-9))
            t.push_back(m * d);
      if (t.size() >= 3) break;
    }
    return t;
  }
  const double step = this->step > 0 ? this->step : Step125((max - min) / 8);
  for (double v = std::ceil(min / step - 1e-9) * step; v <= max + step * 1e-9; v += step)
    t.push_back(std::abs(v) < step * 1e-9 ? 0 : v);
  return t;
}

std::vector<double> Axis::MinorTicks() const {
  std::vector<double> t;
  if (!log) return t;
  for (double d = std::pow(10.0, std::floor(std::log10(min))); d < max; d *= 10)
    for (int m = 2; m <= 9; ++m)
      if (m * d > min && m * d < max) t.push_back(m * d);
  return t;
}

Axis NiceAxis(double lo, double hi, int divisions, const std::string& unit) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = -1, hi = 1;
  if (hi - lo < 1e-12 * std::max(1.0, std::abs(hi))) {
    const double half = std::max(std::abs(hi) * 0.1, 1e-12);
    lo -= half, hi += half;
  }
  const double step = Step125((hi - lo) / divisions);
  Axis a;
  a.min = std::floor(lo / step + 1e-9) * step;
  a.max = std::ceil(hi / step - 1e-9) * step;
  a.unit = unit;
  return a;
}

QString AxisLabel(double v, const std::string& unit) {
  if (unit == "dB") return QString::number(v, 'f', 0);
  std::string s = FormatSi(v, unit, 4);
  // 1.000 mV -> 1 mV, 2.500 -> 2.5
  const std::size_t space = s.find(' ');
  std::string number = s.substr(0, space);
  if (number.find('.') != std::string::npos) {
    while (number.back() == '0') number.pop_back();
    if (number.back() == '.') number.pop_back();
  }
  if (number == "-0") number = "0";
  if (number == "0") return QStringLiteral("0");
  return QString::fromStdString(number + s.substr(space));
}

namespace {
constexpr int kGap = 4;

int WidestLabel(const QFontMetrics& fm, const Axis& a) {
  int w = 0;
  for (const double t : a.Ticks()) w = std::max(w, fm.horizontalAdvance(AxisLabel(t, a.unit)));
  return w;
}
}  // namespace

int PlotFrame::LeftRoom(const QWidget& widget, const Axis& left) {
  return WidestLabel(QFontMetrics(widget.font()), left) + 2 * kGap;
}

PlotFrame::PlotFrame(const QWidget& widget, const QRect& bounds, const Axis& x, const Axis& left,
                     const Axis* right, int left_room)
    : widget_(widget),
      bounds_(bounds),
      x_(x),
      left_(left),
      right_(right ? *right : Axis{}),
      has_right_(right) {
  const QFontMetrics fm(widget.font());
  const int gap = kGap;
  left_room = std::max(left_room, LeftRoom(widget, left_));
  // The last label of the horizontal axis is centred on the area's edge.
  const int edge = fm.horizontalAdvance(AxisLabel(x_.max, x_.unit)) / 2 + gap;
  const int right_room = has_right_ ? WidestLabel(fm, right_) + 2 * gap : edge;
  const int top = fm.height() / 2 + gap;
  const int bottom = fm.height() + 2 * gap;
  area_ = bounds.adjusted(left_room, top, -right_room, -bottom);
  if (area_.width() < 10) area_.setWidth(10);
  if (area_.height() < 10) area_.setHeight(10);
}

double PlotFrame::X(double v) const { return area_.left() + x_.Fraction(v) * area_.width(); }
double PlotFrame::Y(double v) const {
  return area_.top() + (1 - left_.Fraction(v)) * area_.height();
}
double PlotFrame::YRight(double v) const {
  return area_.top() + (1 - right_.Fraction(v)) * area_.height();
}
double PlotFrame::ValueAtX(double px) const {
  return x_.Value((px - area_.left()) / area_.width());
}
double PlotFrame::ValueAtY(double py) const {
  return left_.Value(1 - (py - area_.top()) / area_.height());
}

void PlotFrame::DrawAxes(QPainter& p, QColor left_colour, QColor right_colour) const {
  p.fillRect(bounds_, Qt::white);
  const QFontMetrics fm(widget_.font());
  const int gap = kGap;
  p.setPen(QColor(kMinorGrid));
  for (const double t : x_.MinorTicks()) {
    const int px = static_cast<int>(std::lround(X(t)));
    p.drawLine(px, area_.top(), px, area_.bottom());
  }
  p.setPen(QColor(kGrid));
  for (const double t : x_.Ticks()) {
    const int px = static_cast<int>(std::lround(X(t)));
    p.drawLine(px, area_.top(), px, area_.bottom());
  }
  for (const double t : left_.Ticks()) {
    const int py = static_cast<int>(std::lround(Y(t)));
    p.drawLine(area_.left(), py, area_.right(), py);
  }
  p.setPen(Qt::black);
  p.drawRect(area_);
  // Every second label where they would crowd.
  const std::vector<double> xt = x_.Ticks();
  int widest_x = 0;
  for (const double t : xt)
    widest_x = std::max(widest_x, fm.horizontalAdvance(AxisLabel(t, x_.unit)));
  const std::size_t x_every =
      xt.size() > 1 && std::abs(X(xt[1]) - X(xt[0])) < widest_x + 2 * gap ? 2 : 1;
  for (std::size_t i = 0; i < xt.size(); i += x_every) {
    const double t = xt[i];
    const QString s = AxisLabel(t, x_.unit);
    const int px = static_cast<int>(std::lround(X(t)));
    p.drawText(px - fm.horizontalAdvance(s) / 2, area_.bottom() + gap + fm.ascent(), s);
  }
  const auto vertical = [&](const Axis& a, bool on_left, QColor colour) {
    p.setPen(colour);
    const std::vector<double> ticks = a.Ticks();
    const double spacing =
        ticks.size() > 1 ? std::abs(a.Fraction(ticks[1]) - a.Fraction(ticks[0])) * area_.height()
                         : 1e9;
    const std::size_t every = spacing < fm.height() ? 2 : 1;
    for (std::size_t i = 0; i < ticks.size(); i += every) {
      const double t = ticks[i];
      const QString s = AxisLabel(t, a.unit);
      const int py =
          static_cast<int>(std::lround(area_.top() + (1 - a.Fraction(t)) * area_.height()));
      const int w = fm.horizontalAdvance(s);
      const int px = on_left ? area_.left() - gap - w : area_.right() + gap + 1;
      p.drawText(px, py + fm.ascent() / 2 - 1, s);
    }
  };
  vertical(left_, true, left_colour);
  if (has_right_) vertical(right_, false, right_colour);
}

TraceImage::TraceImage(const QRect& area, double ratio, const QList<QRgb>& table)
    : area_(area),
      ratio_(ratio),
      image_(static_cast<int>(std::lround(area.width() * ratio)) + 1,
             static_cast<int>(std::lround(area.height() * ratio)) + 1,
             table.isEmpty() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_Indexed8) {
  if (table.isEmpty()) {
    image_.fill(0);
  } else {
    image_.setColorTable(table);
    image_.fill(static_cast<uint>(table.size() - 1));
  }
  image_.setDevicePixelRatio(ratio);
}

void TraceImage::Age() {
  const int last = static_cast<int>(image_.colorCount()) - 1;
  if (last < 0) return;
  for (int y = 0; y < image_.height(); ++y) {
    uchar* row = image_.scanLine(y);
    for (int x = 0; x < image_.width(); ++x)
      if (row[x] < last) ++row[x];
  }
}

void TraceImage::Line(double x0, double y0, double x1, double y1, QRgb colour) {
  // Device pixels of the image; Liang-Barsky clipping to its bounds.
  const double w = image_.width() - 1, h = image_.height() - 1;
  x0 = (x0 - area_.left()) * ratio_, x1 = (x1 - area_.left()) * ratio_;
  y0 = (y0 - area_.top()) * ratio_, y1 = (y1 - area_.top()) * ratio_;
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy}, q[4] = {x0, w - x0, y0, h - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return;
    } else {
      const double r = q[i] / p[i];
      if (p[i] < 0)
        t0 = std::max(t0, r);
      else
        t1 = std::min(t1, r);
    }
  }
  if (t0 > t1) return;
  int ax = static_cast<int>(std::lround(x0 + t0 * dx)),
      ay = static_cast<int>(std::lround(y0 + t0 * dy));
  const int bx = static_cast<int>(std::lround(x0 + t1 * dx)),
            by = static_cast<int>(std::lround(y0 + t1 * dy));
  const bool indexed = image_.format() == QImage::Format_Indexed8;
  // Bresenham.
  const int sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
  const int ex = std::abs(bx - ax), ey = -std::abs(by - ay);
  int err = ex + ey;
  for (;;) {
    if (indexed)
      image_.scanLine(ay)[ax] = static_cast<uchar>(colour);
    else
      reinterpret_cast<QRgb*>(image_.scanLine(ay))[ax] = colour;
    if (ax == bx && ay == by) break;
    const int e2 = 2 * err;
    if (e2 >= ey) err += ey, ax += sx;
    if (e2 <= ex) err += ex, ay += sy;
  }
}

void TraceImage::Polyline(std::span<const double> xs, std::span<const double> ys, QRgb c) {
  const std::size_t n = std::min(xs.size(), ys.size());
  if (n == 1) Line(xs[0], ys[0], xs[0], ys[0], c);
  for (std::size_t i = 1; i < n; ++i) Line(xs[i - 1], ys[i - 1], xs[i], ys[i], c);
}

void TraceImage::Draw(QPainter& p) const { p.drawImage(area_.topLeft(), image_); }

}  // namespace lab
