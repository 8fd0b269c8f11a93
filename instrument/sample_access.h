// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads of the sample arrays by a computed index: an index past the end of
// an array reads as 0, the value of entries no capture has written, so that
// no search or copy can leave its array whatever the sample count.
#include "instrument/state.h"

namespace osciloskop {

inline std::int32_t At(const SampleArray& a, long i) {
  return (i >= 0 && i < kSampleArraySize) ? a[static_cast<std::size_t>(i)] : 0;
}

// The last index a pass "from ... to SampleCount inclusive" may write.
inline std::int32_t LastIndex(std::int32_t sample_count) {
  return sample_count < kSampleArraySize ? sample_count : kSampleArraySize - 1;
}

}  // namespace osciloskop
