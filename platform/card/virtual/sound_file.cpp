// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/sound_file.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/base/printable.h"
#include "platform/card/unique_fd.h"
#include "platform/card/virtual/decoder_messages.h"
#include "platform/card/virtual/rate_converter.h"

namespace platform {

namespace {

const std::string kTooLarge = "larger than " + std::to_string(kSoundMaxFileBytes >> 20) + " MiB";

// The bytes libsndfile reads through its virtual I/O: a file in memory.
struct MemoryFile {
  std::span<const std::uint8_t> bytes;
  sf_count_t at = 0;

  static MemoryFile& Of(void* user) { return *static_cast<MemoryFile*>(user); }
  static sf_count_t Length(void* user) { return static_cast<sf_count_t>(Of(user).bytes.size()); }
  static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
    MemoryFile& f = Of(user);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.at : Length(user);
    // Offsets come from the file's own fields: no overflow, nothing before 0.
    if (offset > 0 && base > std::numeric_limits<sf_count_t>::max() - offset) return -1;
    if (base + offset < 0) return -1;
    return f.at = base + offset;
  }
  static sf_count_t Read(void* to, sf_count_t count, void* user) {
    MemoryFile& f = Of(user);
    const sf_count_t size = Length(user);
    if (count <= 0 || f.at >= size) return 0;
    const sf_count_t n = std::min(count, size - f.at);
    std::memcpy(to, f.bytes.data() + f.at, static_cast<std::size_t>(n));
    f.at += n;
    return n;
  }
  static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t Tell(void* user) { return Of(user).at; }
};

SF_VIRTUAL_IO kMemoryIo = {MemoryFile::Length, MemoryFile::Seek, MemoryFile::Read,
                           MemoryFile::Write, MemoryFile::Tell};

struct SndfileCloser {
  void operator()(SNDFILE* f) const { sf_close(f); }
};

// The whole file, or the reason it cannot be had. A FIFO is opened without
// waiting for a writer (with none it reads as empty), and a pipe is read
// only up to the size limit, so neither can hang the start.
std::string ReadAll(const std::string& path, std::vector<std::uint8_t>& bytes) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return std::string("cannot open (") + std::strerror(errno) + ")";
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return std::string("cannot open (") + std::strerror(errno) + ")";
  if (S_ISDIR(st.st_mode)) return "a folder, not a sound file";
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) return "not a file or a pipe";
  if (S_ISREG(st.st_mode)) {
    if (static_cast<std::uintmax_t>(st.st_size) > kSoundMaxFileBytes) return kTooLarge;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
  }
  ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
  std::uint8_t piece[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), piece, sizeof piece);
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::string("cannot read (") + std::strerror(errno) + ")";
    }
    if (bytes.size() + static_cast<std::size_t>(n) > kSoundMaxFileBytes) return kTooLarge;
    bytes.insert(bytes.end(), piece, piece + n);
  }
}

std::uint32_t Little(std::span<const std::uint8_t> b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

// What a WAV header states that libsndfile refuses with words of its own
// ("SF_INFO struct incomplete"): an impossible rate or channel count.
std::string WavFormatFault(std::span<const std::uint8_t> b) {
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
      std::memcmp(b.data() + 8, "WAVE", 4) != 0)
    return {};
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::uint32_t size = Little(b, at + 4, 4);
    if (std::memcmp(b.data() + at, "fmt ", 4) == 0) {
      if (size < 16 || at + 16 > b.size()) return {};
      const std::uint32_t channels = Little(b, at + 10, 2), rate = Little(b, at + 12, 4);
      if (channels < 1 || channels > 2)
        return std::to_string(channels) + " channels (only mono and stereo are played)";
      if (rate < static_cast<std::uint32_t>(kSoundMinRate) ||
          rate > static_cast<std::uint32_t>(kSoundMaxRate))
        return "frame rate " + std::to_string(rate) + " Hz (expected " +
               std::to_string(kSoundMinRate) + " to " + std::to_string(kSoundMaxRate) + ")";
      return {};
    }
    // In 64 bits: a size near 4 GiB must not wrap round to the same chunk.
    at += 8 + std::size_t{size} + (size & 1);
  }
  return {};
}

}  // namespace

