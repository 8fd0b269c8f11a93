// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/response_view.h"

#include <QBuffer>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "lab/file_output.h"
#include "lab/lab.h"
#include "lab/plot_frame.h"
#include "lab/si_format.h"
#include "platform/dialogs/save_dialog.h"
#include "platform/dialogs/warning.h"

namespace lab {

namespace {

using analysis::ResponseQuantity;

QString Text(const std::string& s) { return QString::fromStdString(s); }

bool IsTransfer(const SweepResult& s) { return s.quantity == ResponseQuantity::kTransfer; }

}  // namespace

ResponsePlot::ResponsePlot(QWidget* parent) : QWidget(parent) {
  setMinimumSize(480, 320);
  setAutoFillBackground(true);
  setPalette(QPalette(Qt::white));
}

void ResponsePlot::Show(const SweepResult& now, const SweepResult* kept) {
  now_ = now;
  has_kept_ = kept != nullptr && kept->quantity == now.quantity && !kept->points.empty();
  if (has_kept_) kept_ = *kept;
  update();
}

void ResponsePlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  std::vector<const SweepResult*> shown{&now_};
  if (has_kept_) shown.insert(shown.begin(), &kept_);
  const bool transfer = IsTransfer(now_);
  double fmin = 10, fmax = 20000, mlo = 1e300, mhi = -1e300, plo = -90, phi = 90;
  bool any = false;
  for (const SweepResult* s : shown)
    for (const auto& pt : s->points) {
      if (!any) fmin = fmax = pt.frequency_hz;
      any = true;
      fmin = std::min(fmin, pt.frequency_hz);
      fmax = std::max(fmax, pt.frequency_hz);
      mlo = std::min(mlo, pt.magnitude);
      mhi = std::max(mhi, pt.magnitude);
      plo = std::min(plo, pt.phase_deg);
      phi = std::max(phi, pt.phase_deg);
    }
  if (!any || fmax <= fmin) fmin = fmin / 1.5, fmax = fmax * 1.5;
  if (!any) mlo = transfer ? 0.1 : 1, mhi = transfer ? 1 : 1000;
  // Magnitude: dB of a transfer, ohms on a logarithmic axis of an impedance;
  // phase in steps of 45 degrees (90 over more than a turn).
  const Axis fx{fmin, fmax, true, "Hz"};
  const Axis my = transfer ? Axis{std::floor(analysis::Decibels(mlo) / 3 - 1) * 3,
                                  std::ceil(analysis::Decibels(mhi) / 3 + 1) * 3, false, "dB"}
                           : Axis{mlo / 1.25, mhi * 1.25, true, "Ω"};
  const Axis py{std::floor(plo / 45) * 45, std::ceil(phi / 45) * 45, false, "°",
                phi - plo > 360 ? 90.0 : 45.0};
  const auto mag_value = [&](double m) { return transfer ? analysis::Decibels(m) : m; };

  // Two panels, their frequency axes in line.
  const int split = height() * 55 / 100;
  const int left = std::max(PlotFrame::LeftRoom(*this, my), PlotFrame::LeftRoom(*this, py));
  const PlotFrame mag(*this, QRect(0, 0, width(), split), fx, my, nullptr, left);
  const PlotFrame phase(*this, QRect(0, split, width(), height() - split), fx, py, nullptr, left);
  mag.DrawAxes(p, Qt::black);
  phase.DrawAxes(p, Qt::black);

