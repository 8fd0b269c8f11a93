#include "platform/card/virtual/wav_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/printable.h"

namespace platform {

namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kExtensible = 0xFFFE;

std::uint32_t U32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::int16_t FloatSample(const std::uint8_t* p) {
  std::uint32_t bits = U32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  if (!std::isfinite(f)) return 0;
  double v = std::nearbyint(static_cast<double>(f) * 32767.0);
  if (v > 32767.0) v = 32767.0;
  if (v < -32768.0) v = -32768.0;
  return static_cast<std::int16_t>(v);
}

std::int16_t DecodeSample(const std::uint8_t* p, int bits, bool is_float) {
  if (is_float) return FloatSample(p);
  switch (bits) {
    case 8: return static_cast<std::int16_t>((p[0] - 128) * 256);
    case 16: return static_cast<std::int16_t>(U16(p));
    default: return static_cast<std::int16_t>(p[1] | (p[2] << 8));  // 24-bit: upper 16 bits
  }
}

}  // namespace

std::vector<std::int16_t> ResampleLinear(const std::vector<std::int16_t>& in, int channels,
                                         int from_rate, int to_rate) {
  if (channels <= 0 || from_rate <= 0 || to_rate <= 0) return {};
  const std::int64_t frames = static_cast<std::int64_t>(in.size()) / channels;
  if (frames == 0) return {};
  if (from_rate == to_rate) return in;
  std::int64_t out_frames = frames * to_rate / from_rate;
  if (out_frames < 1) out_frames = 1;
  std::vector<std::int16_t> out(static_cast<std::size_t>(out_frames * channels));
  for (std::int64_t k = 0; k < out_frames; ++k) {
    const std::int64_t num = k * from_rate;
    const std::int64_t i = num / to_rate;
    const double frac = static_cast<double>(num % to_rate) / to_rate;
    const std::int64_t j = i + 1 < frames ? i + 1 : i;  // hold the last frame
    for (int c = 0; c < channels; ++c) {
      const double a = in[static_cast<std::size_t>(i * channels + c)];
      const double b = in[static_cast<std::size_t>(j * channels + c)];
      out[static_cast<std::size_t>(k * channels + c)] =
          static_cast<std::int16_t>(std::nearbyint(a + (b - a) * frac));
    }
  }
  return out;
}

std::string ParseWav(const std::vector<std::uint8_t>& bytes, const std::string& name,
                     WavSound& out) {
  // The file's name and its chunk IDs are quoted with non-printable bytes
  // escaped, so the message stays valid UTF-8 text whatever the file holds.
  auto fail = [&](const std::string& why) {
    return "wav file '" + PrintableText(name) + "': " + why;
  };
  const std::size_t size = bytes.size();
  const std::uint8_t* b = bytes.data();
  if (size < 12) return fail("too short to be a WAV file");
  if (std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0)
    return fail("not a RIFF/WAVE file");

  bool have_fmt = false;
  std::uint16_t tag = 0, channels = 0, bits = 0, align = 0;
  std::uint32_t rate = 0;
  const std::uint8_t* data = nullptr;
  std::size_t data_len = 0;

  std::size_t pos = 12;
  while (pos + 8 <= size) {
    const std::uint8_t* chunk = b + pos;
    const std::size_t len = U32(chunk + 4);
    const std::size_t body = pos + 8;
    const std::size_t available = size - body;
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      if (len < 16 || len > available) return fail("truncated fmt chunk");
      tag = U16(b + body);
      channels = U16(b + body + 2);
      rate = U32(b + body + 4);
      align = U16(b + body + 12);
      bits = U16(b + body + 14);
      if (tag == kExtensible) {
        if (len < 40) return fail("truncated extensible fmt chunk");
        tag = U16(b + body + 24);  // first two bytes of the sub-format GUID
      }
      have_fmt = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (!have_fmt) return fail("data chunk before fmt chunk");
      data = b + body;
      // A data chunk cut short (a recording that was interrupted) is read
      // as far as it goes; whole frames only.
      data_len = len > available ? available : len;
      break;
    }
    if (len > available)
      return fail("truncated " +
                  PrintableAscii(std::string_view(reinterpret_cast<const char*>(chunk), 4)) +
                  " chunk");
    pos = body + len + (len & 1);
  }
  if (!have_fmt) return fail("no fmt chunk");
  if (data == nullptr) return fail("no data chunk");
  const bool is_float = tag == kFloat;
  if (tag != kPcm && !is_float) return fail("unsupported sample format " + std::to_string(tag));
  if (is_float ? bits != 32 : (bits != 8 && bits != 16 && bits != 24))
    return fail("unsupported sample size of " + std::to_string(bits) + " bits");
  if (channels != 1 && channels != 2)
    return fail("unsupported channel count " + std::to_string(channels));
  if (rate == 0 || rate > 1'000'000) return fail("bad frame rate " + std::to_string(rate));
  const std::size_t frame_bytes = static_cast<std::size_t>(channels) * (bits / 8);
  if (align != frame_bytes) return fail("block align " + std::to_string(align) + " does not match the format");
  const std::size_t frames = data_len / frame_bytes;
  if (frames == 0) return fail("no samples");
  // A long sound at a low frame rate grows by up to 44100 times when it is
  // resampled; refused before anything is allocated for it.
  const double seconds = static_cast<double>(frames) / rate;
  if (seconds > kWavMaxSeconds)
    return fail("too long: " + std::to_string(static_cast<long long>(seconds)) + " s (at most " +
                std::to_string(kWavMaxSeconds) + " s)");

  std::vector<std::int16_t> decoded(frames * channels);
  for (std::size_t i = 0; i < decoded.size(); ++i)
    decoded[i] = DecodeSample(data + i * (bits / 8), bits, is_float);
  out.channels = channels;
  out.data_offset = static_cast<std::size_t>(data - b);
  out.data_bytes = frames * frame_bytes;
  out.source_rate = static_cast<int>(rate);
  out.samples = ResampleLinear(decoded, channels, static_cast<int>(rate), kWavTargetRate);
  return {};
}

std::string ReadWavFile(const std::string& path, WavSound& out) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return "wav file '" + PrintableText(path) + "': cannot open (" + std::strerror(errno) + ")";
  // Read in pieces up to the limit, so that neither a huge file nor one
  // without end (a device, a pipe) is taken into memory.
  std::vector<std::uint8_t> bytes;
  char piece[65536];
  while (file.read(piece, sizeof piece) || file.gcount() > 0) {
    bytes.insert(bytes.end(), piece, piece + file.gcount());
    if (bytes.size() > kWavMaxFileBytes)
      return "wav file '" + PrintableText(path) + "': larger than " +
             std::to_string(kWavMaxFileBytes >> 20) + " MiB";
  }
  if (file.bad()) return "wav file '" + PrintableText(path) + "': read error";
  return ParseWav(bytes, path, out);
}

}  // namespace platform
