// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/AudioIn.h"
#include "platform/card/virtual/frame_grid.h"
#include "tests/platform/wave_test_clock.h"

namespace {

using platform::WaveDir;
using wavetest::DeviceTime;
using wavetest::Ms;

// The instrument's input stream: 16-bit stereo, 44100 frames/s, four
// buffers of 44100 bytes.
struct InputRig {
  explicit InputRig(DeviceTime& t) : time(t) {
    AudioIn1 = new TAudioIn(&form);
    AudioIn1->SetBufferSize(44100);
    AudioIn1->SetFrameRate(44100);
    AudioIn1->SetStereo(true);
  }
  struct Call {
    void* buffer;
    std::int32_t size;
    platform::Nanos at;
    std::int32_t filled;
  };
  void Respond(bool accept) {
    AudioIn1->OnBufferFilled = [this, accept](void* b, std::int32_t& size) {
      calls.push_back({b, size, time.Now(), AudioIn1->FilledCount()});
      size = 7;  // discarded by the stream
      return accept;
    };
  }
  DeviceTime& time;
  platform::TWinControl form{nullptr};
  TAudioIn* AudioIn1 = nullptr;
  std::vector<Call> calls;
};

TEST(AudioIn, DecliningConsumerGetsSlotZeroFourTimesAndTheRunEnds) {
  DeviceTime time;
  InputRig rig(time);
  rig.Respond(false);
  int stops = 0;
  rig.AudioIn1->OnStop = [&](platform::TObject* sender) {
    ++stops;
    EXPECT_EQ(sender, rig.AudioIn1->CallbackWindow());
  };
  time.RunFor(Ms(7));
  const platform::Nanos t0 = time.Now();
  ASSERT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  EXPECT_EQ(rig.AudioIn1->QueuedCount(), 4);
  EXPECT_EQ(rig.AudioIn1->NextSlot(), 0);
  EXPECT_TRUE(rig.calls.empty()) << "never from inside OpenAndStart";

  // Starts during the run fail and touch nothing.
  EXPECT_FALSE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  EXPECT_EQ(rig.AudioIn1->LastError(), "Wave Input device is already open");
  EXPECT_EQ(rig.AudioIn1->QueuedCount(), 4);
  EXPECT_EQ(platform::TheVirtualCard().QueuedBuffers(WaveDir::In), 4u);

  time.RunFor(Ms(999));
  ASSERT_EQ(rig.calls.size(), 3u);
  EXPECT_TRUE(rig.AudioIn1->DeviceOpen());
  time.RunFor(Ms(1));
  ASSERT_EQ(rig.calls.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(rig.calls[k].buffer, rig.AudioIn1->Block(0)) << k;
    EXPECT_EQ(rig.calls[k].size, 44100);
    EXPECT_EQ(rig.calls[k].at - t0, Ms(250) * (k + 1));
  }
  EXPECT_FALSE(rig.AudioIn1->DeviceOpen());
  EXPECT_FALSE(rig.AudioIn1->Running());
  EXPECT_EQ(rig.AudioIn1->FilledCount(), 0);
  EXPECT_EQ(rig.AudioIn1->DoneCount(), 4);
  EXPECT_EQ(rig.AudioIn1->QueuedCount(), 0);
  EXPECT_FALSE(platform::TheVirtualCard().IsOpen(WaveDir::In));
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(rig.AudioIn1->BufferSize(), 44100) << "the handler's Size change is discarded";

  // The next start begins the next run.
  EXPECT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  EXPECT_EQ(platform::TheVirtualCard().InputRunsStarted(), 2);
  rig.AudioIn1->AbortStream();
}

TEST(AudioIn, AcceptingConsumerGetsTheRingInRecordingOrder) {
  DeviceTime time;
  InputRig rig(time);
  ASSERT_EQ(platform::SetInputSource('r', "sine:600:10000"), "");
  ASSERT_EQ(platform::SetInputSource('l', "square:100:5000"), "");
  std::vector<std::vector<char>> copies;
  std::vector<void*> blocks;
  rig.AudioIn1->OnBufferFilled = [&](void* b, std::int32_t& size) {
    blocks.push_back(b);
    copies.emplace_back(static_cast<char*>(b), static_cast<char*>(b) + size);
    return true;
  };
  const platform::Nanos start = platform::DeviceClock().Now();
  ASSERT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  time.RunFor(Ms(1500));
  ASSERT_EQ(blocks.size(), 6u);
  for (int k = 0; k < 6; ++k) EXPECT_EQ(blocks[k], rig.AudioIn1->Block(k % 4)) << k;
  EXPECT_EQ(rig.AudioIn1->FilledCount(), 6);
  EXPECT_EQ(rig.AudioIn1->QueuedCount(), 4);
  EXPECT_TRUE(rig.AudioIn1->Running());

  // The ring records without a gap: buffer k holds frames 11025k onwards.
  platform::InputSource r, l;
  ASSERT_EQ(r.Parse("sine:600:10000"), "");
  ASSERT_EQ(l.Parse("square:100:5000"), "");
  const std::int64_t first = platform::FrameAt(start, 44100);
  for (int k = 0; k < 6; ++k) {
    for (int j = 0; j < 11025; j += 401) {
      std::int16_t got[2];
      std::memcpy(got, copies[k].data() + 4 * j, 4);
      EXPECT_EQ(got[0], r.SampleAt(first + 11025 * k + j, 44100)) << k << ":" << j;
      EXPECT_EQ(got[1], l.SampleAt(first + 11025 * k + j, 44100)) << k << ":" << j;
    }
  }
  rig.AudioIn1->AbortStream();
  EXPECT_FALSE(rig.AudioIn1->DeviceOpen());
}

TEST(AudioIn, NoHandlerRecordsWithoutEndAndFinishRunsDown) {
  DeviceTime time;
  InputRig rig(time);
  ASSERT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  time.RunFor(Ms(3000));
  EXPECT_EQ(rig.AudioIn1->FilledCount(), 12);
  EXPECT_TRUE(rig.AudioIn1->DeviceOpen());

  rig.Respond(true);
  time.RunFor(Ms(100));
  rig.AudioIn1->FinishStream();
  EXPECT_FALSE(rig.AudioIn1->Accepting());
  time.RunFor(Ms(2000));
  EXPECT_TRUE(rig.calls.empty()) << "no handler call after FinishStream";
  EXPECT_FALSE(rig.AudioIn1->DeviceOpen());
  EXPECT_EQ(rig.AudioIn1->DoneCount(), 16);
}

TEST(AudioIn, LateBuffersOfAnAbortedRunNeverReachTheNextRun) {
  DeviceTime time;
  InputRig rig(time);
  rig.Respond(true);
  ASSERT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  time.RunFor(Ms(600));
  ASSERT_EQ(rig.calls.size(), 2u);
  // Abort leaves four DATA messages posted; a new run opens before they are
  // delivered.
  rig.AudioIn1->AbortStream();
  EXPECT_FALSE(rig.AudioIn1->DeviceOpen());
  ASSERT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  rig.calls.clear();
  time.RunFor(Ms(1));
  EXPECT_TRUE(rig.calls.empty());
  EXPECT_EQ(rig.AudioIn1->DoneCount(), 0);
  EXPECT_EQ(rig.AudioIn1->QueuedCount(), 4);
  time.RunFor(Ms(250));
  ASSERT_EQ(rig.calls.size(), 1u);
  EXPECT_EQ(rig.calls[0].buffer, rig.AudioIn1->Block(0));
  EXPECT_EQ(rig.calls[0].filled, 0);
  rig.AudioIn1->AbortStream();
}

TEST(AudioIn, WindowCountAndMemoryStayFlatOverAThousandRuns) {
  DeviceTime time;
  InputRig rig(time);
  rig.Respond(false);
  ASSERT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  time.RunFor(Ms(1000));
  const int windows = platform::LiveWindowCount();
  const int blocks = platform::LiveGlobalBlocks();
  int runs = 1;
  for (int i = 0; i < 1000; ++i) {
    // An idle step: try twice, as the instrument does, then let time pass.
    if (rig.AudioIn1->OpenAndStart(rig.AudioIn1) || rig.AudioIn1->OpenAndStart(rig.AudioIn1)) ++runs;
    time.RunFor(Ms(250));
  }
  EXPECT_EQ(runs, 1 + 250);
  EXPECT_EQ(platform::LiveWindowCount(), windows);
  EXPECT_EQ(platform::LiveGlobalBlocks(), blocks);
  EXPECT_FALSE(rig.AudioIn1->DeviceOpen()) << "the last run ended at the last step";
  EXPECT_EQ(rig.calls.size(), 4u * runs);
}

TEST(AudioIn, DeviceFailuresLeaveTheirTexts) {
  DeviceTime time;
  InputRig rig(time);
  auto& card = platform::TheVirtualCard();
  TAudioIn*& s = rig.AudioIn1;

  card.FailOpens(WaveDir::In, MMSYSERR_ALLOCATED);
  EXPECT_FALSE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(MMSYSERR_ALLOCATED));
  EXPECT_FALSE(s->DeviceOpen());