  // The sweeps: the kept one grey under the new one, points and a line.
  p.setRenderHint(QPainter::Antialiasing);
  for (const SweepResult* s : shown) {
    const QColor color = s == &kept_ ? QColor(150, 150, 150) : QColor(20, 80, 200);
    for (const bool is_phase : {false, true}) {
      const PlotFrame& f = is_phase ? phase : mag;
      QPainterPath line;
      std::vector<QPointF> dots;
      for (const auto& pt : s->points) {
        const QPointF at(f.X(pt.frequency_hz),
                         is_phase ? f.Y(pt.phase_deg) : f.Y(mag_value(pt.magnitude)));
        if (dots.empty())
          line.moveTo(at);
        else
          line.lineTo(at);
        dots.push_back(at);
      }
      p.setClipRect(f.Area());
      p.setPen(QPen(color, 1.5));
      p.setBrush(Qt::NoBrush);
      p.drawPath(line);
      p.setBrush(color);
      for (const QPointF& d : dots) p.drawEllipse(d, 2.5, 2.5);
      p.setClipping(false);
    }
  }
  // Markers of the new sweep's resonance and corners.
  const QFontMetrics fm = p.fontMetrics();
  const analysis::ResponseFeatures feat = analysis::FindFeatures(now_.points);
  // Each label on a line of its own: a narrow resonance puts them close.
  const auto mark = [&](std::optional<double> f, const QColor& color, Qt::PenStyle style,
                        const std::string& what, int line) {
    if (!f) return;
    const double x = mag.X(*f);
    p.setPen(QPen(color, 1, style));
    for (const PlotFrame* panel : {&mag, &phase})
      p.drawLine(QPointF(x, panel->Area().top()), QPointF(x, panel->Area().bottom()));
    p.drawText(QPointF(x + 3, mag.Area().top() + 2 + fm.ascent() + line * fm.lineSpacing()),
               Text(what));
  };
  mark(feat.resonance_hz, QColor(200, 30, 30), Qt::SolidLine, "f0", 0);
  mark(feat.corner_low_hz, QColor(30, 140, 30), Qt::DashLine, "-3 dB", 1);
  mark(feat.corner_high_hz, QColor(30, 140, 30), Qt::DashLine, "-3 dB", 2);
}

ResponseView::ResponseView(Lab& lab) : lab_(lab) {
  auto* top = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  const auto spin = [&](const char* label, int lo, int hi, int value, const char* suffix) {
    row->addWidget(new QLabel(QString::fromUtf8(label)));
    auto* s = new QSpinBox;
    s->setRange(lo, hi);
    s->setValue(value);
    s->setSuffix(QString::fromUtf8(suffix));
    row->addWidget(s);
    return s;
  };
  start_ = spin("od", 10, 20000, 20, " Hz");
  stop_ = spin("do", 10, 20000, 20000, " Hz");
  points_ = spin("bodů", 2, 500, 31, "");
  quantity_ = new QComboBox;
  quantity_->addItem(QStringLiteral("přenos UR/UIL"));
  quantity_->addItem(QStringLiteral("impedance UR/IL"));
  row->addWidget(quantity_);
  row->addWidget(new QLabel(QStringLiteral("amplituda")));
  peak_ = new QDoubleSpinBox;
  peak_->setRange(0.001, kNominalFullScaleV);
  peak_->setDecimals(3);
  peak_->setValue(0.5);
  peak_->setSuffix(QStringLiteral(" V"));
  row->addWidget(peak_);
  run_ = new QPushButton(QStringLiteral("Spustit"));
  keep_ = new QPushButton(QStringLiteral("Ponechat pro srovnání"));
  row->addWidget(run_);
  row->addWidget(keep_);
  row->addStretch();
  top->addLayout(row);
  progress_ = new QProgressBar;
  top->addWidget(progress_);
  plot_ = new ResponsePlot;
  plot_->setContextMenuPolicy(Qt::CustomContextMenu);
  top->addWidget(plot_, 1);
  readout_ = new QLabel;
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(readout_);
  connect(run_, &QPushButton::clicked, this, [this] { StartOrStop(); });
  connect(keep_, &QPushButton::clicked, this, [this] {
    lab_.KeepSweep();
    ShowState();
  });
  connect(plot_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { Menu(at); });
  ShowState();
}

void ResponseView::StartOrStop() {
  if (lab_.Sweep().Running()) {
    lab_.StopSweep();
    return;
  }
  SweepSettings s;
  s.start_hz = start_->value();
  s.stop_hz = stop_->value();
  s.points = points_->value();
  s.quantity =
      quantity_->currentIndex() == 1 ? ResponseQuantity::kImpedance : ResponseQuantity::kTransfer;
  s.peak_v = peak_->value();
  if (std::string e = lab_.StartSweep(s); !e.empty())
    platform::ShowWarning(this, QStringLiteral("Frekvenční charakteristika"), Text(e));
}

