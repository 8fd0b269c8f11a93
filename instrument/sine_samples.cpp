// SPDX-License-Identifier: GPL-3.0-or-later
// The generator's sine, sample-exact to the extended-precision formula.
#include "instrument/sine_samples.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace osciloskop {

namespace {

std::int16_t LowBits(long double rounded) {
  return static_cast<std::int16_t>(static_cast<std::int64_t>(rounded) & 0xFFFF);
}

// 2 pi in three parts, the first two of at most 32 bits, so that n times
// either is exact in extended precision while |n| < 2^31.
constexpr long double kTwoPi1 = 0x1.921fb544p+2;
constexpr long double kTwoPi2 = 0x1.0b4611a6p-32;
constexpr long double kTwoPi3 = 0x1.3198a2e037073p-67;
constexpr long double kInverseTwoPi = 0.159154943091895335768883763372514362L;

// Up to this angle the angle computed in double is near enough; up to the
// second the extended angle is reduced with |n| < 2^31.
constexpr double kDoubleAngle = 0x1p20;
constexpr double kReducedAngle = 0x1p33;

// The sample from value, computed with an error below bound, or in extended
// precision where value lies within bound of a rounding half.
std::int16_t Checked(double value, double bound, std::int64_t i, std::int32_t rate,
                     std::int32_t frequency, std::int32_t amplitude) {
  const double rounded = std::nearbyint(value);
  return 0.5 - std::fabs(value - rounded) > bound
             ? LowBits(rounded)
             : ExtendedSineSample(i, rate, frequency, amplitude);
}

}  // namespace

std::int16_t ExtendedSineSample(std::int64_t i, std::int32_t rate, std::int32_t frequency,
                                std::int32_t amplitude) {
  const long double t = static_cast<long double>(i) / rate;
  const long double angle = t * 3.14159L * 2 * frequency;
  return LowBits(std::nearbyint(std::sin(angle) * amplitude));
}

// In double, the value differs from the extended one by at most
// amp * (|angle| * 2^-50 + 2^-51): the angle takes four roundings in double
// (t, the constant, two products) and four in extended, each relative, sin
// moves by no more than its argument, and sin and the product with amp add
// an ulp each in either precision. For large angles the angle is computed in
// extended precision as the formula does and reduced by 2 pi n in three
// exact or nearly exact steps (error below 2^-60); in double it then differs
// by at most 2^-51 and the value by amp * 1.5 * 2^-51. The bounds used are
// four times those; a value within one of a rounding half is computed again
// in extended precision.
void FillSineSamples(unsigned char* out, std::int32_t n, std::int64_t start, std::int32_t rate,
                     std::int32_t frequency, std::int32_t amplitude) {
  if (n <= 0) return;
  const double amp = amplitude;
  auto angle_of = [&](std::int64_t i) {
    return static_cast<double>(i) / rate * 3.14159 * 2 * frequency;
  };
  const double largest = std::max(std::fabs(angle_of(start)), std::fabs(angle_of(start + n - 1)));
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int64_t i = start + k;
    std::int16_t sample;
    if (largest < kDoubleAngle) {
      const double angle = angle_of(i);
      const double bound = std::fabs(amp) * (std::fabs(angle) * 0x1p-48 + 0x1p-49);
      sample = Checked(std::sin(angle) * amp, bound, i, rate, frequency, amplitude);
    } else if (largest < kReducedAngle) {
      const long double t = static_cast<long double>(i) / rate;
      const long double angle = t * 3.14159L * 2 * frequency;
      const long double turns = std::llrint(angle * kInverseTwoPi);
      const long double r = ((angle - turns * kTwoPi1) - turns * kTwoPi2) - turns * kTwoPi3;
      const double bound = std::fabs(amp) * 0x1p-48;
      sample =
          Checked(std::sin(static_cast<double>(r)) * amp, bound, i, rate, frequency, amplitude);
    } else {
      sample = ExtendedSineSample(i, rate, frequency, amplitude);
    }
    std::memcpy(out + 2 * k, &sample, sizeof sample);
  }
}

}  // namespace osciloskop