  card.FailPrepare(WaveDir::In, 3, MMSYSERR_NOMEM);
  EXPECT_FALSE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(MMSYSERR_NOMEM));
  EXPECT_FALSE(s->DeviceOpen());
  EXPECT_FALSE(card.IsOpen(WaveDir::In));

  card.FailStarts(MMSYSERR_NODRIVER);
  EXPECT_FALSE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), std::string("Error starting wave record: ") + platform::WaveErrorText(MMSYSERR_NODRIVER));
  EXPECT_FALSE(s->DeviceOpen());
  EXPECT_FALSE(card.IsOpen(WaveDir::In));

  // A queue failure while starting closes the device again.
  card.FailQueue(WaveDir::In, 3, MMSYSERR_INVALPARAM);
  EXPECT_FALSE(s->OpenAndStart(s));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(MMSYSERR_INVALPARAM));
  EXPECT_FALSE(s->Accepting());
  EXPECT_FALSE(s->DeviceOpen());
  EXPECT_FALSE(card.IsOpen(WaveDir::In));
  time.RunFor(Ms(10));

  // During a run it lets the stream run down.
  rig.Respond(true);
  ASSERT_TRUE(s->OpenAndStart(s));
  card.FailQueue(WaveDir::In, 1, MMSYSERR_ERROR);
  time.RunFor(Ms(250));
  EXPECT_EQ(s->LastError(), platform::WaveErrorText(MMSYSERR_ERROR));
  EXPECT_FALSE(s->Accepting());
  EXPECT_TRUE(s->DeviceOpen());
  time.RunFor(Ms(750));
  EXPECT_EQ(rig.calls.size(), 1u);
  EXPECT_FALSE(s->DeviceOpen());
  EXPECT_FALSE(card.IsOpen(WaveDir::In));
}

TEST(AudioIn, AVanishedDeviceEndsTheRunAndLaterStartsFail) {
  DeviceTime time;
  InputRig rig(time);
  auto& card = platform::TheVirtualCard();
  rig.Respond(true);
  int starts = 0;
  rig.AudioIn1->OnStart = [&](platform::TObject* sender) {
    ++starts;
    EXPECT_EQ(sender, rig.AudioIn1->CallbackWindow());
  };
  ASSERT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  time.RunFor(Ms(300));
  card.VanishDevice(WaveDir::In);
  time.RunFor(Ms(1));
  EXPECT_FALSE(rig.AudioIn1->DeviceOpen());
  EXPECT_EQ(rig.AudioIn1->LastError(), platform::WaveErrorText(MMSYSERR_NODRIVER));
  EXPECT_FALSE(card.IsOpen(WaveDir::In));
  EXPECT_FALSE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  card.RestoreDevice(WaveDir::In);
  EXPECT_TRUE(rig.AudioIn1->OpenAndStart(rig.AudioIn1));
  time.RunFor(Ms(1));
  EXPECT_EQ(starts, 2);
  rig.AudioIn1->AbortStream();
}

}  // namespace
