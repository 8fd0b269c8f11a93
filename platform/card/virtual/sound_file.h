// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sound files for the virtual card's `file:` input source, read by
// libsndfile: whatever it reads on this platform (WAV, FLAC, Ogg Vorbis and
// Opus, AIFF, MP3, ...), mono or stereo, at 1000 to 1000000 frames per
// second. One channel of the file becomes 16-bit samples at 44100 frames
// per second (rate_converter.h; a 16-bit file at 44100 comes back exactly).
//
// A missing, unreadable, broken or unknown file is refused with a message
// such as "sound file 'x.flac': libsndfile: ..." naming the file (escaped
// as printable text, platform/base/printable.h) and the reason, libsndfile's own
// where it gives one. So are a sound longer than an hour, a file larger than
// 1 GiB, and a pipe that does not end within that: a sound is held in memory
// whole.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

inline constexpr int kSoundRate = 44100;
inline constexpr int kSoundMinRate = 1000;
inline constexpr int kSoundMaxRate = 1'000'000;
inline constexpr int kSoundMaxSeconds = 3600;
inline constexpr std::size_t kSoundMaxFileBytes = std::size_t{1} << 30;

struct Sound {
  int channels = 0;                   // of the file: 1 or 2
  int source_rate = 0;                // frame rate of the file
  std::int64_t source_frames = 0;     // frames decoded from the file
  std::vector<std::int16_t> samples;  // the chosen channel, at kSoundRate
};

// What the decoder says of a file it takes: told on stderr with the file's
// name, or dropped where the file is only checked and read again later.
enum class SoundWarnings { Told, Dropped };

// Channel 0 (the first) or 1 of the file at `path`. Empty on success.
std::string ReadSoundFile(const std::string& path, int channel, Sound& out,
                          SoundWarnings warnings = SoundWarnings::Told);
// The same for a file's bytes already in memory; `name` is used in messages.
std::string ReadSound(std::span<const std::uint8_t> bytes, const std::string& name, int channel,
                      Sound& out);

}  // namespace platform
