// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What turns the card's numbers into volts, amperes and seconds: the full
// scale of each input, the shunt that turns the IL input's volts into
// amperes, the card clock's error and the lag of channel L behind R. The
// nominal values are the virtual card's exact scale.
#include <optional>
#include <string>

namespace lab {

inline constexpr double kNominalFullScaleV = 1.1;  // 32767 on the card
inline constexpr double kNominalShuntOhm = 100.0;
inline constexpr double kSampleRateHz = 44100.0;

struct Calibration {
  double ur_full_scale_v = kNominalFullScaleV;
  double il_full_scale_v = kNominalFullScaleV;
  double shunt_ohm = kNominalShuntOhm;
  double clock_ppm = 0.0;
  double skew_s = 0.0;  // how long channel L lags channel R
  // The capture volume when the calibration was made, where the card has one.
  std::optional<int> capture_volume;
  // "nominal", "settings" (kept from an earlier run), "user" (made in this
  // run) or "options" (given on the command line).
  std::string source = "nominal";

  bool IsNominal() const;
};

// Each adjustment returns empty, or why it cannot be made (in Czech, shown
// as it is); the calibration is unchanged then.

// A voltmeter reads `true_rms_v` where the instrument reads `measured_rms_v`.
std::string CalibrateFullScale(double& full_scale_v, double measured_rms_v, double true_rms_v);
// A reference of `true_hz` reads `measured_hz` with the clock error in force.
std::string CalibrateClock(double& clock_ppm, double measured_hz, double true_hz);
// The same signal on both inputs reads `phase_deg` at `frequency_hz` with
// the skew in force: the skew that makes it read 0.
std::string CalibrateSkew(double& skew_s, double phase_deg, double frequency_hz);
std::string SetShunt(double& shunt_ohm, double ohm);

}  // namespace lab
