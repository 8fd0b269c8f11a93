// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include "platform/mm/memory.h"

namespace {

bool AllBytes(const void* p, std::size_t n, unsigned char v) {
  const auto* b = static_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < n; ++i)
    if (b[i] != v) return false;
  return true;
}

TEST(GlobalMemory, ZeroFillOnlyWhenAskedFor) {
  platform::ClearGlobalMemoryFaults();
  HGLOBAL zeroed = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 100);
  HGLOBAL plain = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 100);
  ASSERT_NE(zeroed, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_TRUE(AllBytes(GlobalLock(zeroed), 100, 0));
  EXPECT_TRUE(AllBytes(GlobalLock(plain), 100, platform::kGlobalFillPattern));
  EXPECT_NE(platform::kGlobalFillPattern, 0);
  EXPECT_EQ(platform::GlobalBlockSize(plain), 100u);
  GlobalUnlock(zeroed);
  GlobalUnlock(plain);
  EXPECT_EQ(GlobalFree(zeroed), nullptr);
  EXPECT_EQ(GlobalFree(plain), nullptr);
}

TEST(GlobalMemory, LocksAndStaleHandles) {
  platform::ClearGlobalMemoryFaults();
  const int before = platform::LiveGlobalBlocks();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 16);
  EXPECT_EQ(platform::LiveGlobalBlocks(), before + 1);
  void* first = GlobalLock(h);
  void* second = GlobalLock(h);
  EXPECT_EQ(first, second);
  EXPECT_NE(GlobalUnlock(h), 0);  // still locked once
  EXPECT_EQ(GlobalUnlock(h), 0);
  EXPECT_EQ(GlobalUnlock(h), 0);  // not locked at all
  std::memset(first, 1, 16);
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(platform::LiveGlobalBlocks(), before);
  // A freed handle is never valid again, and a new block does not reuse it.
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalFree(h), h);
  HGLOBAL next = GlobalAlloc(GMEM_MOVEABLE, 16);
  EXPECT_NE(next, h);
  GlobalFree(next);
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

TEST(GlobalMemory, InjectedFaultsFireOnceAtTheNthCall) {
  platform::ClearGlobalMemoryFaults();
  const int before = platform::LiveGlobalBlocks();
  platform::FailGlobalAllocAfter(3);
  HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE, 8);
  HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 8);
  HGLOBAL c = GlobalAlloc(GMEM_MOVEABLE, 8);
  HGLOBAL d = GlobalAlloc(GMEM_MOVEABLE, 8);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_NE(d, nullptr);
  EXPECT_EQ(platform::LiveGlobalBlocks(), before + 3);

  platform::FailGlobalLockAfter(2);
  EXPECT_NE(GlobalLock(a), nullptr);
  EXPECT_EQ(GlobalLock(b), nullptr);
  EXPECT_NE(GlobalLock(b), nullptr);

  platform::FailGlobalAllocAfter(1);
  platform::ClearGlobalMemoryFaults();
  HGLOBAL e = GlobalAlloc(GMEM_MOVEABLE, 8);
  EXPECT_NE(e, nullptr);
  for (HGLOBAL h : {a, b, d, e}) GlobalFree(h);
  EXPECT_EQ(platform::LiveGlobalBlocks(), before);
}

}  // namespace
