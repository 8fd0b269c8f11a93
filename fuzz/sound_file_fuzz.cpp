// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes as a sound file for the virtual card's file: source (libsndfile,
// then libsoxr to 44100 frames per second), as either channel: refused with
// a message naming the file and the reason in printable text, or read into
// a sound as long as what was decoded, converted. Never a crash, a hang or
// a read past the input, and the same bytes read the same every time.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/base/printable.h"
#include "platform/card/virtual/sound_file.h"

namespace {

const char kPrefix[] = "sound file 'in\\x01.wav': ";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact copy, so a read past the input is a read past the heap block.
  const std::vector<std::uint8_t> bytes(data, data + size);
  for (int channel : {0, 1}) {
    platform::Sound sound;
    const std::string error = platform::ReadSound(bytes, "in\x01.wav", channel, sound);
    if (!error.empty()) {
      fuzz::Expect(error.rfind(kPrefix, 0) == 0, "message without the file's name: " + error);
      fuzz::Expect(error.size() > sizeof kPrefix, "message without a reason: " + error);
      fuzz::Expect(platform::IsValidUtf8(error) && platform::PrintableText(error) == error,
                   "message is not printable text: " + platform::PrintableText(error));
      continue;
    }
    fuzz::Expect(sound.channels == 1 || sound.channels == 2, "channel count");
    fuzz::Expect(channel < sound.channels, "a channel the file does not have");
    fuzz::Expect(sound.source_rate >= platform::kSoundMinRate &&
                     sound.source_rate <= platform::kSoundMaxRate,
                 "frame rate out of range");
    fuzz::Expect(
        sound.source_frames > 0 &&
            sound.source_frames <= std::int64_t{platform::kSoundMaxSeconds} * sound.source_rate,
        "length out of range");
    const double expected =
        static_cast<double>(sound.source_frames) * platform::kSoundRate / sound.source_rate;
    fuzz::Expect(std::abs(static_cast<double>(sound.samples.size()) - expected) <= 1.0,
                 "converted length " + std::to_string(sound.samples.size()) + " for " +
                     std::to_string(sound.source_frames) + " frames at " +
                     std::to_string(sound.source_rate) + " Hz");
    platform::Sound again;
    fuzz::Expect(platform::ReadSound(bytes, "again", channel, again).empty() &&
                     again.samples == sound.samples,
                 "the same bytes read differently");
  }
  return 0;
}
