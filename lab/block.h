// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One measured quarter second as the views receive it.
#include <span>

#include "analysis/block_analyzer.h"

namespace lab {

struct Block {
  std::span<const double> ur;  // V
  std::span<const double> il;  // A
  const analysis::Readings& readings;
  double time_s;       // of the first frame, since the start
  double sample_rate;  // Hz
  // The level each channel's spectrum reads as 0 dB (a peak amplitude, in
  // V and A), and its unit ("dBFS" until calibrated).
  double ur_reference, il_reference;
  const char* ur_db_unit;
  const char* il_db_unit;
};

}  // namespace lab
