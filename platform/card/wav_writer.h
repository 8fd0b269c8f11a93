// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes 16-bit PCM WAV files through libsndfile as they grow: the header is
// brought up to date after every append (SFC_SET_UPDATE_HEADER_AUTO), so the
// file is complete at any moment and a run that is killed leaves a file that
// plays.
//
// A WAV header counts at most 4 GiB of sound. Frames past that are appended
// after a header that stays at its largest count, as the file's last bytes,
// rather than wrapping the count around: nothing is lost, and the first
// 4 GiB read everywhere.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/card/unique_fd.h"

struct sf_private_tag;  // libsndfile's SNDFILE

namespace platform {

class WavWriter {
 public:
  // The most bytes of sound a WAV header counts (its RIFF size is 36 more).
  static constexpr std::uint64_t kMaxHeaderBytes = 0xFFFFFFFFull - 36;

  // `max_header_bytes` lower than kMaxHeaderBytes only in tests.
  explicit WavWriter(std::uint64_t max_header_bytes = kMaxHeaderBytes)
      : max_header_bytes_(max_header_bytes) {}

  // Empty on success, else a message naming the file and the reason.
  std::string Create(const std::string& path, int channels, int rate);
  bool IsOpen() const { return static_cast<bool>(fd_); }
  int Channels() const { return channels_; }
  void Append(const std::int16_t* interleaved, std::size_t frames);
  std::uint64_t FramesWritten() const { return frames_; }
  void Close();

 private:
  void AppendPastHeader(const std::int16_t* interleaved, std::size_t frames);
  struct Closer {
    void operator()(sf_private_tag* f) const;
  };
  std::uint64_t max_header_bytes_;
  UniqueFd fd_;
  std::unique_ptr<sf_private_tag, Closer> sndfile_;  // null once the header is full
  int channels_ = 0;
  std::uint64_t frames_ = 0;
  std::uint64_t header_frames_ = 0;  // the most the header counts
  std::vector<char> bytes_;          // reused past the header's count
};

}  // namespace platform
