#include "platform/card/wav_writer.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
}  // namespace

std::string WavWriter::Create(const std::string& path, int channels, int rate) {
  file_.reset(std::fopen(path.c_str(), "wb"));
  if (!file_) return "cannot write '" + path + "': " + std::strerror(errno);
  channels_ = channels;
  rate_ = rate;
  frames_ = 0;
  WriteHeader();
  return {};
}

void WavWriter::WriteHeader() {
  std::uint8_t h[44];
  const std::uint32_t align = static_cast<std::uint32_t>(channels_) * 2;
  // Sizes saturate rather than wrap for captures beyond 4 GiB.
  const std::uint64_t data64 = frames_ * align;
  const std::uint32_t data =
      data64 > 0xFFFFFFF0u ? 0xFFFFFFF0u : static_cast<std::uint32_t>(data64);
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, 36 + data);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);
  Put16(h + 22, static_cast<std::uint16_t>(channels_));
  Put32(h + 24, static_cast<std::uint32_t>(rate_));
  Put32(h + 28, static_cast<std::uint32_t>(rate_) * align);
  Put16(h + 32, static_cast<std::uint16_t>(align));
  Put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, data);
  std::fseek(file_.get(), 0, SEEK_SET);
  std::fwrite(h, 1, sizeof h, file_.get());
}

void WavWriter::Append(const std::int16_t* interleaved, std::size_t frames) {
  if (!file_ || frames == 0) return;
  std::fseek(file_.get(), 0, SEEK_END);
  const std::size_t n = frames * static_cast<std::size_t>(channels_);
  for (std::size_t i = 0; i < n; ++i) {
    std::uint8_t le[2];
    Put16(le, static_cast<std::uint16_t>(interleaved[i]));
    std::fwrite(le, 1, 2, file_.get());
  }
  frames_ += frames;
  WriteHeader();
  std::fflush(file_.get());
}

}  // namespace platform
