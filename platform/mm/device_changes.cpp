// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/device_changes.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace platform {

namespace {
std::atomic<std::uint64_t> changes{0};

struct Waker {
  std::mutex mutex;
  std::function<void()> fn;
};
Waker& TheWaker() {
  static Waker w;
  return w;
}
}  // namespace

void NoteDeviceChange() {
  changes.fetch_add(1, std::memory_order_acq_rel);
  Waker& w = TheWaker();
  std::lock_guard lock(w.mutex);
  if (w.fn) w.fn();
}

std::uint64_t DeviceChangeCount() { return changes.load(std::memory_order_acquire); }

void SetDeviceChangeWaker(std::function<void()> waker) {
  Waker& w = TheWaker();
  std::lock_guard lock(w.mutex);
  w.fn = std::move(waker);
}

}  // namespace platform
