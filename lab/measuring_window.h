// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window "Měření": the readings of the latest quarter second in volts,
// amperes, degrees and ohms, what is wrong with them (clipping, no
// calibration), the generator, the calibration dialog and the log.
#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QTabWidget;
class QPushButton;
class QSpinBox;
class QDoubleSpinBox;

namespace lab {

class Lab;
class CalibrationDialog;
class RemotePanel;

class MeasuringWindow final : public QWidget {
 public:
  explicit MeasuringWindow(Lab& lab);
  ~MeasuringWindow() override;

  // Shows the lab's state as it is now.
  void ShowState();

  // The views beside the readouts, as tabs (reachable with Ctrl+Tab).
  void AddView(QWidget* view, const QString& title);
  QTabWidget* Views() const { return views_; }
  // The shown view's picture, at `size` if valid: empty, or what went wrong.
  std::string SaveView(const std::string& path, QSize size);

 private:
  void ApplyGenerator();
  void LogOrStop();
  void Tell(const std::string& message);

  Lab& lab_;
  QTabWidget* views_;
  QLabel* heading_;
  std::vector<QLabel*> ur_values_, il_values_, pair_values_;
  QLabel* notes_;
  QSpinBox* frequency_;
  QDoubleSpinBox* peak_;
  QPushButton* log_;
  RemotePanel* remote_;
  CalibrationDialog* calibration_ = nullptr;
};

}  // namespace lab
