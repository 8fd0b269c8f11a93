// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Calibrating in the window: what a voltmeter reads for the signal on each
// input now, the true frequency of a reference, the same signal on both
// inputs for their delay, and the shunt typed in.
#include <QDialog>

class QLabel;
class QDoubleSpinBox;

namespace lab {

class Lab;

class CalibrationDialog final : public QDialog {
 public:
  CalibrationDialog(Lab& lab, QWidget* parent);
  void ShowState();

 private:
  void Done(const std::string& error);

  Lab& lab_;
  QLabel* current_;
  QLabel* result_;
  QDoubleSpinBox *ur_, *il_, *clock_, *shunt_;
};

}  // namespace lab
