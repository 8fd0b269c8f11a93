// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/fourier_view.h"

#include <QActionGroup>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "lab/plot_frame.h"
#include "lab/si_format.h"

namespace lab {

namespace {

QString Line(const char* name, const ChannelSpectrum& s) {
  const auto& d = s.distortion;
  if (!d) return QString::fromUtf8(name) + QStringLiteral(": bez tónu");
  QString line = QString::fromUtf8(name) + ": " +
                 QString::fromStdString(FormatSi(d->fundamental.frequency, "Hz", 6)) + "  " +
                 QString::number(s.Db(d->fundamental.amplitude), 'f', 2) + " " +
                 QString::fromStdString(s.unit) + "  THD " +
                 QString::number(d->thd_percent, 'f', 3) + " %  THD+N " +
                 QString::number(d->thd_n_percent, 'f', 3) + " %";
  return line;
}

QString Harmonics(const ChannelSpectrum& s) {
  const auto& d = s.distortion;
  if (!d) return {};
  QString line = QStringLiteral("  harmonické 2 až %1 (dB):").arg(d->highest);
  for (int k = 2; k <= d->highest; ++k)
    line += " " + QString::number(
                      20 * std::log10(std::max(d->harmonics[k], 1e-30) / d->harmonics[1]), 'f', 1);
  return line;
}

}  // namespace

SpectrumView::SpectrumView(ViewState& state) : PlotView(state, View::kSpectrum) {}

void SpectrumView::AddActions(QMenu& menu) {
  QMenu* windows = menu.addMenu(QStringLiteral("Okno"));
  auto* group = new QActionGroup(windows);
  for (const auto& [w, text] : {std::pair{analysis::Window::kHann, "Hann"},
                                {analysis::Window::kBlackmanHarris, "Blackman-Harris"},
                                {analysis::Window::kFlatTop, "s plochým vrcholem"}}) {
    QAction* a = windows->addAction(QString::fromUtf8(text), this, [this, w = w] {
      state_.SetWindow(w);
      update();
    });
    a->setCheckable(true);
    a->setChecked(state_.Window() == w);
    group->addAction(a);
  }
  QMenu* average = menu.addMenu(QStringLiteral("Průměrování"));
  auto* counts = new QActionGroup(average);
  for (const int n : {1, 4, 16}) {
    QAction* a = average->addAction(QString::number(n) + QStringLiteral("×"), this, [this, n] {
      state_.SetAverage(n);
      update();
    });
    a->setCheckable(true);
    a->setChecked(state_.Average() == n);
    counts->addAction(a);
  }
  Toggle(menu, QStringLiteral("Logaritmická osa frekvence"), state_.spectrum_log_frequency);
}

void SpectrumView::paintEvent(QPaintEvent*) {
  const ChannelSpectrum& ur = state_.SpectrumOf(false);
  const ChannelSpectrum& il = state_.SpectrumOf(true);
  const double nyquist = state_.SampleRate() / 2;
  Axis x;
  x.log = state_.spectrum_log_frequency;
  x.min = x.log ? 10 : 0;
  x.max = nyquist;
  x.unit = "Hz";
  double top = 0;
  for (const ChannelSpectrum* s : {&ur, &il})
    for (const double a : s->amplitudes) top = std::max(top, s->Db(a));
  Axis y;
  y.max = std::ceil(top / 20 - 1e-9) * 20;
  y.min = y.max - 160;
  y.unit = "dB";

  QPainter p(this);
  const int lines = 5;
  const QRect text(0, height() - TextHeight(*this, lines), width(), TextHeight(*this, lines));
  const PlotFrame frame(*this, rect().adjusted(0, 0, 0, -text.height()), x, y);
  frame.DrawAxes(p, Qt::black);
  TraceImage trace(frame.Area(), devicePixelRatioF());
  const double bin =
      state_.SampleRate() / static_cast<double>(std::max<std::size_t>(state_.Frames(), 1));
  std::vector<double> xs, ys;
  for (const auto& [s, colour] : {std::pair{&il, kIlColour}, std::pair{&ur, kUrColour}}) {
    xs.clear(), ys.clear();
    // Bin 0 is the mean, off a logarithmic axis.
    for (std::size_t k = x.log ? 1 : 0; k < s->amplitudes.size(); ++k) {
      xs.push_back(frame.X(static_cast<double>(k) * bin));
      ys.push_back(frame.Y(s->Db(s->amplitudes[k])));
    }
    trace.Polyline(xs, ys, colour.rgba());
  }
  trace.Draw(p);
  const QString units = ur.unit == il.unit
                            ? QString::fromStdString(ur.unit)
                            : QString::fromStdString("UR " + ur.unit + ", IL " + il.unit);
  DrawLines(p, text,
            {QStringLiteral("okno ") + QString::fromUtf8(WindowName(state_.Window())) +
                 QStringLiteral(", průměr z ") + QString::number(state_.Average()) +
                 QStringLiteral(", úroveň v ") + units,
             Line("UR", ur), Harmonics(ur), Line("IL", il), Harmonics(il)},
            {Qt::black, kUrColour, kUrColour, kIlColour, kIlColour});
}

}  // namespace lab
