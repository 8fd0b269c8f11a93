// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the virtual card's output has played, by output frame index, for
// the `generator' loopback input. A ring of the last few seconds; each
// entry remembers its frame index, so a frame that was never played (or has
// been overwritten) reads as silence.
#include <cstdint>
#include <vector>

namespace platform {

class OutputHistory {
 public:
  static constexpr std::int64_t kFrames = std::int64_t{1} << 19;  // about 11.9 s at 44100

  // Forgets everything; frames from now on are at `rate`.
  void Restart(std::int64_t rate);
  std::int64_t Rate() const { return rate_; }
  void Put(std::int64_t frame, std::int16_t first, std::int16_t second);
  // Forgets frames [from, to) (planned but not played).
  void Forget(std::int64_t from, std::int64_t to);
  // Sample `channel` (0 first, 1 second) of the frame, 0 if not played.
  std::int16_t Get(std::int64_t frame, int channel) const;

 private:
  struct Entry {
    std::int64_t frame = -1;
    std::int16_t sample[2] = {0, 0};
  };
  std::vector<Entry> ring_;  // allocated at the first Put
  std::int64_t rate_ = 0;
};

}  // namespace platform
