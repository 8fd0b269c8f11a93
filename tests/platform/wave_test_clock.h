// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drives device time in tests: the virtual clock, the device scheduler and
// the posted window messages, as the headless runner does. Each DeviceTime
// starts from a fresh virtual card; times are relative to its creation.
#include <vector>

#include "platform/base/timebase.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/mm/memory.h"
#include "platform/toolkit/wincontrol.h"

namespace wavetest {

using platform::Nanos;
constexpr Nanos Ms(double ms) { return static_cast<Nanos>(ms * 1'000'000); }

class DeviceTime {
 public:
  DeviceTime() {
    platform::UseVirtualClock(true);
    platform::ResetVirtualCard();
    platform::ClearGlobalMemoryFaults();
    platform::DispatchPostedMessages();
    origin_ = platform::DeviceClock().Now();
  }
  ~DeviceTime() {
    platform::ResetVirtualCard();
    platform::ClearGlobalMemoryFaults();
    platform::DispatchPostedMessages();
  }
  DeviceTime(const DeviceTime&) = delete;
  DeviceTime& operator=(const DeviceTime&) = delete;

  // Time since this object was made.
  Nanos Now() const { return platform::DeviceClock().Now() - origin_; }
  // Runs device events in time order up to `t` (relative), delivering the
  // posted messages after each event time, and ends at `t`.
  void RunUntil(Nanos t) {
    auto& clock = *platform::TheVirtualClock();
    auto& sched = platform::DeviceScheduler();
    for (;;) {
      auto next = sched.NextTime();
      if (!next || *next > origin_ + t) break;
      clock.AdvanceTo(*next);
      sched.RunDue(*next);
      platform::DispatchPostedMessages();
    }
    clock.AdvanceTo(origin_ + t);
    platform::DispatchPostedMessages();
  }
  void RunFor(Nanos d) { RunUntil(Now() + d); }

 private:
  Nanos origin_ = 0;
};

// A hidden window that records the messages it gets, with the time.
class MessageLog : public platform::TWinControl {
 public:
  struct Entry {
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
    Nanos at;
  };
  explicit MessageLog(const DeviceTime& time) : platform::TWinControl(nullptr), time_(time) {}
  void WndProc(platform::TMessage& m) override {
    log.push_back({m.Msg, m.WParam, m.LParam, time_.Now()});
  }
  int Count(UINT msg) const {
    int n = 0;
    for (const Entry& e : log) n += e.msg == msg;
    return n;
  }
  std::vector<Entry> log;

 private:
  const DeviceTime& time_;
};

}  // namespace wavetest
