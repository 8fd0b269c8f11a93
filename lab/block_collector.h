// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Gathers the card's stereo frames into blocks of a fixed length (a
// quarter second), from whichever thread records, for the GUI thread to
// take in order. Memory is reserved once; when the GUI thread falls behind
// by more than `capacity` blocks the oldest are dropped and counted.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace lab {

class BlockCollector {
 public:
  BlockCollector(std::size_t block_frames, std::size_t capacity);

  // Returns true when a block became ready with this call.
  bool Append(const std::int16_t* stereo, std::size_t frames);
  // The oldest ready block into `stereo` (resized to the block), and the
  // index of its first frame since the first frame appended.
  bool Take(std::vector<std::int16_t>& stereo, std::uint64_t& first_frame);

  std::size_t BlockFrames() const { return block_frames_; }
  // Frames appended so far: the index the next frame will have.
  std::uint64_t Frames() const;
  std::uint64_t Dropped() const;

 private:
  const std::size_t block_frames_;
  mutable std::mutex mutex_;
  std::vector<std::vector<std::int16_t>> ring_;  // ready blocks
  std::vector<std::uint64_t> first_;
  std::size_t head_ = 0, count_ = 0;
  std::vector<std::int16_t> filling_;
  std::size_t filled_ = 0;
  std::uint64_t frames_ = 0;
  std::uint64_t dropped_ = 0;
};

}  // namespace lab
