// Bytes as a WAV file: refused with a message naming the file and the
// reason, or read. Never a crash, never a read past the input, and never a
// sample taken from outside the data chunk: the same bytes with everything
// after the chunk's last whole frame cut off (or changed) read the same.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/card/virtual/wav_file.h"
#include "platform/printable.h"

namespace {

const char kPrefix[] = "wav file 'in\\x01.wav': ";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact copy, so a read past the input is a read past the heap block.
  const std::vector<std::uint8_t> bytes(data, data + size);
  platform::WavSound sound;
  const std::string error = platform::ParseWav(bytes, "in\x01.wav", sound);
  if (!error.empty()) {
    fuzz::Expect(error.rfind(kPrefix, 0) == 0, "message without the file's name: " + error);
    fuzz::Expect(error.size() > sizeof kPrefix, "message without a reason: " + error);
    fuzz::Expect(platform::IsValidUtf8(error) && platform::PrintableText(error) == error,
                 "message is not printable text: " + platform::PrintableText(error));
    return 0;
  }
  fuzz::Expect(sound.channels == 1 || sound.channels == 2, "channel count");
  fuzz::Expect(sound.source_rate > 0, "frame rate");
  fuzz::Expect(!sound.samples.empty() && sound.samples.size() % sound.channels == 0,
               "samples are not whole frames");
  fuzz::Expect(sound.data_bytes > 0 && sound.data_offset + sound.data_bytes <= size,
               "the data span lies outside the input");
  // Everything after the data: cut off, then replaced by other bytes.
  const std::size_t end = sound.data_offset + sound.data_bytes;
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
  platform::WavSound again;
  fuzz::Expect(platform::ParseWav(cut, "cut", again).empty() && again.samples == sound.samples,
               "the samples depend on bytes after the data chunk");
  std::vector<std::uint8_t> changed = bytes;
  for (std::size_t i = end; i < changed.size(); ++i) changed[i] = static_cast<std::uint8_t>(~changed[i]);
  fuzz::Expect(platform::ParseWav(changed, "changed", again).empty() && again.samples == sound.samples,
               "the samples depend on bytes after the data chunk");
  return 0;
}
