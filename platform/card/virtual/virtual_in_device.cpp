// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/virtual_in_device.h"

#include <algorithm>

#include "platform/base/messages.h"
#include "platform/card/pcm_samples.h"
#include "platform/card/virtual/frame_grid.h"

namespace platform {

VirtualInDevice::VirtualInDevice(const InputSource* sources, const OutputHistory& loopback)
    : sources_(sources), loopback_(loopback) {}

void VirtualInDevice::Open(std::uintptr_t handle, const WAVEFORMATEX& format, HWND callback) {
  Take(handle, format, callback);
  recording_ = false;
  PostMessage(callback_, MM_WIM_OPEN, handle_, 0);
}

MMRESULT VirtualInDevice::Close() {
  const MMRESULT r = Release(MM_WIM_CLOSE);
  if (r == MMSYSERR_NOERROR) recording_ = false;
  return r;
}

void VirtualInDevice::Add(WAVEHDR* header) {
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  header->dwBytesRecorded = 0;
  queue_.push_back(header);
  if (queue_.size() == 1 && recording_) ScheduleHead();
}

void VirtualInDevice::Start() {
  if (recording_) return;
  recording_ = true;
  start_time_ = DeviceClock().Now();
  start_frame_ = FrameAt(start_time_, format_.nSamplesPerSec);
  cursor_ = 0;
  if (!queue_.empty()) ScheduleHead();
}

// The head begins with the first frame not yet recorded into a buffer and
// not already under way.
void VirtualInDevice::ScheduleHead() {
  const std::int64_t rate = format_.nSamplesPerSec;
  const std::int64_t now_frame = FirstFrameFrom(DeviceClock().Now() - start_time_, rate);
  head_first_ = std::max(cursor_, now_frame);
  const Nanos done = start_time_ + FrameTime(head_first_ + FramesOf(queue_.front()), rate);
  event_ = DeviceScheduler().At(done, [this] {
    event_ = 0;
    CompleteHead();
  });
}

std::int16_t VirtualInDevice::Sample(int input, std::int64_t j) const {
  const InputSource& src = sources_[input];
  const std::int64_t rate = format_.nSamplesPerSec;
  if (circuit_ != nullptr) {
    const std::int64_t played = loopback_.Rate() > 0 ? loopback_.Rate() : InputRecorder::kRate;
    return circuit_->Sample(loopback_, FrameAt(start_time_ + FrameTime(j, rate), played), input);
  }
  if (src.kind() != InputSource::Kind::Generator) return src.SampleAt(start_frame_ + j, rate);
  if (loopback_.Rate() <= 0) return 0;
  const Nanos t = start_time_ + FrameTime(j, rate);
  return loopback_.Get(FrameAt(t, loopback_.Rate()), input);
}

std::int16_t VirtualInDevice::InputAt(int input, std::int64_t n) const {
  constexpr std::int64_t rate = InputRecorder::kRate;
  const InputSource& src = sources_[input];
  if (circuit_ != nullptr) {
    const std::int64_t played = loopback_.Rate() > 0 ? loopback_.Rate() : rate;
    return circuit_->Sample(loopback_, played == rate ? n : MulDivFloor(n, played, rate), input);
  }
  if (src.kind() != InputSource::Kind::Generator) return src.SampleAt(n, rate);
  const std::int64_t played = loopback_.Rate();
  if (played <= 0) return 0;
  return loopback_.Get(played == rate ? n : MulDivFloor(n, played, rate), input);
}

void VirtualInDevice::SetRecorder(InputRecorder* recorder, std::int64_t from) {
  recorder_ = recorder;
  recorded_ = from;
}

void VirtualInDevice::RecordUpTo(std::int64_t end) {
  if (recorder_ == nullptr) return;
  constexpr std::int64_t kChunk = 4410;
  while (recorded_ < end) {
    const std::int64_t n = std::min(kChunk, end - recorded_);
    record_buf_.resize(static_cast<std::size_t>(2 * n));
    for (std::int64_t k = 0; k < n; ++k) {
      record_buf_[static_cast<std::size_t>(2 * k)] = InputAt(0, recorded_ + k);
      record_buf_[static_cast<std::size_t>(2 * k + 1)] = InputAt(1, recorded_ + k);
    }
    recorder_->Append(record_buf_.data(), static_cast<std::size_t>(n));
    recorded_ += n;
  }
}

void VirtualInDevice::Fill(WAVEHDR* h, std::int64_t count) {
  const int bits = format_.wBitsPerSample;
  const int step = bits / 8;
  // The recording takes the run's frames as delivered (at the recorder's
  // rate only; at another rate RecordUpTo fills them in at the end).
  const bool record = recorder_ != nullptr && format_.nSamplesPerSec == InputRecorder::kRate;
  const std::int64_t first = start_frame_ + head_first_;  // absolute
  if (record) {
    RecordUpTo(first);
    record_buf_.clear();
  }
  for (std::int64_t k = 0; k < count; ++k) {
    char* at = h->lpData + k * format_.nBlockAlign;
    const std::int16_t left = Sample(0, head_first_ + k);
    WritePcmSample(at, bits, left);
    if (format_.nChannels != 2 && !record) continue;
    const std::int16_t right = Sample(1, head_first_ + k);
    if (format_.nChannels == 2) WritePcmSample(at + step, bits, right);
    if (record && first + k >= recorded_) {
      record_buf_.push_back(left);
      record_buf_.push_back(right);
    }
  }
  if (record && !record_buf_.empty()) {
    recorder_->Append(record_buf_.data(), record_buf_.size() / 2);
    recorded_ = first + count;
  }
}

void VirtualInDevice::Return(WAVEHDR* h, std::int64_t frames) {
  h->dwBytesRecorded = static_cast<DWORD>(frames * format_.nBlockAlign);
  h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  PostMessage(callback_, MM_WIM_DATA, handle_, reinterpret_cast<LPARAM>(h));
}

void VirtualInDevice::CompleteHead() {
  WAVEHDR* h = queue_.front();
  const std::int64_t frames = FramesOf(h);
  Fill(h, frames);
  cursor_ = head_first_ + frames;
  queue_.erase(queue_.begin());
  ++buffers_recorded_;
  Return(h, frames);
  if (!queue_.empty()) ScheduleHead();
}

void VirtualInDevice::Reset() {
  Cancel();
  if (recording_ && !queue_.empty()) {
    // Frames wholly recorded by now are in the head buffer.
    const std::int64_t rate = format_.nSamplesPerSec;
    const std::int64_t done = FrameAt(DeviceClock().Now() - start_time_, rate);
    WAVEHDR* h = queue_.front();
    const std::int64_t got = std::clamp<std::int64_t>(done - head_first_, 0, FramesOf(h));
    Fill(h, got);
    Return(h, got);
    queue_.erase(queue_.begin());
  }
  for (WAVEHDR* h : queue_) Return(h, 0);
  queue_.clear();
  recording_ = false;
}

}  // namespace platform
