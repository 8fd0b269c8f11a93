// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/calibration.h"

#include <cmath>

namespace lab {

bool Calibration::IsNominal() const {
  return ur_full_scale_v == kNominalFullScaleV && il_full_scale_v == kNominalFullScaleV &&
         shunt_ohm == kNominalShuntOhm && clock_ppm == 0.0 && skew_s == 0.0;
}

std::string CalibrateFullScale(double& full_scale_v, double measured_rms_v, double true_rms_v) {
  if (!(true_rms_v > 0) || !std::isfinite(true_rms_v))
    return "napětí voltmetru musí být kladné číslo";
  if (!(measured_rms_v > 0) || !std::isfinite(measured_rms_v))
    return "na vstupu není signál, podle kterého kalibrovat";
  const double scale = full_scale_v * true_rms_v / measured_rms_v;
  if (!(scale >= 1e-3 && scale <= 1e3))
    return "z toho by plný rozsah vstupu byl mimo 1 mV až 1000 V";
  full_scale_v = scale;
  return {};
}

std::string CalibrateClock(double& clock_ppm, double measured_hz, double true_hz) {
  if (!(true_hz > 0) || !std::isfinite(true_hz)) return "frekvence reference musí být kladné číslo";
  if (!(measured_hz > 0)) return "na vstupu není tón, podle kterého kalibrovat";
  const double ppm = ((1 + clock_ppm * 1e-6) * true_hz / measured_hz - 1) * 1e6;
  if (!(std::fabs(ppm) <= 1e4)) return "hodiny karty by se lišily o více než 1 %";
  clock_ppm = ppm;
  return {};
}

std::string CalibrateSkew(double& skew_s, double phase_deg, double frequency_hz) {
  if (!(frequency_hz > 0) || !std::isfinite(phase_deg)) return "na obou vstupech musí být týž tón";
  const double skew = skew_s - phase_deg / (360.0 * frequency_hz);
  if (!(std::fabs(skew) <= 1e-3)) return "zpoždění kanálů by bylo přes 1 ms";
  skew_s = skew;
  return {};
}

std::string SetShunt(double& shunt_ohm, double ohm) {
  if (!(ohm >= 1e-3 && ohm <= 1e9)) return "snímací odpor musí být od 1 mΩ do 1 GΩ";
  shunt_ohm = ohm;
  return {};
}

}  // namespace lab
