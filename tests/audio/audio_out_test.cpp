// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "audio/AudioOut.h"
#include "tests/platform/wave_test_clock.h"

namespace {

using platform::WaveDir;
using wavetest::DeviceTime;
using wavetest::Ms;

// The instrument's output stream: 16-bit mono, 44100 frames/s, four buffers
// of 22000 bytes (11000 frames, 249.4 ms).
struct OutputRig {
  explicit OutputRig(DeviceTime& t) : time(t) {
    AudioOut1 = new TAudioOut(&form);
    AudioOut1->SetBufferSize(22000);
    AudioOut1->SetFrameRate(44100);
  }
  struct Call {
    void* buffer;
    std::int32_t filled;
    std::size_t card_queued;
  };
  // `answer(k)` decides the k-th call; `size` is what the handler leaves.
  void Respond(std::function<bool(int)> answer, std::int32_t size = -1) {
    AudioOut1->OnFillBuffer = [this, answer, size](void* b, std::int32_t& Size) {
      EXPECT_EQ(Size, AudioOut1->BufferSize());
      calls.push_back({b, AudioOut1->FilledCount(), platform::TheVirtualCard().QueuedBuffers(WaveDir::Out)});
      if (size >= 0) Size = size;
      return answer(static_cast<int>(calls.size()) - 1);
    };
  }
  std::int64_t Played() const { return platform::TheVirtualCard().OutputFramesPlayed(); }
  DeviceTime& time;
  platform::TWinControl form{nullptr};
  TAudioOut* AudioOut1 = nullptr;
  std::vector<Call> calls;
};

TEST(AudioOut, FourFillsInsideOpenThenOnePerPlayedBuffer) {
  DeviceTime time;
  OutputRig rig(time);
  rig.Respond([](int) { return true; });
  ASSERT_TRUE(rig.AudioOut1->OpenDevice(rig.AudioOut1));
  ASSERT_EQ(rig.calls.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(rig.calls[k].buffer, rig.AudioOut1->Block(k));
    EXPECT_EQ(rig.calls[k].filled, k);
  }
  EXPECT_EQ(platform::TheVirtualCard().QueuedBuffers(WaveDir::Out), 0u) << "nothing written yet";
  ASSERT_TRUE(rig.AudioOut1->StartPlayback());
  EXPECT_EQ(platform::TheVirtualCard().QueuedBuffers(WaveDir::Out), 4u);
  EXPECT_EQ(rig.AudioOut1->QueuedCount(), 4);

  // Second start while playing: refused, nothing else changes.
  EXPECT_FALSE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  EXPECT_EQ(rig.AudioOut1->LastError(), "Wave output device is already open");
  EXPECT_EQ(rig.calls.size(), 4u);

  time.RunFor(Ms(2000));  // 8 buffers of 11000 frames have played by 1.996 s
  ASSERT_EQ(rig.calls.size(), 4u + 8);
  for (int k = 4; k < 12; ++k) {
    EXPECT_EQ(rig.calls[k].buffer, rig.AudioOut1->Block(k % 4)) << k;
    EXPECT_EQ(rig.calls[k].filled, k);
    EXPECT_EQ(rig.calls[k].card_queued, 3u) << "three wait while one is refilled";
  }
  EXPECT_EQ(rig.Played(), 8 * 11000);
  EXPECT_TRUE(rig.AudioOut1->Running());
  rig.AudioOut1->AbortStream();
}

TEST(AudioOut, TheFirstBufferMustBeFilled) {
  DeviceTime time;
  OutputRig rig(time);
  EXPECT_FALSE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  EXPECT_EQ(rig.AudioOut1->LastError(), "There must be at least one filled buffer");
  EXPECT_FALSE(rig.AudioOut1->DeviceOpen());
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(WaveDir::Out));

  rig.Respond([](int k) { return k != 0; });
  EXPECT_FALSE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  EXPECT_EQ(rig.AudioOut1->LastError(), "There must be at least one filled buffer");
  EXPECT_EQ(rig.calls.size(), 1u);
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(WaveDir::Out));
}

TEST(AudioOut, AShortenedSizePlaysOnlyThatPart) {
  DeviceTime time;
  OutputRig rig(time);
  rig.Respond([](int) { return true; }, 11000);
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  EXPECT_EQ(rig.AudioOut1->Header(0)->dwBufferLength, 11000u);
  time.RunFor(Ms(500));  // 5500-frame buffers: four played by 498.9 ms
  EXPECT_EQ(rig.Played(), 4 * 5500);
  rig.AudioOut1->AbortStream();

  // A handler claiming more than the block plays the block, no more.
  OutputRig big(time);
  big.Respond([](int) { return true; }, 1 << 30);
  ASSERT_TRUE(big.AudioOut1->OpenAndStart(big.AudioOut1));
  EXPECT_EQ(big.AudioOut1->Header(0)->dwBufferLength, 22000u);
  big.AudioOut1->AbortStream();
}

