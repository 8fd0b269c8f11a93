// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The readouts of one block, each once: its key in the dump and the log,
// its Czech name in the window, its unit and how to get it. The window, the
// log and the dump all go through these tables, so they cannot disagree.
#include <optional>
#include <span>

#include "analysis/block_analyzer.h"

namespace lab {

struct ChannelQuantity {
  const char* key;    // dump and log
  const char* label;  // window
  const char* unit;   // nullptr: the channel's own (V or A)
  int digits;         // significant, in the window
  std::optional<double> (*get)(const analysis::ChannelReadings&);
};

struct PairQuantity {
  const char* key;
  const char* label;
  const char* unit;
  int digits;
  std::optional<double> analysis::PairReadings::*member;
};

std::span<const ChannelQuantity> ChannelQuantities();
std::span<const PairQuantity> PairQuantities();

}  // namespace lab
