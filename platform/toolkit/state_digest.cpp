// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/state_digest.h"

#include <cstring>

#include "platform/base/sanitized.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace platform {

struct StateDigest::State {
  XXH3_state_t xxh;
};

StateDigest::StateDigest() : state_(std::make_unique<State>()) { Reset(); }
StateDigest::~StateDigest() = default;

void StateDigest::Reset() {
  XXH3_128bits_reset(&state_->xxh);
  pending_size_ = 0;
}

void StateDigest::Flush() {
  if (pending_size_ == 0) return;
  XXH3_128bits_update(&state_->xxh, pending_, pending_size_);
  pending_size_ = 0;
}

void StateDigest::Gather(const void* p, std::size_t n) {
  if (n > kBlock / 4) {
    AddBytes(p, n);
    return;
  }
  if (pending_size_ + n > kBlock) Flush();
  std::memcpy(pending_ + pending_size_, p, n);
  pending_size_ += n;
}

void StateDigest::AddBytes(const void* p, std::size_t n) {
  Flush();
#ifdef OSCILOSKOP_SANITIZED
  // The poisoned gaps the sanitizer builds put between arrays are never
  // written: they are left out rather than read.
  const char* at = static_cast<const char*>(p);
  const char* end = at + n;
  while (at < end) {
    const char* bad =
        static_cast<const char*>(__asan_region_is_poisoned(const_cast<char*>(at), end - at));
    const char* clean_end = bad ? bad : end;
    XXH3_128bits_update(&state_->xxh, at, clean_end - at);
    at = clean_end;
    while (at < end && __asan_address_is_poisoned(at)) ++at;
  }
#else
  XXH3_128bits_update(&state_->xxh, p, n);
#endif
}

Digest128 StateDigest::Value() {
  Flush();
  const XXH128_hash_t h = XXH3_128bits_digest(&state_->xxh);
  return {h.low64, h.high64};
}

}  // namespace platform
