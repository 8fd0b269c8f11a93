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

// The first index from i to last inclusive whose entry passes `test`, or
// last + 1. The envelope passes use it to fill a run that stays 0 at once.
template <class Test>
inline std::int32_t FirstFrom(const SampleArray& a, std::int32_t i, std::int32_t last, Test test) {
  // Blocks of 8 without an exit inside, which the compiler can vectorise.
  for (; i + 8 <= last + 1; i += 8) {
    bool any = false;
    for (int k = 0; k < 8; ++k) any |= test(a[static_cast<std::size_t>(i + k)]);
    if (any) break;
  }
  while (i <= last && !test(a[static_cast<std::size_t>(i)])) ++i;
  return i;
}

}  // namespace osciloskop
