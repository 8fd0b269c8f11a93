// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/input_recorder.h"

#include "platform/card/pcm_samples.h"

namespace platform {

std::string InputRecorder::Create(const std::string& path) {
  std::lock_guard lock(mutex_);
  path_ = path;
  return writer_.Create(path, 2, kRate);
}

bool InputRecorder::IsOpen() const {
  std::lock_guard lock(mutex_);
  return writer_.IsOpen();
}

void InputRecorder::Append(const std::int16_t* stereo, std::size_t frames) {
  std::lock_guard lock(mutex_);
  writer_.Append(stereo, frames);
}

bool InputRecorder::AppendPcm(const char* data, std::size_t frames, const WAVEFORMATEX& format) {
  if (format.nSamplesPerSec != static_cast<DWORD>(kRate)) return false;
  const int bits = format.wBitsPerSample == 8 ? 8 : 16;
  const int channels = format.nChannels == 1 ? 1 : 2;
  const std::size_t block = format.nBlockAlign ? format.nBlockAlign : channels * bits / 8;
  std::lock_guard lock(mutex_);
  if (!writer_.IsOpen()) return true;
  convert_.resize(frames * 2);
  for (std::size_t k = 0; k < frames; ++k) {
    const char* at = data + k * block;
    const std::int16_t left = ReadPcmSample(at, bits);
    convert_[2 * k] = left;
    convert_[2 * k + 1] = channels == 2 ? ReadPcmSample(at + bits / 8, bits) : left;
  }
  writer_.Append(convert_.data(), frames);
  return true;
}

std::uint64_t InputRecorder::Frames() const {
  std::lock_guard lock(mutex_);
  return writer_.FramesWritten();
}

void InputRecorder::Close() {
  std::lock_guard lock(mutex_);
  writer_.Close();
}

}  // namespace platform
