// SPDX-License-Identifier: GPL-3.0-or-later
// Window messages and the application's idle loop.
#include "platform/base/messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/base/platform_options.h"
#include "platform/base/timebase.h"
#include "platform/headless/headless.h"
#include "platform/mm/device_changes.h"
#include "platform/toolkit/application.h"
#include "platform/toolkit/wincontrol.h"

namespace {

using platform::TMessage;

struct Recorder : platform::TWinControl {
  Recorder() : platform::TWinControl(nullptr) {}
  void WndProc(TMessage& m) override { got.push_back({m.Msg, m.WParam, m.LParam}); }
  struct Msg {
    UINT msg;
    WPARAM w;
    LPARAM l;
  };
  std::vector<Msg> got;
};

TEST(Messages, AreDeliveredInPostingOrderOnlyWhenDispatched) {
  platform::DispatchPostedMessages();
  Recorder a, b;
  for (int i = 0; i < 5; ++i) {
    platform::PostMessage(a.Handle(), 0x400 + i, i, -i);
    platform::PostMessage(b.Handle(), 0x500 + i, i, i);
  }
  EXPECT_TRUE(a.got.empty()) << "posting must not deliver at once";
  EXPECT_EQ(platform::DispatchPostedMessages(), 10);
  ASSERT_EQ(a.got.size(), 5u);
  ASSERT_EQ(b.got.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(a.got[i].msg, 0x400u + i);
    EXPECT_EQ(a.got[i].w, static_cast<WPARAM>(i));
    EXPECT_EQ(a.got[i].l, -i);
    EXPECT_EQ(b.got[i].msg, 0x500u + i);
  }
  EXPECT_FALSE(platform::PostMessage(NullWindow, 1, 0, 0));
}

TEST(Messages, ForADestroyedWindowAreDroppedAndHandlesAreNeverReused) {
  platform::DispatchPostedMessages();
  HWND old_handle;
  {
    Recorder gone;
    old_handle = gone.Handle();
    platform::PostMessage(old_handle, 0x401, 1, 2);
  }
  Recorder fresh;
  EXPECT_NE(fresh.Handle(), old_handle);
  platform::PostMessage(fresh.Handle(), 0x402, 0, 0);
  EXPECT_EQ(platform::DispatchPostedMessages(), 1);
  ASSERT_EQ(fresh.got.size(), 1u);
  EXPECT_EQ(fresh.got[0].msg, 0x402u);
}

TEST(Messages, PostedFromOtherThreadsArriveCompleteAndInEachThreadsOrder) {
  platform::DispatchPostedMessages();
  Recorder r;
  constexpr int kThreads = 4, kPerThread = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) platform::PostMessage(r.Handle(), 0x400, t, i);
    });
  for (auto& th : threads) th.join();
  platform::DispatchPostedMessages();
  ASSERT_EQ(r.got.size(), static_cast<std::size_t>(kThreads * kPerThread));
  std::vector<LPARAM> last(kThreads, -1);
  for (const auto& m : r.got) {
    EXPECT_EQ(m.l, last[m.w] + 1) << "thread " << m.w << " out of order";
    last[m.w] = m.l;
  }
}

TEST(Messages, LiveWindowCountFollowsCreationAndDestruction) {
  const int before = platform::LiveWindowCount();
  {
    Recorder a, b;
    EXPECT_EQ(platform::LiveWindowCount(), before + 2);
  }
  EXPECT_EQ(platform::LiveWindowCount(), before);
}

class IdleLoop : public ::testing::Test {
 protected:
  void SetUp() override { Start(true); }
  void Start(bool busy) {
    app_.reset();
    platform::UseVirtualClock(true);
    options_.headless = true;
    options_.script = "(test)";
    options_.busy_idle = busy;
    app_ = std::make_unique<platform::TApplication>(options_);
  }
  platform::PlatformOptions options_;
  std::unique_ptr<platform::TApplication> app_;
};

