// The generator's sine, sample-exact to the extended-precision formula.
#include "instrument/sine_samples.h"

#include <cmath>
#include <cstring>

namespace osciloskop {

namespace {

std::int16_t LowBits(long double rounded) {
  return static_cast<std::int16_t>(static_cast<std::int64_t>(rounded) & 0xFFFF);
}

}  // namespace

std::int16_t ExtendedSineSample(std::int64_t i, std::int32_t rate, std::int32_t frequency,
                                std::int32_t amplitude) {
  const long double t = static_cast<long double>(i) / rate;
  const long double angle = t * 3.14159L * 2 * frequency;
  return LowBits(std::nearbyint(std::sin(angle) * amplitude));
}

// The double value differs from the extended one by at most
// amp * (|angle| * 2^-50 + 2^-51): the angle takes four roundings in double
// (t, the constant, two products) and four in extended, each relative, sin
// moves by no more than its argument, and sin and the product with amp add
// an ulp each in either precision. The bound used is four times that; a value
// within it of a rounding half is computed again in extended precision.
void FillSineSamples(unsigned char* out, std::int32_t n, std::int64_t start, std::int32_t rate,
                     std::int32_t frequency, std::int32_t amplitude) {
  const double amp = amplitude;
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int64_t i = start + k;
    const double t = static_cast<double>(i) / rate;
    const double angle = t * 3.14159 * 2 * frequency;
    const double value = std::sin(angle) * amp;
    const double rounded = std::nearbyint(value);
    const double bound = std::fabs(amp) * (std::fabs(angle) * 0x1p-48 + 0x1p-49);
    const std::int16_t sample = 0.5 - std::fabs(value - rounded) > bound
                                    ? LowBits(rounded)
                                    : ExtendedSineSample(i, rate, frequency, amplitude);
    std::memcpy(out + 2 * k, &sample, sizeof sample);
  }
}

}  // namespace osciloskop
