// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/base/timebase.h"

#include <chrono>
#include <memory>

namespace platform {

namespace {
Nanos MonotonicNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Timebase {
  RealClock real;
  VirtualClock virt;
  bool use_virtual = false;
  Scheduler scheduler;
};

Timebase& Instance() {
  static Timebase tb;
  return tb;
}
}  // namespace

RealClock::RealClock() : origin_(MonotonicNanos()) {}

std::int64_t SteadyNanos() { return MonotonicNanos(); }
Nanos RealClock::Now() const { return MonotonicNanos() - origin_; }

Scheduler::Id Scheduler::At(Nanos time, std::function<void()> fn) {
  Id id = next_++;
  events_.emplace(std::make_pair(time, id), std::move(fn));
  return id;
}

void Scheduler::Cancel(Id id) {
  for (auto it = events_.begin(); it != events_.end(); ++it) {
    if (it->first.second == id) {
      events_.erase(it);
      return;
    }
  }
}

std::optional<Nanos> Scheduler::NextTime() const {
  if (events_.empty()) return std::nullopt;
  return events_.begin()->first.first;
}

void Scheduler::RunDue(Nanos now) {
  while (!events_.empty() && events_.begin()->first.first <= now) {
    auto node = events_.extract(events_.begin());
    node.mapped()();
  }
}

Clock& DeviceClock() {
  auto& tb = Instance();
  if (tb.use_virtual) return tb.virt;
  return tb.real;
}
Scheduler& DeviceScheduler() { return Instance().scheduler; }
void UseVirtualClock(bool virtual_time) {
  // Each run on the virtual clock starts at time 0, as a program's does: the
  // virtual card's inputs are functions of the time since then.
  if (virtual_time) Instance().virt = VirtualClock{};
  Instance().use_virtual = virtual_time;
}
VirtualClock* TheVirtualClock() {
  auto& tb = Instance();
  return tb.use_virtual ? &tb.virt : nullptr;
}

}  // namespace platform
