// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Time for the devices: a real monotonic clock in a GUI run, a virtual clock
// that only the headless runner advances. Times are integer nanoseconds so
// that frame times (n * 1e9 / rate) are exact and runs are reproducible.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace platform {

using Nanos = std::int64_t;
inline constexpr Nanos NanosPerSecond = 1'000'000'000;

// Time of frame `frames` at `rate` frames per second, rounded down.
constexpr Nanos FrameTime(std::int64_t frames, std::int64_t rate) {
  return rate > 0 ? frames * NanosPerSecond / rate : 0;
}

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Nanos Now() const = 0;
};

class RealClock final : public Clock {
 public:
  RealClock();
  Nanos Now() const override;

 private:
  Nanos origin_;
};

class VirtualClock final : public Clock {
 public:
  Nanos Now() const override { return now_; }
  void AdvanceTo(Nanos t) {
    if (t > now_) now_ = t;
  }

 private:
  Nanos now_ = 0;
};

// Timed device events, run on the GUI thread by the message loop when their
// time has come, in time order (ties in the order they were scheduled).
class Scheduler {
 public:
  using Id = std::uint64_t;
  Id At(Nanos time, std::function<void()> fn);
  void Cancel(Id id);
  std::optional<Nanos> NextTime() const;
  // Runs every event due at `now`, including ones scheduled by those events.
  void RunDue(Nanos now);
  std::size_t Pending() const { return events_.size(); }

 private:
  std::map<std::pair<Nanos, Id>, std::function<void()>> events_;
  Id next_ = 1;
};

// The steady clock in nanoseconds, whatever the device clock is: for
// measuring how long things take (a message's way to the screen).
std::int64_t SteadyNanos();

// The clock and scheduler of this process (set up by the application).
Clock& DeviceClock();
Scheduler& DeviceScheduler();
// true: a virtual clock from time 0; false: the real monotonic clock.
void UseVirtualClock(bool virtual_time);
VirtualClock* TheVirtualClock();  // null in a real-time run

}  // namespace platform