TEST_F(IdleLoop, BusyRunsBackToBackWhileDoneIsFalseOneQuantumEach) {
  int calls = 0;
  app_->OnIdle = [&](platform::TObject* sender, bool& done) {
    EXPECT_EQ(sender, app_.get());
    EXPECT_TRUE(done) << "Done starts true on every call";
    ++calls;
    done = false;
  };
  const platform::Nanos t0 = platform::DeviceClock().Now();
  platform::RunFor(*app_, 0.050);
  EXPECT_EQ(platform::DeviceClock().Now() - t0, 50'000'000);
  // One step per 1 ms quantum, plus the step that finds the time is up.
  EXPECT_EQ(calls, 51);
}

TEST_F(IdleLoop, WaitsForTheNextEventWhenDoneStaysTrue) {
  int calls = 0;
  app_->OnIdle = [&](platform::TObject*, bool&) { ++calls; };
  int fired = 0;
  const platform::Nanos t0 = platform::DeviceClock().Now();
  platform::DeviceScheduler().At(t0 + 20'000'000, [&] { ++fired; });
  platform::RunFor(*app_, 0.050);
  EXPECT_EQ(fired, 1);
  // At the start, at the device event and at the end: never back to back.
  EXPECT_EQ(calls, 3);
}

// At rest the loop runs no step until something the step reads changes:
// the watched memory, or a device (here a device event on the virtual clock,
// and a device thread on the wall clock, which wakes the sleeping loop).
TEST_F(IdleLoop, RestsOnceAStepChangesNothingUntilWhatItReadsChanges) {
  Start(false);
  int counter = 0, calls = 0;
  app_->WatchIdleMemory(&counter, sizeof counter);
  app_->OnIdle = [&](platform::TObject*, bool& done) {
    ++calls;
    if (counter < 10) ++counter;
    done = false;
  };
  const platform::Nanos t0 = platform::DeviceClock().Now();
  platform::DeviceScheduler().At(t0 + 30'500'000, [] {});                             // nothing
  platform::DeviceScheduler().At(t0 + 40'200'000, [&] { counter = 5; });              // memory
  platform::DeviceScheduler().At(t0 + 60'700'000, [] { platform::NoteDeviceChange(); });  // device
  platform::RunFor(*app_, 0.100);
  EXPECT_EQ(platform::DeviceClock().Now() - t0, 100'000'000);
  // Ten steps that count, one that finds nothing to do; then, from the
  // event at 40.2 ms (met at the 41 ms quantum), five that count and one
  // more; one for the device change; none for the event that changed nothing.
  EXPECT_EQ(calls, 11 + 6 + 1);
  EXPECT_EQ(app_->IdleSteps(), 18u);

  // Still at rest on the wall clock: the step that ends the loop runs only
  // when the device thread's change wakes it, long before the deadline.
  platform::UseVirtualClock(false);
  calls = 0;
  app_->OnIdle = [&](platform::TObject*, bool& done) {
    ++calls;
    done = false;
    app_->Terminate();
  };
  std::thread device([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    platform::NoteDeviceChange();
  });
  const platform::Nanos start = platform::DeviceClock().Now();
  app_->RunUntil(start + 60'000'000'000);
  device.join();
  EXPECT_EQ(calls, 1);
  EXPECT_LT(platform::DeviceClock().Now() - start, 30'000'000'000);
}

TEST_F(IdleLoop, AnExceptionInAHandlerIsShownAndTheLoopGoesOn) {
  int calls = 0;
  app_->OnIdle = [&](platform::TObject*, bool& done) {
    done = false;
    if (++calls == 3) throw std::runtime_error("idle failed");
  };
  testing::internal::CaptureStderr();
  platform::RunFor(*app_, 0.010);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_GT(calls, 5);
  ASSERT_EQ(app_->Errors().size(), 1u);
  EXPECT_EQ(app_->Errors()[0], "idle failed");
  EXPECT_NE(err.find("idle failed"), std::string::npos);
}

}  // namespace
