// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the sanitizer builds (the asan preset, the fuzzers) add to the code:
// OSCILOSKOP_SANITIZED is defined when the address sanitizer is on, and
// ArrayGuard is a poisoned gap to put after an array, so that a read or
// write that leaves the array is reported even where another array follows
// at once. In other builds ArrayGuard is an empty class.
#if defined(__SANITIZE_ADDRESS__)
#define OSCILOSKOP_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSCILOSKOP_SANITIZED 1
#endif
#endif

#ifdef OSCILOSKOP_SANITIZED
#include <sanitizer/asan_interface.h>
#endif

namespace platform {

#ifdef OSCILOSKOP_SANITIZED
class ArrayGuard {
 public:
  ArrayGuard() { ASAN_POISON_MEMORY_REGION(bytes_, sizeof bytes_); }
  ~ArrayGuard() { ASAN_UNPOISON_MEMORY_REGION(bytes_, sizeof bytes_); }
  // Copies poison their own gap and never read the other's.
  ArrayGuard(const ArrayGuard&) : ArrayGuard() {}
  ArrayGuard& operator=(const ArrayGuard&) { return *this; }

 private:
  alignas(8) unsigned char bytes_[64];
};
#else
class ArrayGuard {};
#endif

}  // namespace platform
