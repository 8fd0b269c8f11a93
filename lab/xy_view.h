// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "XY": UR across, IL up, the latest quarter second as a line through its
// samples, the three before it fading behind (I-V curves, Lissajous figures).
#include <cstdint>
#include <optional>

#include "lab/plot_frame.h"
#include "lab/plot_view.h"

namespace lab {

class XyView final : public PlotView {
 public:
  explicit XyView(ViewState& state);

 protected:
  void paintEvent(QPaintEvent*) override;
  void AddActions(QMenu& menu) override;

 private:
  void DrawBlock(TraceImage& trace, const PlotFrame& frame, int age, QRgb colour);

  Axis x_, y_;  // kept while the scale is fixed
  // The fading blocks as drawn last, each pixel the age of its latest
  // line: a new block ages them and adds itself, nothing is drawn twice.
  std::optional<TraceImage> history_;
  Axis history_x_, history_y_;
  std::uint64_t history_serial_ = 0;
  std::vector<double> xs_, ys_;
};

}  // namespace lab