void ResponseView::Menu(const QPoint& at) {
  QMenu menu(this);
  QAction* csv = menu.addAction(QStringLiteral("Uložit jako CSV…"));
  menu.addAction(QStringLiteral("Uložit jako PNG…"));
  QAction* chosen = menu.exec(plot_->mapToGlobal(at));
  if (!chosen) return;
  const bool as_csv = chosen == csv;
  platform::AskSaveFile(
      this, chosen->text().remove(QChar(0x2026)),
      QDir::home().filePath(as_csv ? QStringLiteral("charakteristika.csv")
                                   : QStringLiteral("charakteristika.png")),
      as_csv ? QStringLiteral("Data CSV (*.csv)") : QStringLiteral("Obrázek PNG (*.png)"),
      [this, as_csv](const QString& path) {
        const std::string e = as_csv ? SaveCsv(path.toStdString()) : SavePng(path.toStdString());
        if (!e.empty())
          platform::ShowWarning(this, QStringLiteral("Frekvenční charakteristika"), Text(e));
      });
}

void ResponseView::ShowState() {
  const ResponseSweep& sweep = lab_.Sweep();
  // A sweep begun from a script or a remote client shows what it runs, once.
  if (sweep.Planned() > 0 && sweep.Serial() != shown_serial_) {
    shown_serial_ = sweep.Serial();
    const SweepSettings& s = sweep.Settings();
    start_->setValue(s.start_hz);
    stop_->setValue(s.stop_hz);
    points_->setValue(s.points);
    quantity_->setCurrentIndex(s.quantity == ResponseQuantity::kImpedance ? 1 : 0);
    peak_->setValue(s.peak_v);
  }
  run_->setText(sweep.Running() ? QStringLiteral("Zastavit") : QStringLiteral("Spustit"));
  progress_->setRange(0, std::max(1, sweep.Planned()));
  progress_->setValue(sweep.Measured());
  const SweepResult now = lab_.CurrentSweep();
  plot_->Show(now, lab_.KeptSweep() ? &*lab_.KeptSweep() : nullptr);
  const analysis::ResponseFeatures f = analysis::FindFeatures(now.points);
  const std::string unit = IsTransfer(now) ? "" : "Ω";
  std::string text;
  if (f.resonance_hz)
    text +=
        "rezonance " + FormatSi(f.resonance_hz, "Hz", 5) + " (" +
        (IsTransfer(now) ? FormatReadout(analysis::Decibels(*f.resonance_magnitude), "", 4) + " dB"
                         : FormatSi(f.resonance_magnitude, "Ω", 4)) +
        ")   ";
  if (f.corner_low_hz) text += "dolní −3 dB " + FormatSi(f.corner_low_hz, "Hz", 5) + "   ";
  if (f.corner_high_hz) text += "horní −3 dB " + FormatSi(f.corner_high_hz, "Hz", 5) + "   ";
  if (f.q) text += "Q " + FormatReadout(f.q, "", 5);
  if (!sweep.Problem().empty()) text += (text.empty() ? "" : "   ") + sweep.Problem();
  readout_->setText(Text(text));
}

std::string ResponseCsv(const SweepResult& sweep) {
  const bool transfer = IsTransfer(sweep);
  std::string out = transfer ? "frequency_Hz,magnitude_dB,phase_deg,ur_rms_V,il_rms_V\n"
                             : "frequency_Hz,magnitude_ohm,phase_deg,ur_rms_V,il_rms_A\n";
  for (const auto& p : sweep.points) {
    char row[160];
    std::snprintf(row, sizeof row, "%.0f,%.6g,%.5f,%.6g,%.6g\n", p.frequency_hz,
                  transfer ? analysis::Decibels(p.magnitude) : p.magnitude, p.phase_deg, p.ur_rms,
                  p.il_rms);
    out += row;
  }
  return out;
}

std::string ResponseView::SaveCsv(const std::string& path) const {
  return SaveText(path, ResponseCsv(lab_.CurrentSweep()));
}

std::string ResponseView::SavePng(const std::string& path) {
  ShowState();
  return SaveWidgetPng(*this, path);
}

}  // namespace lab
