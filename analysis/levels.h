// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Levels of one channel's samples: mean, RMS, extremes. Each takes the span
// it is given; WholePeriodFrames says which span that is when the signal has
// a period (the largest whole number of periods that fits, from the start).
#include <cstddef>
#include <cstdint>
#include <span>

namespace analysis {

double Mean(std::span<const double> x);
double Rms(std::span<const double> x);
// RMS without the mean: sqrt(rms^2 - mean^2) over the same span.
double RmsAc(std::span<const double> x);

struct Extremes {
  double min;
  double max;
  double PeakToPeak() const { return max - min; }
};
// Throws std::invalid_argument on an empty span or a sample that is not a
// finite number (naming its index).
Extremes MinMax(std::span<const double> x);

// Frames of the largest whole number of periods of frequency_hz that fits in
// `frames` at sample_rate: round(P * sample_rate / frequency_hz) with
// P = floor(frames * frequency_hz / sample_rate). With no whole period (or a
// frequency that is not positive) all `frames`.
std::size_t WholePeriodFrames(std::size_t frames, double sample_rate, double frequency_hz);

// Whether any 16-bit sample sits at either end of the range.
bool Clipped(std::span<const std::int16_t> raw);

}  // namespace analysis
