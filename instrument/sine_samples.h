// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The generator's samples: sample i of a sine of `frequency` Hz and peak
// `amplitude` at `rate` samples a second is, in extended precision,
// nearest(sin(i / rate * 3.14159 * 2 * frequency) * amplitude), halves to
// even, kept to its low 16 bits.
#include <cstdint>

namespace osciloskop {

std::int16_t ExtendedSineSample(std::int64_t i, std::int32_t rate, std::int32_t frequency,
                                std::int32_t amplitude);

// n consecutive samples from index start as 16-bit little-endian into out;
// each equals ExtendedSineSample, computed in double where that is proven to
// round alike.
void FillSineSamples(unsigned char* out, std::int32_t n, std::int64_t start, std::int32_t rate,
                     std::int32_t frequency, std::int32_t amplitude);

}  // namespace osciloskop
