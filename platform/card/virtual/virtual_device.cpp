// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/virtual_device.h"

#include "platform/base/messages.h"

namespace platform {

void VirtualDevice::Take(std::uintptr_t handle, const WAVEFORMATEX& format, HWND callback) {
  handle_ = handle;
  callback_ = callback;
  format_ = format;
  queue_.clear();
}

MMRESULT VirtualDevice::Release(UINT closed) {
  if (!queue_.empty()) return WAVERR_STILLPLAYING;
  Cancel();
  PostMessage(callback_, closed, handle_, 0);
  handle_ = 0;
  callback_ = NullWindow;
  return MMSYSERR_NOERROR;
}

void VirtualDevice::Cancel() {
  if (event_ != 0) DeviceScheduler().Cancel(event_);
  event_ = 0;
}

}  // namespace platform
