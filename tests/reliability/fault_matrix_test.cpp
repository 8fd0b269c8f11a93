// SPDX-License-Identifier: GPL-3.0-or-later
// The fault matrix: every failing call the instrument handles, injected at
// each point of a run, on the program as a headless run has it. For each the
// exact text the stream keeps or the message shown, and the instrument going
// on: the input retried at the next idle step, the output retried once, a
// mixer that cannot be opened leaving the window still, failing volume and
// mixer line calls ignored. After each run the windows and the wave memory
// are all given back (the asan build checks the rest of the heap).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "mixer/AudioMixer.h"
#include "platform/base/messages.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/card/virtual/virtual_mixer.h"
#include "platform/mm/memory.h"
#include "platform/mm/volume.h"
#include "tests/reliability/session.h"

namespace reliability {
namespace {

using platform::TheVirtualCard;
using platform::WaveDir;

const char kAllocated[] = "The device is already in use by another handle.";
const char kNoDriver[] = "No sound driver is present for the device.";
const char kNoMem[] = "Not enough memory for the sound operation.";
const char kError[] = "An unspecified error occurred in the sound device.";
const char kInvalParam[] = "An invalid parameter was passed to the sound device.";

platform::PlatformOptions Options() {
  platform::PlatformOptions o;
  o.idle_quantum_ms = 10;
  o.signal_r = "sine:600:16000";
  return o;
}

// Runs a session, then checks that nothing it held is left.
void RunSession(const std::function<void()>& before, const std::function<void(Session&)>& body) {
  const int windows = platform::LiveWindowCount();
  {
    Session s(Options(), before);
    body(s);
  }
  platform::ClearGlobalMemoryFaults();
  EXPECT_EQ(platform::LiveWindowCount(), windows) << "windows left behind";
  EXPECT_EQ(platform::LiveGlobalBlocks(), 0) << "wave memory left behind";
}

int Runs() { return TheVirtualCard().InputRunsStarted(); }

// The input records again within a second and a half, and the output plays.
void GoesOn(Session& s, const std::string& where) {
  const int runs = Runs();
  const std::int64_t played = TheVirtualCard().OutputFramesPlayed();
  EXPECT_EQ(s.Line("wait 1.5"), "");
  EXPECT_GT(Runs(), runs) << where << ": the input did not record again";
  EXPECT_GT(TheVirtualCard().OutputFramesPlayed(), played) << where << ": the output stopped";
  EXPECT_EQ(s.Form().SampleCount, 22050) << where;
  EXPECT_TRUE(s.App().Errors().empty()) << where;
}

TEST(FaultMatrix, InputCallsFailingAtEachPointOfARunAreRetriedAtTheNextIdleStep) {
  struct Fault {
    std::string name;
    std::function<void()> inject;
    std::string text;
  };
  std::vector<Fault> faults = {
      {"waveInOpen", [] { TheVirtualCard().FailOpens(WaveDir::In, MMSYSERR_ALLOCATED, 3); }, kAllocated},
      {"waveInStart", [] { TheVirtualCard().FailStarts(MMSYSERR_NOMEM, 2); },
       std::string("Error starting wave record: ") + kNoMem},
  };
  for (int nth = 1; nth <= 4; ++nth) {
    faults.push_back({"waveInPrepareHeader " + std::to_string(nth),
                      [nth] { TheVirtualCard().FailPrepare(WaveDir::In, nth, MMSYSERR_NOMEM); }, kNoMem});
    faults.push_back({"waveInAddBuffer " + std::to_string(nth),
                      [nth] { TheVirtualCard().FailQueue(WaveDir::In, nth, MMSYSERR_ERROR); }, kError});
  }
  // At start-up (the first run, from the frequency slider), in the middle of
  // a run (the next open) and just as a run ends (at 1.0 s the next starts).
  const double points[] = {-1, 0.5, 0.99};
  for (const Fault& f : faults) {
    for (double at : points) {
      const std::string where = f.name + " at " + std::to_string(at);
      RunSession(at < 0 ? f.inject : std::function<void()>{}, [&](Session& s) {
        if (at >= 0) {
          EXPECT_EQ(s.Line("wait " + std::to_string(at)), "");
          f.inject();
        }
        EXPECT_EQ(s.Line("wait 0.2"), "") << where;
        // The failure's text stands until the next success overwrites it
        // with "already open": look right after the failing call.
        const TAudioIn& in = *s.Form().AudioIn1;
        EXPECT_TRUE(in.LastError() == f.text || in.LastError() == "Wave Input device is already open")
            << where << ": " << in.LastError();
        GoesOn(s, where);
      });
    }
  }
}

TEST(FaultMatrix, TheFailureTextIsWhatTheStreamKeeps) {
  // A failure on every retry: the text stays, and the instrument keeps trying.
  RunSession({}, [](Session& s) {
    EXPECT_EQ(s.Line("wait 1.2"), "");
    TheVirtualCard().FailOpens(WaveDir::In, MMSYSERR_NODRIVER, 1000000);
    EXPECT_EQ(s.Line("wait 3"), "");
    EXPECT_EQ(s.Form().AudioIn1->LastError(), kNoDriver);
    EXPECT_FALSE(s.Form().AudioIn1->DeviceOpen());
    TheVirtualCard().FailOpens(WaveDir::In, MMSYSERR_NOERROR, 0);
    GoesOn(s, "after the failing opens");
  });
}

TEST(FaultMatrix, AnInputDeviceThatVanishesAndComesBackResumesAtTheNextIdleStep) {
  for (double at : {0.1, 0.6, 1.0}) {
    RunSession({}, [at](Session& s) {
      EXPECT_EQ(s.Line("wait " + std::to_string(at)), "");
      TheVirtualCard().VanishDevice(WaveDir::In);
      EXPECT_EQ(s.Line("wait 2"), "");
      EXPECT_EQ(s.Form().AudioIn1->LastError(), kNoDriver) << at;
      EXPECT_FALSE(s.Form().AudioIn1->DeviceOpen()) << at;
      const int runs = Runs();
      TheVirtualCard().RestoreDevice(WaveDir::In);
      EXPECT_EQ(s.Line("wait 0.01"), "");
      EXPECT_EQ(Runs(), runs + 1) << at << ": not resumed at the next idle step";
      GoesOn(s, "vanished at " + std::to_string(at));
    });
  }
}

TEST(FaultMatrix, OutputCallsFailingAtStartUpAreRetriedOnce) {
  struct Fault {
    std::string name;
    std::function<void()> inject;
    std::string text;
    bool plays;  // the retry succeeds
  };
  std::vector<Fault> faults = {
      {"waveOutOpen once", [] { TheVirtualCard().FailOpens(WaveDir::Out, MMSYSERR_ALLOCATED, 1); }, kAllocated, true},
      {"waveOutOpen twice", [] { TheVirtualCard().FailOpens(WaveDir::Out, MMSYSERR_NODRIVER, 2); }, kNoDriver, false},
      // The first write of a start closes the device: the retry plays.
      {"waveOutWrite 1", [] { TheVirtualCard().FailQueue(WaveDir::Out, 1, MMSYSERR_NOMEM); }, kNoMem, true},
      // A later write of the start leaves the stream running down: the start
      // succeeded, so nothing retries it and the output ends.
      {"waveOutWrite 3", [] { TheVirtualCard().FailQueue(WaveDir::Out, 3, MMSYSERR_NOMEM); }, kNoMem, false},
  };
  for (int nth = 1; nth <= 4; ++nth)
    faults.push_back({"waveOutPrepareHeader " + std::to_string(nth),
                      [nth] { TheVirtualCard().FailPrepare(WaveDir::Out, nth, MMSYSERR_ERROR); }, kError, true});
  for (const Fault& f : faults) {
    RunSession(f.inject, [&](Session& s) {
      const TAudioOut& out = *s.Form().AudioOut1;
      EXPECT_EQ(s.Line("wait 2"), "");
      EXPECT_EQ(out.DeviceOpen(), f.plays) << f.name;
      if (f.plays) {
        EXPECT_EQ(out.QueuedCount(), 4) << f.name;
        EXPECT_GT(TheVirtualCard().OutputFramesPlayed(), 44100) << f.name;
      } else {
        EXPECT_EQ(out.LastError(), f.text) << f.name;
      }
      // The input does not depend on the output.
      const int runs = Runs();
      EXPECT_EQ(s.Line("wait 1.5"), "");
      EXPECT_GT(Runs(), runs) << f.name;
    });
  }
}

TEST(FaultMatrix, OutputFailingWhilePlayingRunsDownAndTheInputGoesOn) {
  for (int nth : {1, 2, 5}) {
    RunSession({}, [nth](Session& s) {
      EXPECT_EQ(s.Line("wait 0.6"), "");
      TheVirtualCard().FailQueue(WaveDir::Out, nth, MMSYSERR_ERROR);
      EXPECT_EQ(s.Line("wait 3"), "");
      const TAudioOut& out = *s.Form().AudioOut1;
      EXPECT_EQ(out.LastError(), kError) << nth;
      EXPECT_FALSE(out.DeviceOpen()) << nth;
      EXPECT_EQ(TheVirtualCard().QueuedBuffers(WaveDir::Out), 0u) << nth;
      const int runs = Runs();
      EXPECT_EQ(s.Line("wait 1.5"), "");
      EXPECT_GT(Runs(), runs) << nth;
    });
  }
  // A vanished output device: the queued buffers come back, the refill fails.
  RunSession({}, [](Session& s) {
    EXPECT_EQ(s.Line("wait 0.3"), "");
    TheVirtualCard().VanishDevice(WaveDir::Out);
    EXPECT_EQ(s.Line("wait 2"), "");
    EXPECT_EQ(s.Form().AudioOut1->LastError(), kNoDriver);
    EXPECT_FALSE(s.Form().AudioOut1->DeviceOpen());
  });
}

TEST(FaultMatrix, WaveMemoryFailingAtEachAllocationLeavesThatStreamSilentAndTheOtherRunning) {
  // Each of the window's two streams obtains 4 headers and 4 blocks when it
  // is made, and 4 blocks again when the stored buffer size is applied (a
  // failure among the first blocks is healed then).
  int silenced = 0;
  for (int nth = 1; nth <= 24; ++nth) {
    for (bool lock : {false, true}) {
      const std::string where = std::string(lock ? "GlobalLock " : "GlobalAlloc ") + std::to_string(nth);
      RunSession([&] { lock ? platform::FailGlobalLockAfter(nth) : platform::FailGlobalAllocAfter(nth); },
                 [&](Session& s) {
                   const TAudioIn& in = *s.Form().AudioIn1;
                   const TAudioOut& out = *s.Form().AudioOut1;
                   const bool in_failed = !in.Block(3) || !in.Header(3);
                   const bool out_failed = !out.Block(3) || !out.Header(3);
                   ASSERT_FALSE(in_failed && out_failed) << where;
                   if (!in_failed && !out_failed) return GoesOn(s, where);
                   ++silenced;
                   // The stream without its memory holds no slot of that kind
                   // and cannot prepare a header; the other one works.
                   const TAudioIO& failed = in_failed ? static_cast<const TAudioIO&>(in) : out;
                   const bool blocks = !failed.Block(3);
                   for (int i = 0; i < 4; ++i)
                     EXPECT_EQ(blocks ? failed.Block(i) != nullptr : failed.Header(i) != nullptr, false)
                         << where;
                   EXPECT_EQ(s.Line("wait 1.5"), "");
                   EXPECT_EQ(failed.LastError(), kInvalParam) << where;
                   EXPECT_FALSE(failed.DeviceOpen()) << where;
                   if (in_failed) {
                     EXPECT_EQ(Runs(), 0) << where;
                     EXPECT_GT(TheVirtualCard().OutputFramesPlayed(), 0) << where;
                   } else {
                     EXPECT_GT(Runs(), 0) << where;
                     EXPECT_EQ(TheVirtualCard().OutputFramesPlayed(), 0) << where;
                     EXPECT_EQ(s.Form().SampleCount, 22050) << where;
                   }
                 });
    }
  }
  EXPECT_EQ(silenced, 32);
}

TEST(FaultMatrix, AMixerThatCannotBeOpenedLeavesTheWindowStill) {
  struct Case {
    const char* mode;
    const char* message;
  } cases[] = {{"none", "No mixer device present in this system."},
               {"fail-caps", "Function mixerGetDevCaps failed. Mixer device ID: 0"},
               {"fail-open", "Function mixerOpen failed"}};
  for (const Case& c : cases) {
    RunSession([&] { EXPECT_EQ(platform::TheVirtualMixer().SetMode(c.mode), ""); }, [&](Session& s) {
      ASSERT_EQ(s.App().Errors().size(), 1u) << c.mode;
      EXPECT_EQ(s.App().Errors()[0], c.message);
      EXPECT_NE(s.StartupStderr().find(c.message), std::string::npos) << c.mode;
      EXPECT_EQ(s.Line("wait 1.5"), "");
      EXPECT_EQ(Runs(), 0) << c.mode;
      EXPECT_EQ(TheVirtualCard().OutputFramesPlayed(), 0) << c.mode;
      EXPECT_EQ(s.Form().SampleCount, 22100) << c.mode;
      platform::SetVirtualVolume(0, 7);
      EXPECT_EQ(s.Line("close"), "");
      EXPECT_EQ(platform::VirtualVolume(0), platform::InitialVirtualVolume(0)) << c.mode;
    });
  }
}

TEST(FaultMatrix, MixerLineAndValueCallsFailingAtEachLineAreIgnored) {
  const char* lines[] = {"speakers",     "speakers.wave", "speakers.line", "speakers.mic",
                         "speakers.aux", "wavein",        "wavein.line",   "wavein.mic",
                         "voicein",      "voicein.mic"};
  for (const char* line : lines) {
    for (int kind = 0; kind < 3; ++kind) {
      const std::string where = std::string(line) + (kind == 0 ? " line info" : kind == 1 ? " controls" : " values");
      RunSession(
          [&] {
            auto& m = platform::TheVirtualMixer();
            if (kind == 0) m.FailLineInfo(line, MMSYSERR_ERROR);
            if (kind == 1) m.FailLineControls(line, MMSYSERR_ERROR);
            if (kind == 2) m.FailValues(line, "volume", MMSYSERR_ERROR);
          },
          [&](Session& s) {
            // At start-up, and again at an outside change of the line.
            EXPECT_TRUE(s.Form().AudioMixer1->Destinations().size() == 3u) << where;
            EXPECT_EQ(s.Line("mixer " + std::string(line) + " volume 1234"), "") << where;
            GoesOn(s, where);
          });
    }
  }
}

// Every volume call fails.
class FailingVolumes final : public platform::VolumeBackend {
 public:
  MMRESULT Get(int, DWORD*) override { ++calls; return MMSYSERR_NODRIVER; }
  MMRESULT Set(int, DWORD) override { ++calls; return MMSYSERR_NODRIVER; }
  int calls = 0;
};

TEST(FaultMatrix, FailingVolumeCallsAreNotExaminedAtStartUpOrClose) {
  FailingVolumes volumes;
  RunSession([&] { platform::SetVolumeBackend(&volumes); }, [&](Session& s) {
    EXPECT_EQ(volumes.calls, 6);
    GoesOn(s, "volumes failing");
    EXPECT_EQ(s.Line("close"), "");
    EXPECT_EQ(volumes.calls, 12);
  });
  platform::SetVolumeBackend(nullptr);
}

}  // namespace
}  // namespace reliability
