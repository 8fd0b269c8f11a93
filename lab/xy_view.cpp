// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/xy_view.h"

#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace lab {

namespace {

bool Same(const Axis& a, const Axis& b) { return a.min == b.min && a.max == b.max; }

// The newest block's colour first, fading toward the background, then none.
QList<QRgb> FadingColours() {
  QList<QRgb> table;
  for (int age = 0; age < ViewState::kXyBlocks; ++age) {
    const double fade = static_cast<double>(age) / ViewState::kXyBlocks;
    table.push_back(QColor::fromRgbF(kUrColour.redF() + (1 - kUrColour.redF()) * fade,
                                     kUrColour.greenF() + (1 - kUrColour.greenF()) * fade,
                                     kUrColour.blueF() + (1 - kUrColour.blueF()) * fade)
                        .rgba());
  }
  table.push_back(qRgba(0, 0, 0, 0));
  return table;
}

}  // namespace

XyView::XyView(ViewState& state) : PlotView(state, View::kXy) {
  x_ = NiceAxis(-1, 1, 8, "V");
  y_ = NiceAxis(-0.01, 0.01, 8, "A");
}

void XyView::AddActions(QMenu& menu) {
  Toggle(menu, QStringLiteral("Dosvit"), state_.xy_persistence);
  Toggle(menu, QStringLiteral("Pevné měřítko"), state_.xy_fixed_scale);
}

void XyView::DrawBlock(TraceImage& trace, const PlotFrame& frame, int age, QRgb colour) {
  const auto ur = state_.XyUr(age), il = state_.XyIl(age);
  xs_.resize(ur.size()), ys_.resize(il.size());
  for (std::size_t k = 0; k < ur.size(); ++k) xs_[k] = frame.X(ur[k]), ys_[k] = frame.Y(il[k]);
  trace.Polyline(xs_, ys_, colour);
}

void XyView::paintEvent(QPaintEvent*) {
  const bool fading = state_.xy_persistence;
  const int blocks = fading ? state_.XyCount() : std::min(1, state_.XyCount());
  if (!state_.xy_fixed_scale && blocks > 0) {
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (int age = 0; age < blocks; ++age) {
      const auto [xa, xb] = std::minmax_element(state_.XyUr(age).begin(), state_.XyUr(age).end());
      const auto [ya, yb] = std::minmax_element(state_.XyIl(age).begin(), state_.XyIl(age).end());
      x0 = std::min(x0, *xa), x1 = std::max(x1, *xb), y0 = std::min(y0, *ya),
      y1 = std::max(y1, *yb);
    }
    x_ = NiceAxis(x0, x1, 8, "V");
    y_ = NiceAxis(y0, y1, 8, "A");
  }
  QPainter p(this);
  const QRect text(0, height() - TextHeight(*this, 1), width(), TextHeight(*this, 1));
  const PlotFrame frame(*this, rect().adjusted(0, 0, 0, -text.height()), x_, y_);
  frame.DrawAxes(p, Qt::black);
  const double ratio = devicePixelRatioF();
  if (!fading) {
    history_.reset();
    TraceImage trace(frame.Area(), ratio);
    if (blocks) DrawBlock(trace, frame, 0, kUrColour.rgba());
    trace.Draw(p);
  } else {
    const std::uint64_t fresh = state_.Serial() - history_serial_;
    int redraw = static_cast<int>(std::min<std::uint64_t>(fresh, blocks));
    if (!history_ || !history_->Fits(frame.Area(), ratio) || !Same(history_x_, x_) ||
        !Same(history_y_, y_)) {
      history_.emplace(frame.Area(), ratio, FadingColours());
      history_x_ = x_, history_y_ = y_;
      redraw = blocks;
    }
    for (int age = redraw - 1; age >= 0; --age) {
      history_->Age();
      DrawBlock(*history_, frame, age, 0);
    }
    history_serial_ = state_.Serial();
    history_->Draw(p);
  }
  DrawLines(p, text,
            {blocks ? QStringLiteral("vodorovně napětí UR, svisle proud IL")
                    : QStringLiteral("čeká se na první čtvrtsekundu vstupu")});
}

}  // namespace lab
