// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA backends through the real wave and volume calls. The streams run
// on ALSA's "null" PCM, which needs no hardware and runs at the frame rate
// here (the device threads never run ahead of the clock); every wait is
// bounded.
#include "platform/card/alsa/alsa_wave_backend.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/messages.h"
#include "platform/card/alsa/alsa_volume.h"
#include "platform/card/cards.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/mm/mixer.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/volume.h"
#include "platform/options.h"
#include "platform/toolkit/wincontrol.h"
#include "tests/platform/wave_test_records.h"

namespace {

using platform::AlsaWaveBackend;
using platform::WaveDir;
using wavetest::kWindowFlags;
using wavetest::Pcm;

constexpr const char* kMissing = "osciloskop_no_such_device";
using wavetest::Buffer;

// A hidden window that records what it is sent.
class Recorder : public platform::TWinControl {
 public:
  struct Entry {
    UINT msg;
    WPARAM wparam;
    LPARAM lparam;
  };
  Recorder() : platform::TWinControl(nullptr) {}
  void WndProc(platform::TMessage& m) override { log.push_back({m.Msg, m.WParam, m.LParam}); }
  int Count(UINT msg) const {
    int n = 0;
    for (const Entry& e : log) n += e.msg == msg;
    return n;
  }
  std::vector<WAVEHDR*> Headers(UINT msg) const {
    std::vector<WAVEHDR*> out;
    for (const Entry& e : log)
      if (e.msg == msg) out.push_back(reinterpret_cast<WAVEHDR*>(e.lparam));
    return out;
  }
  std::vector<UINT> Messages() const {
    std::vector<UINT> out;
    for (const Entry& e : log) out.push_back(e.msg);
    return out;
  }
  std::vector<Entry> log;
};

// Delivers posted messages until `done` holds or a few seconds have gone.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(4)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    platform::DispatchPostedMessages();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Lets the device threads run for a while, delivering what they post.
void Settle(std::chrono::milliseconds d = std::chrono::milliseconds(80)) {
  WaitFor([] { return false; }, d);
}

std::uintptr_t Raw(const void* h) { return reinterpret_cast<std::uintptr_t>(h); }

bool NullPcmUsable() {
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  return platform::AlsaPcmUsable("null", WaveDir::Out, f) &&
         platform::AlsaPcmUsable("null", WaveDir::In, f);
}

// Streams on the null PCM through the waveIn*/waveOut* calls.
class AlsaNullPcm : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!NullPcmUsable()) GTEST_SKIP() << "ALSA's \"null\" PCM cannot be opened on this machine";
    platform::DispatchPostedMessages();
    platform::SetWaveBackend(&backend_);
    backend_.SetErrorLog([this](const std::string& s) {
      std::lock_guard lock(log_mutex_);
      logged_.push_back(s);
    });
  }
  void TearDown() override {
    platform::SetWaveBackend(nullptr);
    platform::DispatchPostedMessages();
  }

  HWAVEOUT OpenOut(const WAVEFORMATEX& f) {
    HWAVEOUT out = nullptr;
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, win_.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
    return out;
  }
  HWAVEIN OpenIn(const WAVEFORMATEX& f) {
    HWAVEIN in = nullptr;
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win_.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
    return in;
  }

  std::int64_t Frames(WaveDir dir) const { return backend_.Counters(dir).frames; }

  AlsaWaveBackend backend_{"null"};
  Recorder win_;
  // What the backend told, from whichever thread.
  std::vector<std::string> Logged() {
    std::lock_guard lock(log_mutex_);
    return logged_;
  }

 private:
  std::mutex log_mutex_;
  std::vector<std::string> logged_;
};

