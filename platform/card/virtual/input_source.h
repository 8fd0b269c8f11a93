// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A signal for one input of the virtual card, described by text:
//   silence | sine:HZ[:PEAK] | square:HZ[:PEAK] | file:FILE[:CHANNEL] | generator
// (`wav:` is another name for `file:`). Samples are a pure function of the
// absolute frame index, so a run gives the same bytes every time. PEAK is
// 0..32767 (default 16000); CHANNEL is the file's channel, 0 (first, the
// default) or 1. A sound file (sound_file.h) plays in a loop. `generator` is
// the card's own output, which the card looks up itself; SampleAt gives 0
// for it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class InputSource {
 public:
  enum class Kind { Silence, Sine, Square, File, Generator };
  static constexpr double kDefaultPeak = 16000.0;

  // Empty on success; otherwise a message naming what is wrong, and the
  // source is unchanged.
  std::string Parse(const std::string& source);
  // The same refusals as Parse, changing nothing: a regular file is decoded
  // (its decoder's warnings dropped), a pipe is left for Parse to read.
  static std::string Check(const std::string& source);

  Kind kind() const { return kind_; }
  const std::string& Text() const { return text_; }
  // Sample of absolute frame `frame` of a device running at `rate` frames
  // per second.
  std::int16_t SampleAt(std::int64_t frame, std::int64_t rate) const;

 private:
  struct Description {
    Kind kind = Kind::Silence;
    double hz = 0, peak = 0;
    std::string file;
    int channel = 0;
  };
  static std::string Describe(const std::string& source, Description& out);

  Kind kind_ = Kind::Silence;
  std::string text_ = "silence";
  double hz_ = 0;
  double peak_ = 0;
  std::shared_ptr<const std::vector<std::int16_t>> file_;  // one channel at 44100
};

}  // namespace platform
