#include "platform/card/virtual/virtual_out_device.h"

#include <algorithm>

#include "platform/base/messages.h"
#include "platform/card/pcm_samples.h"
#include "platform/card/virtual/frame_grid.h"

namespace platform {

VirtualOutDevice::VirtualOutDevice(OutputHistory& history, WavWriter& capture)
    : history_(history), capture_(capture) {}

void VirtualOutDevice::Open(std::uintptr_t handle, const WAVEFORMATEX& format, HWND callback) {
  Take(handle, format, callback);
  paused_ = false;
  stretch_ = false;
  history_.Restart(format.nSamplesPerSec);
  written_ = head_index_ = 0;
  grid_minus_index_.reset();
  PostMessage(callback_, MM_WOM_OPEN, handle_, 0);
}

MMRESULT VirtualOutDevice::Close() { return Release(MM_WOM_CLOSE); }

void VirtualOutDevice::Write(WAVEHDR* header) {
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  queue_.push_back(header);
  written_ += FramesOf(header);
  if (queue_.size() == 1 && !paused_) Begin(DeviceClock().Now());
}

// The head starts (or resumes) playing at the first frame boundary from now.
void VirtualOutDevice::Begin(Nanos now) {
  const std::int64_t rate = format_.nSamplesPerSec;
  WAVEHDR* h = queue_.front();
  if (!stretch_) stretch_start_ = FirstFrameFrom(now, rate);
  stretch_ = true;
  grid_minus_index_ = stretch_start_ - (head_index_ + head_pos_);
  const std::int64_t frames = FramesOf(h);
  const int bits = format_.wBitsPerSample;
  const int step = bits / 8;
  for (std::int64_t k = head_pos_; k < frames; ++k) {
    const char* at = h->lpData + k * format_.nBlockAlign;
    const std::int16_t first = ReadPcmSample(at, bits);
    const std::int16_t second = format_.nChannels == 2 ? ReadPcmSample(at + step, bits) : first;
    history_.Put(stretch_start_ + (k - head_pos_), first, second);
  }
  const Nanos end = FrameTime(stretch_start_ + (frames - head_pos_), rate);
  event_ = DeviceScheduler().At(end, [this] {
    event_ = 0;
    Finish();
  });
}

void VirtualOutDevice::Played(const WAVEHDR* h, std::int64_t from, std::int64_t to) {
  if (to <= from) return;
  frames_played_ += to - from;
  if (!capture_.IsOpen()) return;
  const int channels = capture_.Channels();
  const int bits = format_.wBitsPerSample;
  const int step = bits / 8;
  convert_.resize(static_cast<std::size_t>((to - from) * channels));
  std::size_t i = 0;
  for (std::int64_t k = from; k < to; ++k) {
    const char* at = h->lpData + k * format_.nBlockAlign;
    const std::int16_t first = ReadPcmSample(at, bits);
    const std::int16_t second = format_.nChannels == 2 ? ReadPcmSample(at + step, bits) : first;
    convert_[i++] = first;
    if (channels == 2) convert_[i++] = second;
  }
  capture_.Append(convert_.data(), static_cast<std::size_t>(to - from));
}

void VirtualOutDevice::Finish() {
  WAVEHDR* h = queue_.front();
  const std::int64_t frames = FramesOf(h);
  Played(h, head_pos_, frames);
  const std::int64_t next_start = stretch_start_ + (frames - head_pos_);
  queue_.erase(queue_.begin());
  head_index_ += frames;
  head_pos_ = 0;
  h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  PostMessage(callback_, MM_WOM_DONE, handle_, reinterpret_cast<LPARAM>(h));
  stretch_ = false;
  if (!queue_.empty()) {
    // The next buffer follows without a gap.
    stretch_ = true;
    stretch_start_ = next_start;
    Begin(DeviceClock().Now());
  }
}

// Stops the head where it is: frames begun before now have played.
void VirtualOutDevice::Cut(Nanos now) {
  if (!stretch_) return;
  Cancel();
  WAVEHDR* h = queue_.front();
  const std::int64_t frames = FramesOf(h);
  const std::int64_t reached = FirstFrameFrom(now, format_.nSamplesPerSec);
  const std::int64_t played =
      std::clamp<std::int64_t>(reached - stretch_start_, 0, frames - head_pos_);
  Played(h, head_pos_, head_pos_ + played);
  history_.Forget(stretch_start_ + played, stretch_start_ + (frames - head_pos_));
  head_pos_ += played;
  stretch_ = false;
}

void VirtualOutDevice::Pause() {
  if (paused_) return;
  paused_ = true;
  Cut(DeviceClock().Now());
}

void VirtualOutDevice::Restart() {
  if (!paused_) return;
  paused_ = false;
  if (!queue_.empty()) Begin(DeviceClock().Now());
}

void VirtualOutDevice::Reset() {
  Cut(DeviceClock().Now());
  head_pos_ = 0;
  for (WAVEHDR* h : queue_) {
    head_index_ += FramesOf(h);
    h->dwFlags = (h->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    PostMessage(callback_, MM_WOM_DONE, handle_, reinterpret_cast<LPARAM>(h));
  }
  queue_.clear();
}

std::optional<std::int64_t> VirtualOutDevice::GridFrameOfNextWrite() const {
  if (!grid_minus_index_) return std::nullopt;
  // A queue run dry starts again at the first frame boundary from now.
  const std::int64_t now = FirstFrameFrom(DeviceClock().Now(), format_.nSamplesPerSec);
  return std::max(written_ + *grid_minus_index_, now);
}

}  // namespace platform