std::string ReadSound(std::span<const std::uint8_t> bytes, const std::string& name, int channel,
                      Sound& out) {
  auto fail = [&](const std::string& why) {
    return "sound file '" + PrintableText(name) + "': " + PrintableText(why);
  };
  if (bytes.empty()) return fail("empty");
  MemoryFile memory{bytes};
  SF_INFO info{};
  const std::unique_ptr<SNDFILE, SndfileCloser> file(
      sf_open_virtual(&kMemoryIo, SFM_READ, &info, &memory));
  if (!file) {
    if (std::string why = WavFormatFault(bytes); !why.empty()) return fail(why);
    const std::string said = sf_strerror(nullptr);
    // Said of bytes already in memory, it means the decoder gave up on them.
    if (said.find("does not exist") != std::string::npos)
      return fail("cannot be decoded: damaged, cut short or not a sound file");
    return fail("libsndfile: " + said);
  }
  if (info.channels != 1 && info.channels != 2)
    return fail(std::to_string(info.channels) + " channels (only mono and stereo are played)");
  if (channel < 0 || channel >= info.channels)
    return fail(info.channels == 1 ? "mono, so it has no channel " + std::to_string(channel)
                                   : "stereo, so it has no channel " + std::to_string(channel));
  if (info.samplerate < kSoundMinRate || info.samplerate > kSoundMaxRate)
    return fail("frame rate " + std::to_string(info.samplerate) + " Hz (expected " +
                std::to_string(kSoundMinRate) + " to " + std::to_string(kSoundMaxRate) + ")");
  // A length the file states is refused before anything is decoded; one it
  // does not state (or understates) is refused when decoding gets there.
  const std::int64_t max_frames = std::int64_t{kSoundMaxSeconds} * info.samplerate;
  if (info.frames > max_frames && info.frames < SF_COUNT_MAX)
    return fail("too long: " + std::to_string(info.frames / info.samplerate) + " s (at most " +
                std::to_string(kSoundMaxSeconds) + " s)");

  RateConverter converter;
  if (auto e = converter.Start(info.samplerate, kSoundRate); !e.empty())
    return fail("libsoxr: " + e);
  std::vector<std::int16_t> samples;
  if (info.frames > 0 && info.frames <= max_frames)
    samples.reserve(static_cast<std::size_t>(info.frames * kSoundRate / info.samplerate + 1));
  constexpr sf_count_t kBlock = 4096;
  std::vector<float> frames(static_cast<std::size_t>(kBlock * info.channels));
  std::vector<float> one(kBlock);
  std::int64_t decoded = 0;
  for (;;) {
    const sf_count_t got = sf_readf_float(file.get(), frames.data(), kBlock);
    if (got <= 0) break;
    decoded += got;
    if (decoded > max_frames)
      return fail("too long: over " + std::to_string(kSoundMaxSeconds) + " s");
    for (sf_count_t i = 0; i < got; ++i) one[i] = frames[i * info.channels + channel];
    if (auto e = converter.Push(one.data(), static_cast<std::size_t>(got), samples); !e.empty())
      return fail("libsoxr: " + e);
  }
  if (sf_error(file.get()) != SF_ERR_NO_ERROR)
    return fail(std::string("libsndfile: ") + sf_strerror(file.get()));
  if (decoded == 0) return fail("no samples");
  if (auto e = converter.Finish(samples); !e.empty()) return fail("libsoxr: " + e);
  if (samples.empty())
    return fail("too short: less than one frame at " + std::to_string(kSoundRate) + " Hz");
  out.channels = info.channels;
  out.source_rate = info.samplerate;
  out.source_frames = decoded;
  out.samples = std::move(samples);
  return {};
}

std::string ReadSoundFile(const std::string& path, int channel, Sound& out,
                          SoundWarnings warnings) {
  std::vector<std::uint8_t> bytes;
  if (std::string why = ReadAll(path, bytes); !why.empty())
    return "sound file '" + PrintableText(path) + "': " + why;
  DecoderMessages messages;
  const std::string error = ReadSound(bytes, path, channel, out);
  const std::vector<std::string> said = messages.Take();
  // A file refused is told by its refusal; one taken, with what its decoder saw.
  if (error.empty() && warnings == SoundWarnings::Told)
    for (const std::string& line : said)
      std::fprintf(stderr, "osciloskop: sound file '%s': decoder: %s\n",
                   PrintableText(path).c_str(), PrintableText(line).c_str());
  return error;
}

}  // namespace platform
