// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/measuring_window.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "lab/calibration_dialog.h"
#include "lab/lab.h"
#include "lab/plot_frame.h"
#include "lab/readout_table.h"
#include "lab/remote_panel.h"
#include "lab/si_format.h"
#include "lab/fourier_view.h"
#include "lab/waveform_view.h"
#include "lab/xy_view.h"
#include "platform/dialogs/save_dialog.h"
#include "platform/dialogs/warning.h"

namespace lab {

namespace {

QLabel* ValueLabel() {
  auto* l = new QLabel(QStringLiteral("—"));
  l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  l->setMinimumWidth(120);
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

MeasuringWindow::MeasuringWindow(Lab& lab) : lab_(lab) {
  setWindowTitle(QStringLiteral("Měření"));
  // The form keeps the focus and its look: the user comes here by a click.
  setAttribute(Qt::WA_ShowWithoutActivating);
  // The typeface the program loaded for the form, regular as in dialogs.
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(13);
  setFont(font);
  auto* top = new QVBoxLayout(this);
  views_ = new QTabWidget;
  auto* readouts = new QWidget;
  auto* page = new QVBoxLayout(readouts);
  heading_ = new QLabel;
  page->addWidget(heading_);

  auto* table = new QGridLayout;
  table->addWidget(new QLabel(QStringLiteral("napětí UR")), 0, 1, Qt::AlignRight);
  table->addWidget(new QLabel(QStringLiteral("proud IL")), 0, 2, Qt::AlignRight);
  int row = 1;
  for (const ChannelQuantity& q : ChannelQuantities()) {
    table->addWidget(new QLabel(QString::fromUtf8(q.label)), row, 0);
    ur_values_.push_back(ValueLabel());
    il_values_.push_back(ValueLabel());
    table->addWidget(ur_values_.back(), row, 1);
    table->addWidget(il_values_.back(), row++, 2);
  }
  for (const PairQuantity& q : PairQuantities()) {
    table->addWidget(new QLabel(QString::fromUtf8(q.label)), row, 0);
    pair_values_.push_back(ValueLabel());
    table->addWidget(pair_values_.back(), row++, 1, 1, 2);
  }
  page->addLayout(table);
  page->addStretch();
  views_->addTab(readouts, QStringLiteral("Hodnoty"));
  // In the order of View.
  AddView(new XyView(lab_.Views()), QStringLiteral("XY"));
  AddView(new SpectrumView(lab_.Views()), QStringLiteral("Spektrum"));
  AddView(new WaveformView(lab_.Views()), QStringLiteral("Průběh"));
  views_->setCurrentIndex(static_cast<int>(lab_.Views().view));
  connect(views_, &QTabWidget::currentChanged, this,
          [this](int index) { lab_.Views().view = static_cast<View>(index); });
  top->addWidget(views_);

  notes_ = new QLabel;
  notes_->setWordWrap(true);
  notes_->setStyleSheet(QStringLiteral("color: #b00000"));
  top->addWidget(notes_);

  auto* generator = new QGroupBox(QStringLiteral("Generátor"));
  auto* g = new QHBoxLayout(generator);
  frequency_ = new QSpinBox;
  frequency_->setRange(10, 20000);
  frequency_->setSuffix(QStringLiteral(" Hz"));
  peak_ = new QDoubleSpinBox;
  peak_->setLocale(QLocale::c());
  peak_->setRange(0, 1.1);
  peak_->setDecimals(3);
  peak_->setSingleStep(0.01);
  peak_->setSuffix(QStringLiteral(" V"));
  auto* set = new QPushButton(QStringLiteral("Nastavit"));
  connect(set, &QPushButton::clicked, this, [this] { ApplyGenerator(); });
  g->addWidget(new QLabel(QStringLiteral("frekvence")));
  g->addWidget(frequency_);
  g->addWidget(new QLabel(QStringLiteral("amplituda (špička)")));
  g->addWidget(peak_);
  g->addWidget(set);
  top->addWidget(generator);
  remote_ = new RemotePanel(lab_);
  top->addWidget(remote_);
  const GeneratorSetting now = lab_.Generator();
  frequency_->setValue(now.frequency_hz);
  peak_->setValue(now.amplitude / 32767.0 * kNominalFullScaleV);

  auto* buttons = new QHBoxLayout;
  auto* calibrate = new QPushButton(QStringLiteral("Kalibrace…"));
  connect(calibrate, &QPushButton::clicked, this, [this] {
    if (!calibration_) calibration_ = new CalibrationDialog(lab_, this);
    calibration_->ShowState();
    calibration_->show();
    calibration_->raise();
  });
  log_ = new QPushButton;
  connect(log_, &QPushButton::clicked, this, [this] { LogOrStop(); });
  auto* close = new QPushButton(QStringLiteral("Zavřít"));
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  buttons->addWidget(calibrate);
  buttons->addWidget(log_);
  buttons->addStretch();
  buttons->addWidget(close);
  top->addLayout(buttons);
  ShowState();
}

MeasuringWindow::~MeasuringWindow() = default;

void MeasuringWindow::AddView(QWidget* view, const QString& title) { views_->addTab(view, title); }

std::string MeasuringWindow::SaveView(const std::string& path, QSize size) {
  if (auto* plot = dynamic_cast<PlotView*>(views_->currentWidget()))
    return plot->SavePng(path, size);
  QWidget* page = views_->currentWidget();
  const QSize old = page->size();
  if (size.isValid()) page->resize(size);
  std::string e = SaveWidgetPng(*page, path);
  if (size.isValid()) page->resize(old);
  return e;
}

void MeasuringWindow::ShowState() {
  const int shown = static_cast<int>(lab_.Views().view);
  if (views_->currentIndex() != shown) views_->setCurrentIndex(shown);
  // Only the view in sight is drawn.
  if (shown != 0) views_->currentWidget()->update();
  const auto& latest = lab_.Latest();
  const Calibration& c = lab_.CurrentCalibration();
  heading_->setText(Text("kalibrace: " + c.source + (latest ? "" : " · bez vstupu")));
  std::size_t i = 0;
  for (const ChannelQuantity& q : ChannelQuantities()) {
    const auto show = [&](QLabel* label, const analysis::ChannelReadings* ch, const char* unit) {
      label->setText(
          Text(FormatReadout(ch ? q.get(*ch) : std::nullopt, q.unit ? q.unit : unit, q.digits)));
    };
    show(ur_values_[i], latest ? &latest->ur : nullptr, "V");
    show(il_values_[i], latest ? &latest->il : nullptr, "A");
    ++i;
  }
  i = 0;
  for (const PairQuantity& q : PairQuantities())
    pair_values_[i++]->setText(
        Text(FormatReadout(latest ? latest->pair.*q.member : std::nullopt, q.unit, q.digits)));
  std::string notes;
  for (const std::string& n : lab_.Notes()) notes += (notes.empty() ? "" : "\n") + n;
  notes_->setText(Text(notes));
  log_->setText(lab_.Log().IsOpen() ? QStringLiteral("Ukončit záznam")
                                    : QStringLiteral("Zaznamenávat…"));
  if (calibration_) calibration_->ShowState();
  remote_->ShowState();
}

void MeasuringWindow::ApplyGenerator() {
  if (std::string e = lab_.SetGenerator(frequency_->value(), peak_->value()); !e.empty()) Tell(e);
}

void MeasuringWindow::LogOrStop() {
  if (lab_.Log().IsOpen()) {
    lab_.StopLog();
    ShowState();
    return;
  }
  platform::AskSaveFile(this, QStringLiteral("Zaznamenávat měření"),
                        QDir::home().filePath(QStringLiteral("mereni.csv")),
                        QStringLiteral("Data CSV (*.csv)"), [this](const QString& file) {
                          if (std::string e = lab_.StartLog(file.toStdString()); !e.empty())
                            Tell(e);
                          ShowState();
                        });
}

void MeasuringWindow::Tell(const std::string& message) {
  platform::ShowWarning(this, QStringLiteral("Měření"), Text(message));
}

}  // namespace lab
