// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/calibration_dialog.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

#include "lab/lab.h"
#include "lab/si_format.h"

namespace lab {

namespace {

QDoubleSpinBox* Number(double low, double high, double value, int decimals, const char* unit) {
  auto* box = new QDoubleSpinBox;
  box->setLocale(QLocale::c());  // a decimal point, as every readout has
  box->setRange(low, high);
  box->setDecimals(decimals);
  box->setValue(value);
  box->setSuffix(QString::fromUtf8(unit));
  return box;
}

}  // namespace

CalibrationDialog::CalibrationDialog(Lab& lab, QWidget* parent)
    : QDialog(parent), lab_(lab), current_(new QLabel), result_(new QLabel) {
  setWindowTitle(QStringLiteral("Kalibrace"));
  ur_ = Number(0.0001, 1000, 0.5, 4, " V");
  il_ = Number(0.0001, 1000, 0.5, 4, " V");
  clock_ = Number(1, 20000, 1000, 3, " Hz");
  shunt_ = Number(0.001, 1e9, lab.CurrentCalibration().shunt_ohm, 3, " Ω");
  auto* grid = new QGridLayout(this);
  int row = 0;
  grid->addWidget(current_, row++, 0, 1, 3);
  const auto line = [&](const char* label, QWidget* field, const char* button, auto action) {
    grid->addWidget(new QLabel(QString::fromUtf8(label)), row, 0);
    if (field) grid->addWidget(field, row, 1);
    auto* b = new QPushButton(QString::fromUtf8(button));
    connect(b, &QPushButton::clicked, this, action);
    grid->addWidget(b, row++, 2);
  };
  line("UR: voltmetr ukazuje (efektivní)", ur_, "Kalibrovat UR",
       [this] { Done(lab_.CalibrateUr(ur_->value())); });
  line("vstup IL: voltmetr ukazuje (efektivní)", il_, "Kalibrovat IL",
       [this] { Done(lab_.CalibrateIl(il_->value())); });
  line("přesná frekvence reference", clock_, "Kalibrovat hodiny",
       [this] { Done(lab_.CalibrateClockTo(clock_->value())); });
  line("týž signál na oba vstupy", nullptr, "Kalibrovat zpoždění",
       [this] { Done(lab_.CalibrateSkewNow()); });
  line("snímací odpor (bočník)", shunt_, "Nastavit",
       [this] { Done(lab_.SetShuntOhm(shunt_->value())); });
  line("", nullptr, "Jmenovité hodnoty", [this] { Done(lab_.ResetCalibration()); });
  result_->setWordWrap(true);
  grid->addWidget(result_, row++, 0, 1, 3);
  auto* close = new QPushButton(QStringLiteral("Zavřít"));
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  grid->addWidget(close, row, 2);
  ShowState();
}

void CalibrationDialog::ShowState() {
  const Calibration& c = lab_.CurrentCalibration();
  current_->setText(QString::fromStdString(
      "plný rozsah UR " + FormatSi(c.ur_full_scale_v, "V") + ", IL " +
      FormatSi(c.il_full_scale_v, "V") + ", bočník " + FormatSi(c.shunt_ohm, "Ω") + ", hodiny " +
      FormatReadout(c.clock_ppm, "", 5) + " ppm, zpoždění IL " + FormatSi(c.skew_s, "s")));
}

void CalibrationDialog::Done(const std::string& error) {
  result_->setText(error.empty() ? QStringLiteral("hotovo") : QString::fromStdString(error));
  ShowState();
}

}  // namespace lab