TEST_F(AlsaNullPcm, PlaybackReturnsEveryBufferInWriteOrder) {
  const WAVEFORMATEX f = Pcm(1, 44100, 16);
  HWAVEOUT out = OpenOut(f);
  ASSERT_NE(out, nullptr);
  std::vector<Buffer> bufs;
  for (int i = 0; i < 4; ++i) bufs.emplace_back(22000, static_cast<char>(i));
  for (Buffer& b : bufs) {
    ASSERT_EQ(waveOutPrepareHeader(out, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WOM_DONE) == 4; }));
  std::vector<WAVEHDR*> expected;
  for (Buffer& b : bufs) expected.push_back(&b.hdr);
  EXPECT_EQ(win_.Headers(MM_WOM_DONE), expected);
  for (const auto& e : win_.log) EXPECT_EQ(e.wparam, Raw(out));
  for (Buffer& b : bufs) {
    EXPECT_TRUE(b.hdr.dwFlags & WHDR_DONE);
    EXPECT_FALSE(b.hdr.dwFlags & WHDR_INQUEUE);
    EXPECT_TRUE(b.hdr.dwFlags & WHDR_PREPARED);
    EXPECT_EQ(waveOutUnprepareHeader(out, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(Frames(WaveDir::Out), 4 * 22000 / f.nBlockAlign);
  EXPECT_EQ(backend_.OpenStreams(), 0u);
  platform::DispatchPostedMessages();
  std::vector<UINT> msgs = win_.Messages();
  ASSERT_EQ(msgs.size(), 6u);
  EXPECT_EQ(msgs.front(), MM_WOM_OPEN);
  EXPECT_EQ(msgs.back(), MM_WOM_CLOSE);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_INVALHANDLE);
}

TEST_F(AlsaNullPcm, OutputRequeuedFromItsDoneMessagesKeepsOrder) {
  // The GUI thread queues while the device thread completes: nothing may be
  // lost, doubled or reordered.
  const WAVEFORMATEX f = Pcm(2, 48000, 16);
  HWAVEOUT out = OpenOut(f);
  ASSERT_NE(out, nullptr);
  std::vector<Buffer> bufs;
  for (int i = 0; i < 4; ++i) bufs.emplace_back(4096);
  for (Buffer& b : bufs) {
    ASSERT_EQ(waveOutPrepareHeader(out, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  constexpr int kWrites = 400;
  int written = 4;
  std::size_t seen = 0;
  ASSERT_TRUE(WaitFor([&] {
    auto done = win_.Headers(MM_WOM_DONE);
    for (; seen < done.size(); ++seen)
      if (written < kWrites && waveOutWrite(out, done[seen], sizeof(WAVEHDR)) == MMSYSERR_NOERROR)
        ++written;
    return static_cast<int>(done.size()) == kWrites;
  }));
  auto done = win_.Headers(MM_WOM_DONE);
  for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], &bufs[i % 4].hdr) << i;
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(Frames(WaveDir::Out), std::int64_t{kWrites} * 4096 / f.nBlockAlign);
}

TEST_F(AlsaNullPcm, CaptureRecordsOnlyAfterStart) {
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  HWAVEIN in = OpenIn(f);
  ASSERT_NE(in, nullptr);
  // A length that is not whole frames: only whole frames are recorded.
  std::vector<Buffer> bufs;
  for (int i = 0; i < 3; ++i) bufs.emplace_back(44102);
  for (Buffer& b : bufs) {
    ASSERT_EQ(waveInPrepareHeader(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    b.hdr.dwBytesRecorded = 7;
    ASSERT_EQ(waveInAddBuffer(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_TRUE(b.hdr.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(b.hdr.dwBytesRecorded, 0u);
  }
  Settle();
  EXPECT_EQ(win_.Count(MM_WIM_DATA), 0) << "nothing is recorded before waveInStart";
  EXPECT_EQ(waveInClose(in), WAVERR_STILLPLAYING);

  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WIM_DATA) == 3; }));
  std::vector<WAVEHDR*> expected;
  for (Buffer& b : bufs) expected.push_back(&b.hdr);
  EXPECT_EQ(win_.Headers(MM_WIM_DATA), expected);
  for (Buffer& b : bufs) {
    EXPECT_EQ(b.hdr.dwBytesRecorded, 44102u / f.nBlockAlign * f.nBlockAlign);
    EXPECT_TRUE(b.hdr.dwFlags & WHDR_DONE);
    EXPECT_FALSE(b.hdr.dwFlags & WHDR_INQUEUE);
  }
  // Recording goes on with no buffer queued; a buffer added later fills too.
  Settle(std::chrono::milliseconds(30));
  ASSERT_EQ(waveInAddBuffer(in, &bufs[0].hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WIM_DATA) == 4; }));
  EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  platform::DispatchPostedMessages();
  EXPECT_EQ(win_.Messages().front(), MM_WIM_OPEN);
  EXPECT_EQ(win_.Messages().back(), MM_WIM_CLOSE);
  EXPECT_EQ(win_.Count(MM_WIM_CLOSE), 1);
}

TEST_F(AlsaNullPcm, EightBitStreamsCountFramesOfTheirOwnSize) {
  const WAVEFORMATEX f = Pcm(2, 22050, 8);
  HWAVEIN in = OpenIn(f);
  ASSERT_NE(in, nullptr);
  Buffer b(1001);
  ASSERT_EQ(waveInPrepareHeader(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInAddBuffer(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WIM_DATA) == 1; }));
  EXPECT_EQ(b.hdr.dwBytesRecorded, 1000u);
  EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

TEST_F(AlsaNullPcm, InputResetReturnsQueuedBuffersAtOnceAndStopsRecording) {
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  HWAVEIN in = OpenIn(f);
  ASSERT_NE(in, nullptr);
  Buffer a(44100), b(44100), c(44100);
  for (Buffer* x : {&a, &b}) {
    ASSERT_EQ(waveInPrepareHeader(in, &x->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &x->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  // Back before any message is delivered.
  for (Buffer* x : {&a, &b}) {
    EXPECT_TRUE(x->hdr.dwFlags & WHDR_DONE);
    EXPECT_FALSE(x->hdr.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(x->hdr.dwBytesRecorded, 0u);
  }
  platform::DispatchPostedMessages();
  EXPECT_EQ(win_.Headers(MM_WIM_DATA), (std::vector<WAVEHDR*>{&a.hdr, &b.hdr}));

  // Start, reset: recording stops, and a buffer queued afterwards waits.
  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInPrepareHeader(in, &c.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInAddBuffer(in, &c.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  Settle();
  EXPECT_EQ(win_.Count(MM_WIM_DATA), 2);
  EXPECT_TRUE(c.hdr.dwFlags & WHDR_INQUEUE);
  EXPECT_EQ(waveInUnprepareHeader(in, &c.hdr, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  ASSERT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInUnprepareHeader(in, &c.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  platform::DispatchPostedMessages();
  EXPECT_EQ(win_.Count(MM_WIM_DATA), 3);
  EXPECT_EQ(win_.Messages().back(), MM_WIM_CLOSE);
}

TEST_F(AlsaNullPcm, PausedOutputHoldsItsBuffersUntilRestartOrReset) {
  const WAVEFORMATEX f = Pcm(1, 44100, 16);
  HWAVEOUT out = OpenOut(f);
  ASSERT_NE(out, nullptr);
  Buffer a(2000), b(2000), c(2000);
  for (Buffer* x : {&a, &b, &c})
    ASSERT_EQ(waveOutPrepareHeader(out, &x->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  Settle();
  EXPECT_EQ(win_.Count(MM_WOM_DONE), 0);
  EXPECT_EQ(Frames(WaveDir::Out), 0);
  ASSERT_EQ(waveOutRestart(out), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WOM_DONE) == 2; }));
  EXPECT_EQ(win_.Headers(MM_WOM_DONE), (std::vector<WAVEHDR*>{&a.hdr, &b.hdr}));

  // Paused again: a reset still gives the buffer back, unplayed.
  ASSERT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &c.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), WAVERR_STILLPLAYING);
  ASSERT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
  EXPECT_TRUE(c.hdr.dwFlags & WHDR_DONE);
  EXPECT_FALSE(c.hdr.dwFlags & WHDR_INQUEUE);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(Frames(WaveDir::Out), 2 * 1000);
  platform::DispatchPostedMessages();
  EXPECT_EQ(win_.Count(MM_WOM_DONE), 3);
  EXPECT_EQ(win_.Messages().back(), MM_WOM_CLOSE);
}

TEST_F(AlsaNullPcm, XrunIsRecoveredAndTheStreamGoesOn) {
  const WAVEFORMATEX f = Pcm(1, 44100, 16);
  HWAVEOUT out = OpenOut(f);
  HWAVEIN in = OpenIn(Pcm(2, 44100, 16));
  ASSERT_NE(out, nullptr);
  ASSERT_NE(in, nullptr);
  Buffer a(2000), b(4000);
  backend_.InjectTransferError(WaveDir::Out, -EPIPE);
  backend_.InjectTransferError(WaveDir::In, -EPIPE);
  ASSERT_EQ(waveOutPrepareHeader(out, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInPrepareHeader(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInAddBuffer(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  ASSERT_TRUE(
      WaitFor([&] { return win_.Count(MM_WOM_DONE) == 1 && win_.Count(MM_WIM_DATA) == 1; }));
  for (WaveDir d : {WaveDir::Out, WaveDir::In}) {
    EXPECT_EQ(backend_.Counters(d).xruns, 1);
    EXPECT_EQ(backend_.Counters(d).recovered, 1);
    EXPECT_EQ(backend_.Counters(d).failures, 0);
    EXPECT_EQ(backend_.Counters(d).opens, 1);
  }
  EXPECT_EQ(b.hdr.dwBytesRecorded, 4000u);
  EXPECT_EQ(platform::ActiveWaveBackend().Check(WaveDir::Out, Raw(out)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(Frames(WaveDir::Out), 1000);
  EXPECT_TRUE(backend_.LastError().empty()) << backend_.LastError();
  // The first xrun of each direction is told, naming the device.
  ASSERT_EQ(Logged().size(), 2u);
  for (const std::string& line : Logged()) EXPECT_NE(line.find("'null'"), std::string::npos) << line;
}

TEST_F(AlsaNullPcm, LostDeviceFailsCaptureBridgesPlaybackAndComesBack) {
  HWAVEIN in = OpenIn(Pcm(2, 44100, 16));
  HWAVEOUT out = OpenOut(Pcm(1, 44100, 16));
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  Buffer a(4000), b(4000), c(8820), d(8820);
  for (Buffer* x : {&a, &b}) {
    ASSERT_EQ(waveInPrepareHeader(in, &x->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &x->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  backend_.InjectTransferError(WaveDir::In, -ENODEV);
  backend_.InjectTransferError(WaveDir::Out, -ENODEV);
  waveInStart(in);  // may already see the failure
  for (Buffer* x : {&c, &d}) {
    ASSERT_EQ(waveOutPrepareHeader(out, &x->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &x->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  // Capture: its buffers come back unrecorded, and the stream answers
  // MMSYSERR_NODRIVER until it is closed.
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WIM_DATA) == 2; }));
  EXPECT_EQ(win_.Headers(MM_WIM_DATA), (std::vector<WAVEHDR*>{&a.hdr, &b.hdr}));
  EXPECT_EQ(a.hdr.dwBytesRecorded, 0u);
  EXPECT_EQ(waveInAddBuffer(in, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveInStart(in), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveInReset(in), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  // Meanwhile an open answers at once.
  HWAVEIN none = nullptr;
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  EXPECT_EQ(waveInOpen(&none, WAVE_MAPPER, &f, win_.Handle(), 0, kWindowFlags), MMSYSERR_NODRIVER);
  // Playback never learns of it: both buffers come back at the frame rate
  // (0.1 s each), the stream still answers as usual.
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WOM_DONE) == 2; }));
  EXPECT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutRestart(out), MMSYSERR_NOERROR);
  EXPECT_EQ(backend_.Counters(WaveDir::Out).framesBridged, 2 * 4410);
  // Within about a second both devices are open again.
  ASSERT_TRUE(WaitFor([&] {
    return backend_.Counters(WaveDir::In).opens == 2 && backend_.Counters(WaveDir::Out).opens == 2;
  }));
  HWAVEIN again = OpenIn(f);
  ASSERT_NE(again, nullptr);
  ASSERT_EQ(waveInAddBuffer(again, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(again), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WIM_DATA) == 3; }));
  EXPECT_EQ(a.hdr.dwBytesRecorded, 4000u);
  EXPECT_EQ(waveInClose(again), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &c.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_TRUE(WaitFor([&] { return win_.Count(MM_WOM_DONE) == 3; }));
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_GT(Frames(WaveDir::Out), 0);
  for (WaveDir dir : {WaveDir::In, WaveDir::Out}) EXPECT_EQ(backend_.Counters(dir).failures, 1);
  // Told once each: lost, then back.
  std::vector<std::string> lost, back;
  for (const std::string& line : Logged()) {
    if (line.find(" failed: ") != std::string::npos) lost.push_back(line);
    if (line.find(" is back") != std::string::npos) back.push_back(line);
  }
  EXPECT_EQ(lost.size(), 2u);
  EXPECT_EQ(back.size(), 2u);
  EXPECT_NE(backend_.LastError().find("failed"), std::string::npos) << backend_.LastError();
}

TEST_F(AlsaNullPcm, HandlesAreDistinctPerDirectionAndQueryOpensNothing) {
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  EXPECT_EQ(waveOutOpen(nullptr, 0, &f, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInOpen(nullptr, 0, &f, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
  EXPECT_EQ(backend_.OpenStreams(), 0u);
  HWAVEIN in = OpenIn(f);
  HWAVEOUT out = OpenOut(f);
  EXPECT_NE(Raw(in), Raw(out));
  EXPECT_EQ(waveInStart(reinterpret_cast<HWAVEIN>(out)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutPause(reinterpret_cast<HWAVEOUT>(in)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInClose(reinterpret_cast<HWAVEIN>(out)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  HWAVEIN again = OpenIn(f);
  EXPECT_NE(Raw(again), Raw(in)) << "handles are never reused";
  EXPECT_EQ(waveInClose(again), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  platform::DispatchPostedMessages();
  EXPECT_EQ(win_.Messages(), (std::vector<UINT>{MM_WIM_OPEN, MM_WOM_OPEN, MM_WIM_CLOSE, MM_WIM_OPEN,
                                                MM_WIM_CLOSE, MM_WOM_CLOSE}));
}

TEST_F(AlsaNullPcm, BackendGoneWithStreamsStillOpenStopsThemSilently) {
  Buffer a(4000);
  {
    AlsaWaveBackend other("null");
    platform::SetWaveBackend(&other);
    HWAVEIN in = OpenIn(Pcm(2, 44100, 16));
    HWAVEOUT out = OpenOut(Pcm(1, 44100, 16));
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);  // recording, nothing queued
    ASSERT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPrepareHeader(out, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    Settle(std::chrono::milliseconds(20));
    platform::SetWaveBackend(&backend_);
  }
  // Its threads are gone: nothing more is posted, the buffer is not touched.
  Settle();
  EXPECT_EQ(win_.Messages(), (std::vector<UINT>{MM_WIM_OPEN, MM_WOM_OPEN}));
  EXPECT_TRUE(a.hdr.dwFlags & WHDR_INQUEUE);
  EXPECT_FALSE(a.hdr.dwFlags & WHDR_DONE);
}

// Without the device the calls answer codes, whatever the machine has.
TEST(AlsaMissingDevice, OpensAnswerAnErrorCodeAndNothingStaysOpen) {
  AlsaWaveBackend backend(kMissing);
  std::vector<std::string> logged;
  backend.SetErrorLog([&](const std::string& s) { logged.push_back(s); });
  platform::SetWaveBackend(&backend);
  Recorder win;
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  HWAVEOUT out = nullptr;
  HWAVEIN in = nullptr;
  EXPECT_EQ(waveOutGetNumDevs(), 1u);
  EXPECT_EQ(waveOutOpen(&out, 0, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutOpen(&out, 0, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveInOpen(nullptr, 0, &f, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveOutOpen(&out, 0, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(in, nullptr);
  EXPECT_EQ(backend.OpenStreams(), 0u);
  EXPECT_NE(backend.LastError().find(kMissing), std::string::npos) << backend.LastError();
  // Each new failure is told once, not on every retry.
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_NE(logged[0].find("playback"), std::string::npos);
  EXPECT_NE(logged[1].find("capture"), std::string::npos);
  // Calls on handles it never gave out.
  Buffer b(100);
  EXPECT_EQ(waveOutWrite(reinterpret_cast<HWAVEOUT>(0x1234), &b.hdr, sizeof(WAVEHDR)),
            MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInStart(reinterpret_cast<HWAVEIN>(0x1234)), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInClose(nullptr), MMSYSERR_INVALHANDLE);
  platform::DispatchPostedMessages();
  EXPECT_TRUE(win.log.empty());
  platform::SetWaveBackend(nullptr);
}

TEST(AlsaMissingDevice, OpenErrorsMapToTheirResultCodes) {
  using platform::OpenErrorToMmresult;
  EXPECT_EQ(OpenErrorToMmresult(-ENOENT), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(OpenErrorToMmresult(-ENODEV), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(OpenErrorToMmresult(-EBUSY), MMSYSERR_ALLOCATED);
  EXPECT_EQ(OpenErrorToMmresult(-EAGAIN), MMSYSERR_ALLOCATED);
  EXPECT_EQ(OpenErrorToMmresult(-ENOMEM), MMSYSERR_NOMEM);
  EXPECT_EQ(OpenErrorToMmresult(-EIO), MMSYSERR_NODRIVER);
}

TEST(AlsaCardOption, NamesTheDeviceOrTheDefault) {
  EXPECT_EQ(platform::AlsaDeviceFromCardOption("alsa"), "default");
  EXPECT_EQ(platform::AlsaDeviceFromCardOption("alsa:"), "default");
  EXPECT_EQ(platform::AlsaDeviceFromCardOption("alsa:hw:1,0"), "hw:1,0");
  EXPECT_EQ(platform::AlsaDeviceFromCardOption("alsa:plughw:CARD=PCH,DEV=0"),
            "plughw:CARD=PCH,DEV=0");
}

TEST(AlsaCardOption, SetUpInstallsTheAlsaBackendsAndFinishTakesThemOut) {
  platform::PlatformOptions options;
  options.card = std::string("alsa:") + kMissing;
  ASSERT_EQ(platform::SetUpCard(options), "");
  Recorder win;
  const WAVEFORMATEX f = Pcm(2, 44100, 16);
  HWAVEOUT out = nullptr;
  EXPECT_EQ(waveOutOpen(&out, 0, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_BADDEVICEID);
  DWORD v = 0;
  EXPECT_EQ(waveOutGetVolume(nullptr, &v), MMSYSERR_NODRIVER);
  EXPECT_EQ(platform::FinishCard(3), 3);
  // No card installed: the calls answer as on a machine without a sound card.
  EXPECT_EQ(waveOutGetNumDevs(), 0u);
  EXPECT_EQ(mixerGetNumDevs(), 0u);
  EXPECT_EQ(waveOutGetVolume(nullptr, &v), MMSYSERR_NODRIVER);

  // The virtual card again.
  platform::ResetVirtualCard();
  EXPECT_EQ(waveOutGetVolume(nullptr, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, platform::InitialVirtualVolume(0));
  ASSERT_EQ(waveOutOpen(&out, 0, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  platform::DispatchPostedMessages();
  ASSERT_EQ(platform::SetUpCard(platform::PlatformOptions{}), "");
}

TEST(AlsaCardOption, VirtualCardOptionsAreRefusedWithARealCard) {
  platform::PlatformOptions options;
  options.card = "alsa";
  options.signal_r = "sine:600";
  EXPECT_NE(platform::SetUpCard(options).find("--signal-r"), std::string::npos);
  options.signal_r = platform::PlatformOptions{}.signal_r;
  options.signal_l = "generator";
  EXPECT_NE(platform::SetUpCard(options).find("--signal-l"), std::string::npos);
  options.signal_l = platform::PlatformOptions{}.signal_l;
  options.output_wav = "/tmp/x.wav";
  EXPECT_NE(platform::SetUpCard(options).find("--output-wav"), std::string::npos);
  // Nothing was installed.
  EXPECT_EQ(&platform::ActiveWaveBackend(), &platform::TheVirtualCard());
}

TEST(AlsaMixerName, FollowsTheCardOfThePcm) {
  using platform::AlsaMixerForPcm;
  EXPECT_EQ(AlsaMixerForPcm("hw:1,0"), "hw:1");
  EXPECT_EQ(AlsaMixerForPcm("plughw:2"), "hw:2");
  EXPECT_EQ(AlsaMixerForPcm("front:CARD=PCH,DEV=0"), "hw:PCH");
  EXPECT_EQ(AlsaMixerForPcm("plughw:CARD=\"USB\",DEV=0"), "hw:USB");
  EXPECT_EQ(AlsaMixerForPcm("default"), "default");
  EXPECT_EQ(AlsaMixerForPcm("pulse"), "pulse");
  EXPECT_EQ(AlsaMixerForPcm("plug:dmixed"), "default") << "a plugin argument is not a card";
}

TEST(AlsaVolumeScale, EndsMapToEndsAndEveryStepSurvivesARoundTrip) {
  using platform::AlsaValueToVolumeWord;
  using platform::VolumeWordToAlsaValue;
  const std::pair<long, long> ranges[] = {{0, 31}, {0, 255}, {-10239, 400}, {0, 65535}, {-3, 0}};
  for (auto [lo, hi] : ranges) {
    SCOPED_TRACE(std::to_string(lo) + ".." + std::to_string(hi));
    EXPECT_EQ(AlsaValueToVolumeWord(lo, lo, hi), 0);
    EXPECT_EQ(AlsaValueToVolumeWord(hi, lo, hi), 0xFFFF);
    EXPECT_EQ(VolumeWordToAlsaValue(0, lo, hi), lo);
    EXPECT_EQ(VolumeWordToAlsaValue(0xFFFF, lo, hi), hi);
    EXPECT_EQ(AlsaValueToVolumeWord(lo - 5, lo, hi), 0) << "below the range clamps";
    EXPECT_EQ(AlsaValueToVolumeWord(hi + 5, lo, hi), 0xFFFF) << "above the range clamps";
    for (long v = lo; v <= hi; ++v)
      ASSERT_EQ(VolumeWordToAlsaValue(AlsaValueToVolumeWord(v, lo, hi), lo, hi), v);
    long last = lo;
    for (int w = 0; w <= 0xFFFF; w += 97) {
      const long v = VolumeWordToAlsaValue(static_cast<WORD>(w), lo, hi);
      ASSERT_GE(v, last) << "word " << w;
      ASSERT_LE(v, hi);
      last = v;
    }
  }
  // A range finer than the words: every word survives instead.
  for (int w = 0; w <= 0xFFFF; ++w)
    ASSERT_EQ(AlsaValueToVolumeWord(VolumeWordToAlsaValue(static_cast<WORD>(w), -100, 200000), -100,
                                    200000),
              w);
  // Linear: the middle word lands in the middle of the range.
  EXPECT_NEAR(VolumeWordToAlsaValue(0x8000, 0, 1000), 500, 1);
}

TEST(AlsaVolumes, DevicesHaveTheirElementNames) {
  EXPECT_EQ(platform::AlsaVolumeElementNames(0), (std::vector<std::string>{"PCM", "Master"}));
  std::vector<std::string> aux;
  for (int d = 1; d <= 5; ++d) {
    ASSERT_EQ(platform::AlsaVolumeElementNames(d).size(), 1u);
    aux.push_back(platform::AlsaVolumeElementNames(d)[0]);
  }
  EXPECT_EQ(aux, (std::vector<std::string>{"Line", "CD", "Mic", "Aux", "Video"}));
  EXPECT_TRUE(platform::AlsaVolumeElementNames(6).empty());
  EXPECT_TRUE(platform::AlsaVolumeElementNames(-1).empty());
}

TEST(AlsaVolumes, WithoutACardEveryVolumeAnswersAnError) {
  platform::AlsaVolumeBackend volume(kMissing);
  EXPECT_FALSE(volume.IsOpen());
  EXPECT_NE(volume.OpenError().find(kMissing), std::string::npos) << volume.OpenError();
  EXPECT_EQ(volume.ElementName(0), "");
  DWORD v = 0x12345678;
  EXPECT_EQ(volume.Get(0, &v), MMSYSERR_NODRIVER);
  EXPECT_EQ(volume.Set(3, 0xFFFFFFFF), MMSYSERR_NODRIVER);
  EXPECT_EQ(volume.Get(6, &v), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(volume.Get(-1, &v), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(v, 0x12345678u) << "a failed read leaves the value alone";

  platform::SetVolumeBackend(&volume);
  EXPECT_EQ(waveOutGetVolume(nullptr, &v), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveOutSetVolume(nullptr, 0), MMSYSERR_NODRIVER);
  for (UINT d = 1; d <= 5; ++d) {
    EXPECT_EQ(auxGetVolume(d, &v), MMSYSERR_NODRIVER) << d;
    EXPECT_EQ(auxSetVolume(d, 0x80008000u), MMSYSERR_NODRIVER) << d;
  }
  EXPECT_EQ(auxGetVolume(0, &v), MMSYSERR_BADDEVICEID);
  platform::ResetVirtualCard();
  EXPECT_EQ(auxGetVolume(2, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, platform::InitialVirtualVolume(2));
}

}  // namespace
