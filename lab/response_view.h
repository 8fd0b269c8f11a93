// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The view "Frekvenční charakteristika": the sweep's settings, its progress
// and stop, and the Bode plot (magnitude and phase over a logarithmic
// frequency axis) with the resonance, the -3 dB frequencies and Q marked; a
// kept sweep drawn beside the new one. CSV and PNG from its context menu
// and from scripts.
#include <QWidget>
#include <string>
#include <vector>

#include "analysis/response.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace lab {

class Lab;

struct SweepResult {
  analysis::ResponseQuantity quantity = analysis::ResponseQuantity::kTransfer;
  std::vector<analysis::ResponsePoint> points;
};

// The plot alone, drawn with QPainter.
class ResponsePlot final : public QWidget {
 public:
  explicit ResponsePlot(QWidget* parent = nullptr);
  void Show(const SweepResult& now, const SweepResult* kept);
  QSize sizeHint() const override { return {640, 420}; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  SweepResult now_, kept_;
  bool has_kept_ = false;
};

class ResponseView final : public QWidget {
 public:
  explicit ResponseView(Lab& lab);
  void ShowState();
  std::string SaveCsv(const std::string& path) const;
  std::string SavePng(const std::string& path);

 private:
  void StartOrStop();
  void Menu(const QPoint& at);

  Lab& lab_;
  QSpinBox *start_, *stop_, *points_;
  QComboBox* quantity_;
  QDoubleSpinBox* peak_;
  QPushButton *run_, *keep_;
  int shown_serial_ = 0;  // the sweep whose settings the boxes show
  QProgressBar* progress_;
  QLabel* readout_;
  ResponsePlot* plot_;
};

// The CSV of a sweep: frequency, magnitude, phase and both channels' RMS.
std::string ResponseCsv(const SweepResult& sweep);

}  // namespace lab
