// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "platform/mm/memory.h"
#include "tests/platform/wave_test_clock.h"

namespace {

using wavetest::DeviceTime;

TEST(AudioIO, FreshStreamIsSixteenBitMonoWithFourBlocksAndHeaders) {
  DeviceTime time;
  const int before = platform::LiveGlobalBlocks();
  {
    platform::TWinControl form(nullptr);
    auto* s = new TAudioIn(&form);
    EXPECT_EQ(s->Quantization(), 16);
    EXPECT_FALSE(s->Stereo());
    EXPECT_EQ(s->FrameRate(), 22050);
    EXPECT_EQ(s->NumBuffers(), 4);
    EXPECT_EQ(s->BufferSize(), 8192);
    EXPECT_EQ(+s->Format().nBlockAlign, 2);
    EXPECT_EQ(+s->Format().nAvgBytesPerSec, 44100u);
    EXPECT_EQ(+s->Format().wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(s->LastError(), "");
    EXPECT_FALSE(s->DeviceOpen());
    for (int i = 0; i < 4; ++i) {
      ASSERT_NE(s->Header(i), nullptr);
      EXPECT_EQ(s->Header(i)->lpData, s->Block(i));
      EXPECT_EQ(s->Header(i)->dwFlags, 0u) << "headers are zero-filled";
      EXPECT_GE(platform::GlobalBlockSize(s->BlockHandle(i)), 8192u);
    }
    EXPECT_EQ(platform::LiveGlobalBlocks(), before + 8);
  }
  EXPECT_EQ(platform::LiveGlobalBlocks(), before) << "all released with the owner";
}

TEST(AudioIO, SettersClampAndRoundToWholeFrames) {
  DeviceTime time;
  platform::TWinControl form(nullptr);
  auto* s = new TAudioOut(&form);
  s->SetBufferSize(100);
  EXPECT_EQ(s->BufferSize(), 512);
  s->SetStereo(true);
  s->SetBufferSize(514);
  EXPECT_EQ(s->BufferSize(), 512);
  s->SetStereo(false);
  s->SetQuantization(8);
  s->SetBufferSize(601);
  EXPECT_EQ(s->BufferSize(), 601);
  s->SetQuantization(16);
  s->SetBufferSize(44100);
  s->SetStereo(true);
  EXPECT_EQ(s->BufferSize(), 44100);

  for (int v : {0, 1}) {
    s->SetNumBuffers(v);
    EXPECT_EQ(s->NumBuffers(), 2);
  }
  for (int v : {5, 100}) {
    s->SetNumBuffers(v);
    EXPECT_EQ(s->NumBuffers(), 4);
  }
  for (int v : {0, 7}) {
    s->SetQuantization(static_cast<std::uint16_t>(v));
    EXPECT_EQ(s->Quantization(), 8);
  }
  for (int v : {9, 12, 24}) {
    s->SetQuantization(static_cast<std::uint16_t>(v));
    EXPECT_EQ(s->Quantization(), 16);
  }
  for (int v : {0, -44100, 96000}) {
    s->SetFrameRate(v);
    EXPECT_EQ(s->FrameRate(), v);
    EXPECT_EQ(+s->Format().nAvgBytesPerSec, static_cast<DWORD>(v) * 4u);
  }
}

TEST(AudioIO, HeaderLengthNeverExceedsItsBlockInAnySetterOrder) {
  DeviceTime time;
  platform::TWinControl form(nullptr);
  TAudioIn* s = new TAudioIn(&form);
  s->SetStereo(true);
  s->SetBufferSize(514);  // 512 bytes of stereo frames
  s->SetStereo(false);    // 514 bytes of mono frames
  EXPECT_EQ(s->BufferSize(), 514);
  s->SetNumBuffers(2);
  s->SetBufferSize(1000);  // only two blocks now
  s->SetNumBuffers(4);     // the ring grows: every slot gets a block
  s->SetQuantization(8);
  s->SetFrameRate(44100);
  ASSERT_TRUE(s->OpenAndStart(s));
  for (int i = 0; i < s->NumBuffers(); ++i) {
    ASSERT_NE(s->Block(i), nullptr) << i;
    EXPECT_LE(s->Header(i)->dwBufferLength, platform::GlobalBlockSize(s->BlockHandle(i))) << i;
  }
  s->AbortStream();
}

TEST(AudioIO, AllocationFailuresLeaveTheirTextAndEmptySlots) {
  DeviceTime time;
  platform::TWinControl form(nullptr);
  const int before = platform::LiveGlobalBlocks();

  platform::FailGlobalAllocAfter(3);  // third header
  TAudioIn* a = new TAudioIn(&form);
  EXPECT_EQ(a->LastError(), "Error allocating wave header memory");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a->HeaderHandle(i), nullptr);

  platform::FailGlobalLockAfter(2);
  TAudioOut* b = new TAudioOut(&form);
  EXPECT_EQ(b->LastError(), "Could not lock header memory for recording");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(b->Header(i), nullptr);

  TAudioOut* c = new TAudioOut(&form);
  EXPECT_EQ(c->LastError(), "");
  platform::FailGlobalAllocAfter(2);  // second block
  c->SetBufferSize(4000);
  EXPECT_EQ(c->LastError(), "Error allocating wave buffer memory");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(c->BlockHandle(i), nullptr);
  platform::FailGlobalLockAfter(4);
  c->SetBufferSize(4000);
  EXPECT_EQ(c->LastError(), "Error Locking wave buffer memory");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(c->Block(i), nullptr);
  // Still usable: the next write obtains the blocks.
  c->SetBufferSize(4000);
  for (int i = 0; i < 4; ++i) EXPECT_NE(c->Block(i), nullptr);

  // A stream without blocks fails to open instead of handing null to the device.
  TAudioIn* d = new TAudioIn(&form);
  platform::FailGlobalAllocAfter(1);
  d->SetBufferSize(2048);
  EXPECT_FALSE(d->OpenAndStart(d));
  EXPECT_FALSE(d->DeviceOpen());
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(platform::WaveDir::In));

