// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/block_collector.h"

#include <algorithm>

namespace lab {

BlockCollector::BlockCollector(std::size_t block_frames, std::size_t capacity)
    : block_frames_(block_frames),
      ring_(capacity, std::vector<std::int16_t>(2 * block_frames)),
      first_(capacity),
      filling_(2 * block_frames) {}

bool BlockCollector::Append(const std::int16_t* stereo, std::size_t frames) {
  std::lock_guard lock(mutex_);
  bool ready = false;
  while (frames > 0) {
    const std::size_t n = std::min(frames, block_frames_ - filled_);
    std::copy(stereo, stereo + 2 * n, filling_.begin() + static_cast<std::ptrdiff_t>(2 * filled_));
    filled_ += n;
    stereo += 2 * n;
    frames -= n;
    frames_ += n;
    if (filled_ < block_frames_) break;
    if (count_ == ring_.size()) {
      head_ = (head_ + 1) % ring_.size();
      --count_;
      ++dropped_;
    }
    const std::size_t slot = (head_ + count_) % ring_.size();
    ring_[slot].swap(filling_);
    first_[slot] = frames_ - block_frames_;
    ++count_;
    filled_ = 0;
    ready = true;
  }
  return ready;
}

bool BlockCollector::Take(std::vector<std::int16_t>& stereo, std::uint64_t& first_frame) {
  std::lock_guard lock(mutex_);
  if (count_ == 0) return false;
  stereo.resize(2 * block_frames_);
  std::copy(ring_[head_].begin(), ring_[head_].end(), stereo.begin());
  first_frame = first_[head_];
  head_ = (head_ + 1) % ring_.size();
  --count_;
  return true;
}

std::uint64_t BlockCollector::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::uint64_t BlockCollector::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace lab
