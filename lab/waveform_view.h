// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Průběh": both channels as whole waves in V (left) and A (right), from the
// falling zero of UR or free, with two time and two level cursors moved by
// the mouse or the keys (1 to 4 pick one, the arrows move it).
#include "lab/plot_view.h"

namespace lab {

class WaveformView final : public PlotView {
 public:
  explicit WaveformView(ViewState& state);

 protected:
  void paintEvent(QPaintEvent*) override;
  void AddActions(QMenu& menu) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  double* Cursor(int which);
  void MoveTo(int which, QPointF at);

  int active_ = 0;  // t1, t2, v1, v2
  bool dragging_ = false;
  QRect area_;
  double t_per_px_ = 1e-5, v_per_px_ = 1e-3;
  double t0_ = 0, v_top_ = 1;
};

}  // namespace lab
