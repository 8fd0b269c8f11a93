// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// --record-input: every frame a card records, kept in a 16-bit stereo WAV
// file at 44100 frames per second (the first sample of a frame is the card's
// left input, channel R; the second its right input, channel L). The file is
// written as it grows and its header is brought up to date after every
// append (wav_writer.h), so a run that is interrupted leaves a readable file.
//
// Frame n of the file is the n-th frame the card recorded: on the virtual
// card the input at frame n of the program's run (time n / 44100 s from its
// start), also between two recording runs, so that a replay with file sources
// lines up with the original frame for frame; on a real card the frames its
// capture read one after another from its first start (frames an overrun
// lost are not in it).
//
// Appends may come from any one thread at a time (a real card's capture
// thread); the recorder locks itself.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/card/wav_writer.h"
#include "platform/mm/mmsystem.h"

namespace platform {

class InputRecorder {
 public:
  static constexpr int kRate = 44100;

  // Creates the file at once, so that an unwritable one is refused at
  // start; empty on success, else a message naming the file.
  std::string Create(const std::string& path);
  bool IsOpen() const;
  const std::string& Path() const { return path_; }

  // Stereo 16-bit frames.
  void Append(const std::int16_t* stereo, std::size_t frames);
  // Frames in a capture's own PCM format (8 or 16 bits, mono or stereo; a
  // mono frame goes to both channels). Frames at a rate other than kRate are
  // not recorded: false, once for each such call.
  bool AppendPcm(const char* data, std::size_t frames, const WAVEFORMATEX& format);

  std::uint64_t Frames() const;
  void Close();

 private:
  mutable std::mutex mutex_;
  WavWriter writer_;
  std::string path_;
  std::vector<std::int16_t> convert_;  // reused for AppendPcm
};

}  // namespace platform
