// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the virtual card's input and output devices share: the stream's
// handle, callback window and format, its buffers in queue order, and the
// one device event it has scheduled at a time.
#include <cstdint>
#include <vector>

#include "platform/base/timebase.h"
#include "platform/mm/mmsystem.h"

namespace platform {

class VirtualDevice {
 public:
  VirtualDevice(const VirtualDevice&) = delete;
  VirtualDevice& operator=(const VirtualDevice&) = delete;

  bool IsOpen() const { return handle_ != 0; }
  std::uintptr_t Handle() const { return handle_; }
  const WAVEFORMATEX& Format() const { return format_; }
  std::size_t Queued() const { return queue_.size(); }

 protected:
  VirtualDevice() { queue_.reserve(8); }
  ~VirtualDevice() { Cancel(); }

  // Takes the stream with an empty queue; the device then posts its open.
  void Take(std::uintptr_t handle, const WAVEFORMATEX& format, HWND callback);
  // Gives the stream up and posts `closed` to its window; refused while
  // buffers are queued.
  MMRESULT Release(UINT closed);
  std::int64_t FramesOf(const WAVEHDR* h) const { return h->dwBufferLength / format_.nBlockAlign; }
  void Cancel();

  std::uintptr_t handle_ = 0;
  HWND callback_ = NullWindow;
  WAVEFORMATEX format_{};
  std::vector<WAVEHDR*> queue_;
  Scheduler::Id event_ = 0;
};

}  // namespace platform
