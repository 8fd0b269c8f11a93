#include "lab/xy_view.h"

#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace lab {

XyView::XyView(ViewState& state) : PlotView(state, View::kXy) {
  x_ = NiceAxis(-1, 1, 8, "V");
  y_ = NiceAxis(-0.01, 0.01, 8, "A");
}

void XyView::AddActions(QMenu& menu) {
  Toggle(menu, QStringLiteral("Dosvit"), state_.xy_persistence);
  Toggle(menu, QStringLiteral("Pevné měřítko"), state_.xy_fixed_scale);
}

void XyView::paintEvent(QPaintEvent*) {
  const int blocks = state_.xy_persistence ? state_.XyCount() : std::min(1, state_.XyCount());
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
  TraceImage trace(frame.Area(), devicePixelRatioF());
  std::vector<double> xs, ys;
  for (int age = blocks - 1; age >= 0; --age) {
    const auto ur = state_.XyUr(age), il = state_.XyIl(age);
    xs.resize(ur.size()), ys.resize(il.size());
    for (std::size_t k = 0; k < ur.size(); ++k) xs[k] = frame.X(ur[k]), ys[k] = frame.Y(il[k]);
    // Older blocks fade toward the background.
    const double fade = static_cast<double>(age) / ViewState::kXyBlocks;
    const QColor c = QColor::fromRgbF(kUrColour.redF() + (1 - kUrColour.redF()) * fade,
                                      kUrColour.greenF() + (1 - kUrColour.greenF()) * fade,
                                      kUrColour.blueF() + (1 - kUrColour.blueF()) * fade);
    trace.Polyline(xs, ys, c);
  }
  trace.Draw(p);
  DrawLines(p, text,
            {blocks ? QStringLiteral("vodorovně napětí UR, svisle proud IL")
                    : QStringLiteral("čeká se na první čtvrtsekundu vstupu")});
}

}  // namespace lab
