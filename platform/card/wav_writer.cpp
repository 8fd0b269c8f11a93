// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/wav_writer.h"

#include <fcntl.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/base/printable.h"
#include "platform/card/pcm_samples.h"

namespace platform {

void WavWriter::Closer::operator()(SNDFILE* f) const { sf_close(f); }

std::string WavWriter::Create(const std::string& path, int channels, int rate) {
  Close();
  auto fail = [&](const std::string& why) {
    return "cannot write '" + PrintableText(path) + "': " + PrintableText(why);
  };
  // Opened here rather than by libsndfile, so that a FIFO without a reader
  // fails at once instead of blocking the start.
  fd_ = UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
  if (!fd_) return fail(std::strerror(errno));
  ::fcntl(fd_.Get(), F_SETFL, ::fcntl(fd_.Get(), F_GETFL) & ~O_NONBLOCK);
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  sndfile_.reset(sf_open_fd(fd_.Get(), SFM_WRITE, &info, SF_FALSE));
  if (!sndfile_) {
    fd_.Reset();
    return fail(std::string("libsndfile: ") + sf_strerror(nullptr));
  }
  sf_command(sndfile_.get(), SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
  channels_ = channels;
  frames_ = 0;
  header_frames_ = max_header_bytes_ / (2 * static_cast<std::uint64_t>(channels));
  return {};
}

void WavWriter::Append(const std::int16_t* interleaved, std::size_t frames) {
  if (!fd_ || frames == 0) return;
  if (sndfile_) {
    const auto now =
        static_cast<sf_count_t>(std::min<std::uint64_t>(frames, header_frames_ - frames_));
    const sf_count_t written = sf_writef_short(sndfile_.get(), interleaved, now);
    frames_ += static_cast<std::uint64_t>(std::max<sf_count_t>(written, 0));
    if (written < now) return;  // the disk is full: what was written stays readable
    // The header now counts all it can; closing writes it a last time.
    if (frames_ == header_frames_) sndfile_.reset();
    interleaved += now * channels_;
    frames -= static_cast<std::size_t>(now);
  }
  if (frames) AppendPastHeader(interleaved, frames);
}

void WavWriter::AppendPastHeader(const std::int16_t* interleaved, std::size_t frames) {
  const std::size_t samples = frames * static_cast<std::size_t>(channels_);
  bytes_.resize(2 * samples);
  for (std::size_t i = 0; i < samples; ++i) WritePcmSample(&bytes_[2 * i], 16, interleaved[i]);
  ::lseek(fd_.Get(), 0, SEEK_END);
  std::size_t done = 0;
  while (done < bytes_.size()) {
    const ssize_t n = ::write(fd_.Get(), bytes_.data() + done, bytes_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  frames_ += done / (2 * static_cast<std::size_t>(channels_));
}

void WavWriter::Close() {
  sndfile_.reset();
  fd_.Reset();
}

}  // namespace platform
