// SPDX-License-Identifier: GPL-3.0-or-later
// The generator's fast fill against the extended-precision formula, sample
// for sample, over ten million consecutive samples at the frequencies and
// peaks in use, from the start and across the point where the running index
// leaves the 32-bit range (about 13.5 hours of playing).
#include "instrument/sine_samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace osciloskop {
namespace {

constexpr std::int32_t kRate = 44100;
constexpr std::int32_t kBuffer = 11000;

std::int16_t Extended(std::int64_t i, std::int32_t frequency, std::int32_t amplitude) {
  const long double t = static_cast<long double>(i) / kRate;
  const long double angle = t * 3.14159L * 2 * frequency;
  return static_cast<std::int16_t>(
      static_cast<std::int64_t>(std::nearbyint(std::sin(angle) * amplitude)) & 0xFFFF);
}

// Buffers from `first` on, each at the next frequency and peak in turn.
long Mismatches(std::int64_t first, int buffers) {
  static constexpr std::int32_t kFrequencies[] = {100, 1000, 10000, 20000};
  static constexpr std::int32_t kPeaks[] = {3276, 32767};
  std::vector<unsigned char> bytes(2 * kBuffer);
  long bad = 0;
  for (int b = 0; b < buffers; ++b) {
    const std::int32_t frequency = kFrequencies[b % 4];
    const std::int32_t peak = kPeaks[b / 4 % 2];
    const std::int64_t start = (first + b) * kBuffer;
    FillSineSamples(bytes.data(), kBuffer, start, kRate, frequency, peak);
    for (std::int32_t k = 0; k < kBuffer; ++k) {
      std::int16_t got;
      std::memcpy(&got, bytes.data() + 2 * k, sizeof got);
      const std::int16_t want = Extended(start + k, frequency, peak);
      if (got != want && ++bad <= 5)
        ADD_FAILURE() << "sample " << start + k << " at " << frequency << " Hz, peak " << peak
                      << ": " << got << " instead of " << want;
    }
  }
  return bad;
}

TEST(SineSamples, TenMillionSamplesEqualTheExtendedFormula) {
  constexpr int kBuffers = 455;  // twice: 10 010 000 samples
  EXPECT_EQ(Mismatches(0, kBuffers), 0);
  const std::int64_t past32Bits = (std::int64_t{1} << 31) / kBuffer + 1;
  EXPECT_EQ(Mismatches(past32Bits - kBuffers / 2, kBuffers), 0);
}

TEST(SineSamples, PeakAndSilenceAndPhaseContinuity) {
  std::vector<unsigned char> one(2 * 441), two(2 * 441);
  // 100 Hz at 44100: a quarter period is 110.25 samples, so the peak is reached.
  FillSineSamples(one.data(), 441, 0, kRate, 100, 32767);
  std::int16_t top = 0;
  for (int k = 0; k < 441; ++k) {
    std::int16_t s;
    std::memcpy(&s, one.data() + 2 * k, sizeof s);
    top = std::max(top, s);
  }
  EXPECT_EQ(top, 32767);
  // Two halves filled from their own start indices make up the whole.
  FillSineSamples(two.data(), 200, 0, kRate, 100, 32767);
  FillSineSamples(two.data() + 400, 241, 200, kRate, 100, 32767);
  EXPECT_EQ(one, two);
  FillSineSamples(one.data(), 441, 12345, kRate, 1000, 0);
  EXPECT_EQ(one, std::vector<unsigned char>(2 * 441, 0));
}

}  // namespace
}  // namespace osciloskop
