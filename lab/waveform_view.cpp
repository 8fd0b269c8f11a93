// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/waveform_view.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "lab/plot_frame.h"
#include "lab/si_format.h"

namespace lab {

namespace {

// Eight 1-2-5 divisions, symmetric about zero, holding +-m.
Axis Symmetric(double m, const std::string& unit) {
  Axis a = NiceAxis(0, std::max(m, 1e-9) / 4, 1, unit);
  a.min = -4 * a.max, a.max = 4 * a.max;
  return a;
}

QString Si(std::optional<double> v, const char* unit) {
  return QString::fromStdString(FormatSi(v, unit, 4));
}

}  // namespace

WaveformView::WaveformView(ViewState& state) : PlotView(state, View::kWaveform) {}

void WaveformView::AddActions(QMenu& menu) {
  Toggle(menu, QStringLiteral("Spouštění sestupnou nulou UR"), state_.waveform_triggered);
}

double* WaveformView::Cursor(int which) {
  Cursors& c = state_.cursors;
  double* all[] = {&c.t1, &c.t2, &c.v1, &c.v2};
  return all[std::clamp(which, 0, 3)];
}

void WaveformView::MoveTo(int which, QPointF at) {
  if (which < 2)
    *Cursor(which) = std::clamp(t0_ + (at.x() - area_.left()) * t_per_px_, 0.0, 1.0);
  else
    *Cursor(which) = v_top_ - (at.y() - area_.top()) * v_per_px_;
  update();
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return PlotView::mousePressEvent(event);
  // The nearest cursor line within a few pixels.
  const QPointF at = event->position();
  double best = 6;
  int which = -1;
  for (int i = 0; i < 4; ++i) {
    const double d = i < 2 ? std::abs(area_.left() + (*Cursor(i) - t0_) / t_per_px_ - at.x())
                           : std::abs(area_.top() + (v_top_ - *Cursor(i)) / v_per_px_ - at.y());
    if (d < best) best = d, which = i;
  }
  if (which < 0) return;
  active_ = which;
  dragging_ = true;
  MoveTo(which, at);
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) MoveTo(active_, event->position());
}

void WaveformView::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void WaveformView::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key >= Qt::Key_1 && key <= Qt::Key_4) {
    active_ = key - Qt::Key_1;
    update();
    return;
  }
  const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;  // pixels
  if (active_ < 2 && (key == Qt::Key_Left || key == Qt::Key_Right)) {
    *Cursor(active_) =
        std::clamp(*Cursor(active_) + (key == Qt::Key_Right ? step : -step) * t_per_px_, 0.0, 1.0);
  } else if (active_ >= 2 && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    *Cursor(active_) += (key == Qt::Key_Up ? step : -step) * v_per_px_;
  } else {
    return PlotView::keyPressEvent(event);
  }
  update();
}

void WaveformView::paintEvent(QPaintEvent*) {
  const double rate = state_.SampleRate();
  const double span = state_.WaveSpan();
  const auto shown = static_cast<std::size_t>(span * rate) + 1;
  const auto ur = state_.WaveUr().first(std::min(shown, state_.WaveUr().size()));
  const auto il = state_.WaveIl().first(std::min(shown, state_.WaveIl().size()));
  double mu = 0, mi = 0;
  for (const double v : ur) mu = std::max(mu, std::abs(v));
  for (const double v : il) mi = std::max(mi, std::abs(v));
  Axis x;
  x.min = 0, x.max = span, x.unit = "s";
  const Axis left = Symmetric(mu, "V"), right = Symmetric(mi, "A");

  QPainter p(this);
  const int lines = 4;
  const QRect text(0, height() - TextHeight(*this, lines), width(), TextHeight(*this, lines));
  const PlotFrame frame(*this, rect().adjusted(0, 0, 0, -text.height()), x, left, &right);
  frame.DrawAxes(p, kUrColour, kIlColour);
  area_ = frame.Area();
  t0_ = 0, t_per_px_ = span / area_.width();
  v_top_ = left.max, v_per_px_ = (left.max - left.min) / area_.height();

  TraceImage trace(area_, devicePixelRatioF());
  std::vector<double> xs(ur.size()), ys(ur.size());
  for (std::size_t k = 0; k < il.size(); ++k)
    xs[k] = frame.X(static_cast<double>(k) / rate), ys[k] = frame.YRight(il[k]);
  trace.Polyline(xs, ys, kIlColour.rgba());
  for (std::size_t k = 0; k < ur.size(); ++k) ys[k] = frame.Y(ur[k]);
  trace.Polyline(xs, ys, kUrColour.rgba());
  trace.Draw(p);

  const Cursors& c = state_.cursors;
  p.save();
  p.setClipRect(area_);
  for (int i = 0; i < 4; ++i) {
    QPen pen(i < 2 ? QColor(0x00, 0x80, 0x30) : QColor(0xa0, 0x00, 0xa0));
    pen.setStyle(Qt::DashLine);
    pen.setWidth(i == active_ && hasFocus() ? 2 : 1);
    p.setPen(pen);
    if (i < 2) {
      const int px = static_cast<int>(std::lround(frame.X(*Cursor(i))));
      p.drawLine(px, area_.top(), px, area_.bottom());
    } else {
      const int py = static_cast<int>(std::lround(frame.Y(*Cursor(i))));
      p.drawLine(area_.left(), py, area_.right(), py);
    }
  }
  p.restore();

  const double dt = c.t2 - c.t1;
  const auto at = [this](bool il, double t) { return state_.WaveAt(il, t); };
  const auto diff = [](std::optional<double> a, std::optional<double> b) {
    return a && b ? std::optional(*b - *a) : std::nullopt;
  };
  DrawLines(p, text,
            {QStringLiteral("t1 %1  t2 %2  Δt %3  1/Δt %4")
                 .arg(Si(c.t1, "s"), Si(c.t2, "s"), Si(dt, "s"),
                      Si(dt != 0 ? std::optional(1 / std::abs(dt)) : std::nullopt, "Hz")),
             QStringLiteral("v1 %1  v2 %2  Δv %3")
                 .arg(Si(c.v1, "V"), Si(c.v2, "V"), Si(c.v2 - c.v1, "V")),
             QStringLiteral("UR(t1) %1  UR(t2) %2  rozdíl %3")
                 .arg(Si(at(false, c.t1), "V"), Si(at(false, c.t2), "V"),
                      Si(diff(at(false, c.t1), at(false, c.t2)), "V")),
             QStringLiteral("IL(t1) %1  IL(t2) %2  rozdíl %3")
                 .arg(Si(at(true, c.t1), "A"), Si(at(true, c.t2), "A"),
                      Si(diff(at(true, c.t1), at(true, c.t2)), "A"))},
            {Qt::black, QColor(0xa0, 0x00, 0xa0), kUrColour, kIlColour});
}

}  // namespace lab
