// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text of --circuit: a comma-separated list of key=value.
//   dut=EXPR[,shunt=OHMS]        generator -> dut -> shunt (100 ohm) -> ground
//   top=EXPR,bottom=EXPR         generator -> top -> bottom -> ground
//   noise=DBFS, skew=SECONDS     optional
// EXPR: R<ohm>, C<farad>, L<henry>, D (a silicon diode), joined by '+'
// (series) and '|' (parallel, binds tighter), with parentheses. Numbers take
// the suffixes p n u m k M G.
#include <string>
#include <vector>

namespace platform {

struct CircuitPart {
  enum class Kind { Resistor, Capacitor, Inductor, Diode, Series, Parallel };
  Kind kind = Kind::Resistor;
  double value = 0;                // ohm, F or H
  std::vector<CircuitPart> parts;  // of Series and Parallel
};

struct CircuitDescription {
  enum class Mode { Dut, Divider };
  Mode mode = Mode::Dut;
  // The generator's side (dut or top) and the ground side (the shunt
  // resistor or bottom); channel R and L are read across them by mode.
  CircuitPart upper, lower;
  bool noisy = false;
  double noise_dbfs = 0;  // RMS of the noise, dB of full scale
  double skew = 0;        // s by which channel L lags channel R
  std::string text;
};

// Empty on success; otherwise "at N: what" with N the 1-based position of
// the fault in `text`, and `description` is unchanged.
std::string ParseCircuit(const std::string& text, CircuitDescription& description);

}  // namespace platform
