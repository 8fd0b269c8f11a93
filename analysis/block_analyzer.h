// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the instrument reads from one block of both channels (a quarter
// second): UR in volts, IL in amperes, already scaled by the caller.
#include <cstddef>
#include <optional>
#include <span>

#include "analysis/sine_fit.h"

namespace analysis {

struct ChannelReadings {
  std::optional<double> frequency;  // Hz, of the fundamental
  double rms;                       // over whole periods where there is a period
  double rms_ac;                    // the same without the mean
  double mean;                      // over whole periods where there is a period
  double peak_to_peak;              // over the whole block
  double max;
  double min;
  std::optional<double> thd_percent;
  bool clipped;
};

struct PairReadings {
  std::optional<double> phase_deg;  // of IL relative to UR, (-180, 180], + when the current leads
  std::optional<double> delay_s;    // of IL after UR: -phase / (360 f)
  std::optional<double> impedance_ohm;  // |U/I| of the fundamentals
  std::optional<double> resistance_ohm;
  std::optional<double> reactance_ohm;       // < 0 for a capacitor
  std::optional<double> power_w;             // mean(u*i) over whole periods
  std::optional<double> apparent_power_va;   // Urms * Irms
  std::optional<double> reactive_power_var;  // sign(reactance) * sqrt(S^2 - P^2)
  std::optional<double> power_factor;        // P / S
};

struct Readings {
  ChannelReadings ur;
  ChannelReadings il;
  PairReadings pair;
};

struct BlockScale {
  double sample_rate = 44100;   // nominal, Hz
  double clock_ppm = 0;         // the card's clock error: effective rate = nominal * (1 + ppm 1e-6)
  double skew_s = 0;            // how long the IL channel lags the UR channel
  double ur_min_amplitude = 0;  // a smaller fundamental is no tone (a few LSB, in V)
  double il_min_amplitude = 0;  // the same for the current (A)
};

class BlockAnalyzer {
 public:
  // Everything per block is made here, for blocks up to max_frames.
  explicit BlockAnalyzer(std::size_t max_frames);

  // Throws std::invalid_argument when the channels differ in length, a block
  // is empty or longer than max_frames, or a sample is not a finite number.
  Readings Measure(std::span<const double> ur, std::span<const double> il, const BlockScale& scale,
                   bool ur_clipped, bool il_clipped);

 private:
  std::size_t max_frames_;
  SineFitter fitter_;
};

}  // namespace analysis
