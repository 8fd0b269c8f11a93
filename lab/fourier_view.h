// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Spektrum": both channels' amplitude spectra in dB over a logarithmic or
// linear frequency axis, with each one's peak, THD, THD+N and harmonics.
#include "lab/plot_view.h"

namespace lab {

class SpectrumView final : public PlotView {
 public:
  explicit SpectrumView(ViewState& state);

 protected:
  void paintEvent(QPaintEvent*) override;
  void AddActions(QMenu& menu) override;
};

}  // namespace lab