TEST(AudioOut, PausedOpenFillsAndWritesButPlaysNothingUntilResumed) {
  DeviceTime time;
  OutputRig rig(time);
  rig.Respond([](int) { return true; });
  rig.AudioOut1->SetPaused(true);
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  EXPECT_EQ(rig.calls.size(), 4u);
  EXPECT_EQ(platform::TheVirtualCard().QueuedBuffers(WaveDir::Out), 4u);
  time.RunFor(Ms(3000));
  EXPECT_EQ(rig.calls.size(), 4u);
  EXPECT_EQ(rig.Played(), 0);
  EXPECT_TRUE(platform::TheVirtualCard().OutputPaused());
  rig.AudioOut1->SetPaused(false);
  time.RunFor(Ms(250));
  EXPECT_EQ(rig.calls.size(), 5u);
  EXPECT_EQ(rig.Played(), 11000);
  rig.AudioOut1->AbortStream();
  EXPECT_FALSE(rig.AudioOut1->Paused()) << "closing clears the flag";
}

TEST(AudioOut, FinishPlaysTheQueueAndAbortStopsAtOnce) {
  DeviceTime time;
  OutputRig rig(time);
  int stops = 0;
  rig.AudioOut1->OnStop = [&](platform::TObject* sender) {
    ++stops;
    EXPECT_EQ(sender, rig.AudioOut1->CallbackWindow());
  };
  rig.Respond([](int) { return true; });
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  time.RunFor(Ms(300));
  const std::size_t calls = rig.calls.size();
  rig.AudioOut1->FinishStream();
  time.RunFor(Ms(2000));
  EXPECT_EQ(rig.calls.size(), calls) << "no fill after FinishStream";
  EXPECT_FALSE(rig.AudioOut1->DeviceOpen());
  EXPECT_EQ(rig.Played(), 5 * 11000);
  EXPECT_EQ(stops, 1);

  // Abort, then reopen before the reset's DONE messages are delivered.
  rig.calls.clear();
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  time.RunFor(Ms(100));
  rig.AudioOut1->AbortStream();
  EXPECT_FALSE(rig.AudioOut1->DeviceOpen());
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  time.RunFor(Ms(1));
  EXPECT_EQ(rig.AudioOut1->DoneCount(), 0);
  EXPECT_EQ(rig.calls.size(), 8u);
  EXPECT_EQ(rig.AudioOut1->FilledCount(), 4);
  time.RunFor(Ms(250));
  EXPECT_EQ(rig.AudioOut1->DoneCount(), 1);
  EXPECT_EQ(rig.calls.size(), 9u);
  rig.AudioOut1->AbortStream();
}

TEST(AudioOut, DeclinedFillsCloseTheDeviceCleanly) {
  DeviceTime time;
  OutputRig rig(time);
  // Only the first fill of the open accepted: four slots are written while
  // QueuedCount is 1, so the stream closes with three still on the device.
  rig.Respond([](int k) { return k == 0; });
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  time.RunFor(Ms(260));
  EXPECT_FALSE(rig.AudioOut1->DeviceOpen());
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(WaveDir::Out)) << "not left held by the device";
  EXPECT_EQ(platform::TheVirtualCard().QueuedBuffers(WaveDir::Out), 0u);
  rig.calls.clear();
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));

  // A fill accepted in the very handling in which the queue ran dry: the
  // slot is written and the close follows at once.
  rig.AudioOut1->AbortStream();
  rig.calls.clear();
  rig.Respond([](int k) { return k < 4 || k == 7; });
  ASSERT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1));
  time.RunFor(Ms(1000));
  ASSERT_EQ(rig.calls.size(), 8u);
  EXPECT_EQ(rig.AudioOut1->FilledCount(), 5);
  EXPECT_FALSE(rig.AudioOut1->DeviceOpen());
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(WaveDir::Out));
  rig.calls.clear();
  EXPECT_TRUE(rig.AudioOut1->OpenAndStart(rig.AudioOut1)) << "the device is free again";
  rig.AudioOut1->AbortStream();
}

TEST(AudioOut, WriteFailuresLeaveTheirTexts) {
  DeviceTime time;
  OutputRig rig(time);
  auto& card = platform::TheVirtualCard();
  TAudioOut*& s = rig.AudioOut1;
  rig.Respond([](int) { return true; });

  card.FailOpens(WaveDir::Out, WAVERR_BADFORMAT);
  EXPECT_FALSE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(WAVERR_BADFORMAT));

  card.FailPrepare(WaveDir::Out, 2, MMSYSERR_NOMEM);
  EXPECT_FALSE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(MMSYSERR_NOMEM));
  EXPECT_FALSE(card.IsOpen(WaveDir::Out));

  card.FailQueue(WaveDir::Out, 1, MMSYSERR_ERROR);
  EXPECT_FALSE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(MMSYSERR_ERROR));
  EXPECT_FALSE(s->DeviceOpen());
  EXPECT_FALSE(card.IsOpen(WaveDir::Out));

  // A later write failing lets the stream run down.
  card.FailQueue(WaveDir::Out, 3, MMSYSERR_INVALPARAM);
  rig.calls.clear();
  EXPECT_TRUE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(MMSYSERR_INVALPARAM));
  EXPECT_FALSE(s->Accepting());
  EXPECT_TRUE(s->DeviceOpen());
  time.RunFor(Ms(1000));
  EXPECT_EQ(rig.calls.size(), 4u);
  EXPECT_FALSE(s->DeviceOpen());
  EXPECT_FALSE(card.IsOpen(WaveDir::Out));
}

}  // namespace
