#pragma once
// "XY": UR across, IL up, the latest quarter second as a line through its
// samples, the three before it fading behind (I-V curves, Lissajous figures).
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
  Axis x_, y_;  // kept while the scale is fixed
};

}  // namespace lab
