#pragma once
// Reading WAV files for the virtual card's `wav:` input source.
//
// Accepted: RIFF/WAVE with a "fmt " and a "data" chunk, integer PCM of 8,
// 16 or 24 bits or IEEE float of 32 bits (also in a WAVE_FORMAT_EXTENSIBLE
// wrapper), one or two channels, any frame rate. Samples become signed
// 16-bit (24-bit keeps its upper 16 bits, float is scaled by 32767 and
// clipped) and the sound is resampled to 44100 frames per second by linear
// interpolation between neighbouring frames. Every chunk is bounds-checked;
// a missing, truncated or non-WAV file is refused with a message naming the
// file and the reason. Names from the file (chunk IDs) and the file name are
// quoted with non-printable bytes escaped as \xHH (platform/printable.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

inline constexpr int kWavTargetRate = 44100;
// Longer sounds and larger files are refused: a sound is held in memory
// whole, resampled to 44100 frames per second.
inline constexpr int kWavMaxSeconds = 3600;
inline constexpr std::size_t kWavMaxFileBytes = std::size_t{1} << 30;

struct WavSound {
  int channels = 0;              // 1 or 2
  int source_rate = 0;           // frame rate stored in the file
  std::vector<std::int16_t> samples;  // interleaved, at kWavTargetRate
  // Where the samples were read from: the whole frames of the data chunk
  // (no byte outside this span is read as sound).
  std::size_t data_offset = 0;
  std::size_t data_bytes = 0;
  std::size_t Frames() const { return channels ? samples.size() / channels : 0; }
};

// Empty on success; otherwise a message such as
// "wav file 'x.wav': no data chunk".
std::string ReadWavFile(const std::string& path, WavSound& out);
// The same for bytes already in memory; `name` is used in messages.
std::string ParseWav(const std::vector<std::uint8_t>& bytes, const std::string& name,
                     WavSound& out);

// Linear interpolation from `from_rate` to `to_rate`; frame k of the result
// lies at source position k * from_rate / to_rate.
std::vector<std::int16_t> ResampleLinear(const std::vector<std::int16_t>& interleaved,
                                         int channels, int from_rate, int to_rate);

}  // namespace platform
