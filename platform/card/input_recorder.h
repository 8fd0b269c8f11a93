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
//
// The same frames, file or no file, also go to the capture tap when one is
// set: the measuring instrument sees every frame, not only the form's runs.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/card/wav_writer.h"
#include "platform/mm/mmsystem.h"

namespace platform {

// Stereo 16-bit frames at InputRecorder::kRate, called on the thread that
// appends (a real card's capture thread).
using CaptureTap = std::function<void(const std::int16_t* stereo, std::size_t frames)>;

class InputRecorder {
 public:
  static constexpr int kRate = 44100;
  static constexpr std::uint64_t kFromNext = ~std::uint64_t{0};

  // Creates the file at once, so that an unwritable one is refused at
  // start; empty on success, else a message naming the file. The file keeps
  // the frames from the `from`-th frame appended on (counting from 0 for the
  // recorder's first), by default from the next one.
  std::string Create(const std::string& path, std::uint64_t from = kFromNext);
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

  void SetTap(CaptureTap tap);
  // The frames appended before the tap was set (no lock: the tap may ask).
  std::uint64_t TapFrom() const { return tap_from_.load(); }
  // The frames given to the tap since it was set.
  std::uint64_t TapFrames() const;

 private:
  mutable std::mutex mutex_;
  WavWriter writer_;
  std::string path_;
  std::vector<std::int16_t> convert_;  // reused for AppendPcm
  std::uint64_t appended_ = 0;         // frames appended so far, file or not
  std::uint64_t file_from_ = 0;        // the file's first frame in that count
  CaptureTap tap_;
  std::atomic<std::uint64_t> tap_from_{0};

  void AppendLocked(const std::int16_t* stereo, std::size_t frames);
};

}  // namespace platform
