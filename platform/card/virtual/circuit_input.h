// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual card's inputs wired to a simulated circuit (--circuit) driven
// by the card's own output (its first channel, the generator). Channel R
// (input 0) and L (input 1) are read across the circuit as its description says;
// 32767 is 1.1 V on the output and on the inputs, and samples beyond full
// scale clip.
//
// How: the output is upsampled kOversample times by a windowed-sinc
// interpolator and the network stepped at that rate (circuit.h), which
// keeps the frequency warp of the integrator below 0.01 dB at 20 kHz; every
// kOversample-th value is taken. The interpolator looks kHalf frames ahead,
// so both inputs lag the output by kHalf frames (about 1.1 ms at 44100), as
// a real card's loopback lags too; with a skew, by kSkewHalf frames and the
// skew more. Channel L's skew is a windowed-sinc fractional delay.
//
// Samples are a function of the output's history: the simulation advances
// monotonically over output frames on demand and keeps what it gave (as
// long as the output history keeps its own), so a frame asked again gets
// the same value. A request far beyond the last one (the inputs idle for a
// while) starts the circuit at rest kWarmUp frames before it.
#include <cstdint>
#include <vector>

#include "platform/card/virtual/circuit.h"
#include "platform/card/virtual/circuit_parser.h"
#include "platform/card/virtual/output_history.h"

namespace platform {

class CircuitInput {
 public:
  static constexpr int kOversample = 16;
  static constexpr int kHalf = 48;           // interpolator taps each side
  static constexpr int kSkewHalf = 32;       // fractional delay taps each side
  static constexpr double kFullScale = 1.1;  // V at 32767
  static constexpr std::int64_t kWarmUp = std::int64_t{1} << 17;
  static constexpr std::int64_t kKept = OutputHistory::kFrames;

  explicit CircuitInput(CircuitDescription description);

  const CircuitDescription& Description() const { return description_; }
  // Input 0 (channel R) or 1 (channel L) at output frame `frame` of
  // `history` (at its rate; 44100 while nothing has been played).
  std::int16_t Sample(const OutputHistory& history, std::int64_t frame, int input);
  // The frames of delay between the output and the inputs.
  std::int64_t Latency() const { return kHalf + delay_; }

 private:
  void Restart(std::int64_t rate, std::int64_t from);
  void Advance(const OutputHistory& history);  // computes frame next_
  double Noise(std::int64_t frame, int input) const;

  CircuitDescription description_;
  CircuitNetwork network_;
  static constexpr int kPoints = 2 * kOversample;  // each substep's inner point and end
  std::vector<float> taps_;                        // [2 * kHalf][kPoints]
  std::vector<double> skew_taps_;                  // [2 * kSkewHalf]
  std::int64_t delay_ = 0;                         // whole frames both channels wait for the skew
  std::int64_t skew_base_ = 0;  // channel L's first tap, frames before the present one
  double noise_rms_ = 0;        // counts

  std::int64_t rate_ = 0;
  std::int64_t first_ = 0;                    // first frame computed since the last restart
  std::int64_t next_ = 0;                     // next frame to compute
  static constexpr std::size_t kRing = 1024;  // > 2 * kHalf and the longest skew window
  std::vector<float> source_;                 // the output in V, twice over, for whole windows
  std::vector<double> r_, l_;                 // the channels before skew and noise, V
  std::vector<std::int16_t> kept_;            // [kKept][2]
};

}  // namespace platform
