// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>

#include "platform/mm/volume.h"
#include "platform/card/virtual/virtual_card.h"

namespace {

TEST(Volumes, DistinctStartValuesSetAndRestore) {
  platform::ResetVirtualCard();
  std::set<DWORD> seen;
  DWORD v = 0;
  ASSERT_EQ(waveOutGetVolume(nullptr, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, platform::InitialVirtualVolume(0));
  seen.insert(v);
  for (UINT d = 1; d <= 5; ++d) {
    ASSERT_EQ(auxGetVolume(d, &v), MMSYSERR_NOERROR);
    EXPECT_EQ(v, platform::InitialVirtualVolume(static_cast<int>(d)));
    EXPECT_NE(v & 0xFFFF, v >> 16) << "left and right differ, so swaps show";
    seen.insert(v);
  }
  EXPECT_EQ(seen.size(), 6u);

  EXPECT_EQ(waveOutSetVolume(nullptr, 0x12345678), MMSYSERR_NOERROR);
  EXPECT_EQ(auxSetVolume(3, 0x0000FFFF), MMSYSERR_NOERROR);
  EXPECT_EQ(platform::VirtualVolume(0), 0x12345678u);
  EXPECT_EQ(platform::VirtualVolume(3), 0x0000FFFFu);
  EXPECT_EQ(platform::VirtualVolume(2), platform::InitialVirtualVolume(2));
  ASSERT_EQ(auxGetVolume(3, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, 0x0000FFFFu);

  EXPECT_EQ(auxGetVolume(0, &v), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(auxGetVolume(6, &v), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(auxSetVolume(6, 1), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(auxGetVolume(1, nullptr), MMSYSERR_INVALPARAM);

  platform::ResetVirtualCard();
  EXPECT_EQ(platform::VirtualVolume(0), platform::InitialVirtualVolume(0));
  EXPECT_EQ(platform::VirtualVolume(3), platform::InitialVirtualVolume(3));
}

}  // namespace
