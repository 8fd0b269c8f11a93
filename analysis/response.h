#pragma once
// The frequency response of a circuit from a stepped-sine sweep: the points'
// frequencies, each point from both channels fitted at the generator's known
// frequency (which rejects noise and harmonics), and what the points show:
// the resonance, the -3 dB frequencies and the quality factor.
#include <optional>
#include <span>
#include <vector>

namespace analysis {

// transfer: UR over the voltage on the IL input (a ratio, shown in dB);
// impedance: UR over the current (ohm).
enum class ResponseQuantity { kTransfer, kImpedance };

struct ResponsePoint {
  double frequency_hz;
  double magnitude;  // ratio or ohm
  double phase_deg;  // of UR against the IL input, (-180, 180]
  double ur_rms;     // V, of the fundamental
  double il_rms;     // V (transfer) or A (impedance), of the fundamental
};

// `points` frequencies from start to stop, spaced logarithmically and rounded
// to whole hertz (the generator's step); those that round to the frequency
// before them are dropped, so there may be fewer.
std::vector<int> SweepFrequencies(int start_hz, int stop_hz, int points);

// One point from both channels (UR in V; IL in V for a transfer, A for an
// impedance) at `frequency_hz`; skew_s is how long IL lags UR. Empty when
// the IL channel holds no measurable tone (a ratio over nothing).
std::optional<ResponsePoint> MeasureResponsePoint(std::span<const double> ur,
                                                  std::span<const double> il, double sample_rate,
                                                  double frequency_hz, double skew_s);

// 20 log10 of a magnitude.
double Decibels(double magnitude);

struct ResponseFeatures {
  std::optional<double> resonance_hz;  // the extreme of the magnitude (phase through 0 near it)
  std::optional<double> resonance_magnitude;
  std::optional<double> corner_low_hz;  // where the magnitude is 3 dB from the reference
  std::optional<double> corner_high_hz;
  std::optional<double> q;  // resonance over the width between the corners
};

// From points in rising frequency. The reference of the corners is the
// resonance where the magnitude has an interior extreme at least 3 dB from
// both ends, else the larger end (the pass band of a low or high pass).
ResponseFeatures FindFeatures(std::span<const ResponsePoint> points);

}  // namespace analysis
