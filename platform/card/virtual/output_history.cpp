// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/output_history.h"

namespace platform {

void OutputHistory::Restart(std::int64_t rate) {
  rate_ = rate;
  for (Entry& e : ring_) e.frame = -1;
}

void OutputHistory::Put(std::int64_t frame, std::int16_t first, std::int16_t second) {
  if (frame < 0) return;
  if (ring_.empty()) ring_.resize(static_cast<std::size_t>(kFrames));
  Entry& e = ring_[static_cast<std::size_t>(frame % kFrames)];
  e.frame = frame;
  e.sample[0] = first;
  e.sample[1] = second;
}

void OutputHistory::Forget(std::int64_t from, std::int64_t to) {
  if (ring_.empty()) return;
  for (std::int64_t f = from; f < to; ++f) {
    if (f < 0) continue;
    Entry& e = ring_[static_cast<std::size_t>(f % kFrames)];
    if (e.frame == f) e.frame = -1;
  }
}

std::int16_t OutputHistory::Get(std::int64_t frame, int channel) const {
  if (ring_.empty() || frame < 0) return 0;
  const Entry& e = ring_[static_cast<std::size_t>(frame % kFrames)];
  return e.frame == frame ? e.sample[channel & 1] : 0;
}

}  // namespace platform