  delete a;
  delete b;
  delete c;
  delete d;
  EXPECT_EQ(platform::LiveGlobalBlocks(), before);
}

TEST(AudioIO, BufferSizeAndNumBuffersAreRefusedWhileOpen) {
  DeviceTime time;
  platform::TWinControl form(nullptr);
  TAudioIn* s = new TAudioIn(&form);
  s->SetBufferSize(4000);
  ASSERT_TRUE(s->OpenAndStart(s));
  void* block = s->Block(0);
  s->SetBufferSize(9000);
  EXPECT_EQ(s->BufferSize(), 4000);
  EXPECT_EQ(s->Block(0), block);
  EXPECT_EQ(s->LastError(), "Buffer size cannot be changed while the device is open");
  s->SetNumBuffers(2);
  EXPECT_EQ(s->NumBuffers(), 4);
  EXPECT_EQ(s->LastError(), "Number of buffers cannot be changed while the device is open");
  s->AbortStream();
  s->SetBufferSize(9000);
  EXPECT_EQ(s->BufferSize(), 9000);
}

TEST(AudioIO, DestroyingAnOpenStreamReleasesTheDeviceFirst) {
  DeviceTime time;
  const int blocks = platform::LiveGlobalBlocks();
  const int windows = platform::LiveWindowCount();
  {
    platform::TWinControl form(nullptr);
    TAudioOut* out = new TAudioOut(&form);
    TAudioIn* in = new TAudioIn(&form);
    out->OnFillBuffer = [](void*, std::int32_t&) { return true; };
    ASSERT_TRUE(out->OpenAndStart(out));
    ASSERT_TRUE(in->OpenAndStart(in));
    time.RunFor(wavetest::Ms(300));
    EXPECT_TRUE(out->DeviceOpen());
  }
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(platform::WaveDir::Out));
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(platform::WaveDir::In));
  EXPECT_EQ(platform::TheVirtualCard().QueuedBuffers(platform::WaveDir::Out), 0u);
  EXPECT_EQ(platform::LiveGlobalBlocks(), blocks);
  time.RunFor(wavetest::Ms(300));  // late messages find no window
  EXPECT_EQ(platform::LiveWindowCount(), windows);
}

// Whatever ends an open, a failed prepare or a close after a run, no header
// is left prepared for a device that is gone.
TEST(AudioIO, NoHeaderStaysPreparedAfterEitherStreamCloses) {
  DeviceTime time;
  platform::TWinControl form(nullptr);
  TAudioOut* out = new TAudioOut(&form);
  TAudioIn* in = new TAudioIn(&form);
  out->OnFillBuffer = [](void*, std::int32_t&) { return true; };
  auto prepared = [](const TAudioIO& s) {
    int n = 0;
    for (int i = 0; i < s.NumBuffers(); ++i) n += (s.Header(i)->dwFlags & WHDR_PREPARED) ? 1 : 0;
    return n;
  };
  auto& card = platform::TheVirtualCard();
  card.FailPrepare(platform::WaveDir::Out, 3, MMSYSERR_NOMEM);
  card.FailPrepare(platform::WaveDir::In, 3, MMSYSERR_NOMEM);
  EXPECT_FALSE(out->OpenAndStart(out));
  EXPECT_FALSE(in->OpenAndStart(in));
  EXPECT_EQ(prepared(*out), 0);
  EXPECT_EQ(prepared(*in), 0);

  ASSERT_TRUE(out->OpenAndStart(out));
  ASSERT_TRUE(in->OpenAndStart(in));
  time.RunFor(wavetest::Ms(300));
  EXPECT_EQ(prepared(*out), out->NumBuffers());
  EXPECT_EQ(prepared(*in), in->NumBuffers());
  out->AbortStream();
  in->AbortStream();
  EXPECT_EQ(prepared(*out), 0);
  EXPECT_EQ(prepared(*in), 0);
}

}  // namespace
