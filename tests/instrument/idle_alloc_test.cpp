// SPDX-License-Identifier: GPL-3.0-or-later
// An idle step allocates nothing, its readout texts included while they do
// not change. The global
// allocation functions of this test binary are replaced by counting ones;
// they count only on the thread that opened a counting window, and only
// while it is open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "form_fixture.h"

namespace {

thread_local bool t_counting = false;
thread_local long t_count = 0;
thread_local std::size_t t_largest = 0;

void* Allocate(std::size_t size) {
  if (t_counting) {
    ++t_count;
    t_largest = std::max(t_largest, size);
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t align) {
  if (t_counting) {
    ++t_count;
    t_largest = std::max(t_largest, size);
  }
  const auto a = static_cast<std::size_t>(align);
  const std::size_t rounded = (std::max<std::size_t>(size, 1) + a - 1) / a * a;
  if (void* p = std::aligned_alloc(a, rounded)) return p;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t a) { return AllocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return AllocateAligned(size, a); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace osciloskop {
namespace {

struct Counted {
  long count;
  std::size_t largest;
};

template <class Fn>
Counted CountAllocations(Fn&& fn) {
  t_count = 0;
  t_largest = 0;
  t_counting = true;
  fn();
  t_counting = false;
  return {t_count, t_largest};
}

class IdleAlloc : public testing::FormTest {
 protected:
  // A full buffer of 600 Hz on both channels, ranges and sweep band settled,
  // a recording run in progress (so the step's stream start fails, as it
  // does on nearly every step).
  void SetUp() override {
    FormTest::SetUp();
    platform::TheVirtualCard().SetInputSource('r', "sine:600:16000");
    platform::TheVirtualCard().SetInputSource('l', "sine:600:16000");
    Run(1.3);
  }
  void Step() {
    bool done = true;
    form->MyIdleEvent(nullptr, done);
    EXPECT_FALSE(done);
  }
};

TEST_F(IdleAlloc, PeriodicStepAllocatesNothing) {
  ASSERT_EQ(form->SampleCount, 22050);
  ASSERT_EQ(form->PeriodicMode, 1);
  Step();  // warm: whatever a first step may set up once
  const std::string readout = form->Edit8->Text();
  const std::string peaks = form->Edit11->Text();
  ASSERT_GT(peaks.size(), std::string().capacity());  // a text that would need the heap
  constexpr int kSteps = 200;
  const Counted c = CountAllocations([&] {
    for (int i = 0; i < kSteps; ++i) Step();
  });
  EXPECT_EQ(c.count, 0) << "largest " << c.largest << " bytes";
  EXPECT_EQ(form->Edit8->Text(), readout);  // the same picture, measured over and over
  EXPECT_EQ(form->Edit11->Text(), peaks);
  EXPECT_EQ(form->Edit1->Text(), "2.50 V");
}

TEST_F(IdleAlloc, SingleShotStepAllocatesNothing) {
  form->RadioButton2Click(nullptr);
  ASSERT_EQ(form->PeriodicMode, 0);
  Step();
  constexpr int kSteps = 200;
  const Counted c = CountAllocations([&] {
    for (int i = 0; i < kSteps; ++i) Step();
  });
  EXPECT_EQ(c.count, 0);
}

// A peak text that changes is set again.
TEST_F(IdleAlloc, ChangedPeakIsShown) {
  Step();
  const unsigned before = form->PeakAbsL;
  for (std::size_t i = 0; i < 22050; i += 2) form->CaptureBuffer[i + 1] /= 2;
  Step();
  ASSERT_EQ(form->PeakAbsL, before / 2);
  EXPECT_EQ(form->Edit11->Text(),
            "rmaxl =" + std::to_string(before / 2) + "rmaxr =" + std::to_string(form->PeakAbsR));
}

// The window itself sees allocations: a step that builds a table proves it.
TEST_F(IdleAlloc, CountingWindowSeesAllocations) {
  const Counted c = CountAllocations([] {
    auto* v = new std::vector<int>(1000);
    delete v;
  });
  EXPECT_EQ(c.count, 2);
  EXPECT_EQ(c.largest, 4000u);
  const Counted none = CountAllocations([] {});
  EXPECT_EQ(none.count, 0);
}

}  // namespace
}  // namespace osciloskop
