// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/input_recorder.h"

#include "platform/card/pcm_samples.h"

namespace platform {

std::string InputRecorder::Create(const std::string& path, std::uint64_t from) {
  std::lock_guard lock(mutex_);
  path_ = path;
  file_from_ = from == kFromNext ? appended_ : from;
  return writer_.Create(path, 2, kRate);
}

bool InputRecorder::IsOpen() const {
  std::lock_guard lock(mutex_);
  return writer_.IsOpen();
}

void InputRecorder::Append(const std::int16_t* stereo, std::size_t frames) {
  std::lock_guard lock(mutex_);
  AppendLocked(stereo, frames);
}

void InputRecorder::AppendLocked(const std::int16_t* stereo, std::size_t frames) {
  const std::uint64_t first = appended_;
  appended_ += frames;
  if (tap_) tap_(stereo, frames);
  if (!writer_.IsOpen() || appended_ <= file_from_) return;
  // A file started between two deliveries begins with its own first frame.
  const std::uint64_t skip = file_from_ > first ? file_from_ - first : 0;
  writer_.Append(stereo + 2 * skip, frames - skip);
}

void InputRecorder::SetTap(CaptureTap tap) {
  std::lock_guard lock(mutex_);
  tap_ = std::move(tap);
  tap_from_ = appended_;
}

bool InputRecorder::AppendPcm(const char* data, std::size_t frames, const WAVEFORMATEX& format) {
  if (format.nSamplesPerSec != static_cast<DWORD>(kRate)) return false;
  const int bits = format.wBitsPerSample == 8 ? 8 : 16;
  const int channels = format.nChannels == 1 ? 1 : 2;
  const std::size_t block = format.nBlockAlign ? format.nBlockAlign : channels * bits / 8;
  std::lock_guard lock(mutex_);
  if (!writer_.IsOpen() && !tap_) return true;
  convert_.resize(frames * 2);
  for (std::size_t k = 0; k < frames; ++k) {
    const char* at = data + k * block;
    const std::int16_t left = ReadPcmSample(at, bits);
    convert_[2 * k] = left;
    convert_[2 * k + 1] = channels == 2 ? ReadPcmSample(at + bits / 8, bits) : left;
  }
  AppendLocked(convert_.data(), frames);
  return true;
}

std::uint64_t InputRecorder::Frames() const {
  std::lock_guard lock(mutex_);
  return writer_.FramesWritten();
}

std::uint64_t InputRecorder::TapFrames() const {
  std::lock_guard lock(mutex_);
  return appended_ - tap_from_.load();
}

void InputRecorder::Close() {
  std::lock_guard lock(mutex_);
  writer_.Close();
}

}  // namespace platform
