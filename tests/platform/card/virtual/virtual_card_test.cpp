// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "tests/platform/wave_test_records.h"
#include "platform/card/virtual/frame_grid.h"
#include "platform/mm/mmsystem.h"
#include "platform/card/virtual/sound_file.h"
#include "tests/platform/wave_test_clock.h"

namespace {

using platform::FrameTime;
using platform::TheVirtualCard;
using platform::WaveDir;
using wavetest::kWindowFlags;
using wavetest::Pcm;
using wavetest::DeviceTime;
using wavetest::MessageLog;
using wavetest::Ms;

// Blocks start filled with a pattern, so bytes nobody wrote show.
struct Buffer : wavetest::Buffer {
  explicit Buffer(std::size_t n) : wavetest::Buffer(n, '\x5A') {}
};

// An input device with `count` buffers of `bytes` queued, not yet started.
struct Recorder {
  Recorder(MessageLog& win, const WAVEFORMATEX& f, int count, std::size_t bytes) {
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
    for (int i = 0; i < count; ++i) {
      bufs.push_back(std::make_unique<Buffer>(bytes));
      EXPECT_EQ(waveInPrepareHeader(in, &bufs.back()->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
      EXPECT_EQ(waveInAddBuffer(in, &bufs.back()->hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    }
  }
  ~Recorder() {
    waveInReset(in);
    waveInClose(in);
  }
  HWAVEIN in = nullptr;
  std::vector<std::unique_ptr<Buffer>> bufs;
};

TEST(VirtualCardInput, BuffersReturnWhenTheirLastFrameIsRecorded) {
  DeviceTime time;
  MessageLog win(time);
  time.RunFor(Ms(3.3));  // an odd start time: frames count from the start
  Recorder rec(win, Pcm(2, 44100, 16), 4, 44100);
  ASSERT_EQ(waveInStart(rec.in), MMSYSERR_NOERROR);
  const platform::Nanos t0 = time.Now();
  time.RunFor(Ms(1100));
  std::vector<platform::Nanos> at;
  for (const auto& e : win.log)
    if (e.msg == MM_WIM_DATA) at.push_back(e.at - t0);
  EXPECT_EQ(at, (std::vector<platform::Nanos>{Ms(250), Ms(500), Ms(750), Ms(1000)}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(win.log[1 + i].lparam, reinterpret_cast<LPARAM>(&rec.bufs[i]->hdr)) << "in queue order";
    EXPECT_EQ(rec.bufs[i]->hdr.dwBytesRecorded, 44100u);
    EXPECT_EQ(rec.bufs[i]->hdr.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  }
  EXPECT_EQ(TheVirtualCard().InputRunsStarted(), 1);
}

TEST(VirtualCardInput, SourcesFollowTheirFormulaInFrameOrder) {
  DeviceTime time;
  MessageLog win(time);
  ASSERT_EQ(platform::SetInputSource('r', "sine:1000:12000"), "");
  ASSERT_EQ(platform::SetInputSource('l', "square:441"), "");
  Recorder rec(win, Pcm(2, 44100, 16), 1, 4 * 441);
  const std::int64_t first = platform::FrameAt(platform::DeviceClock().Now(), 44100);
  ASSERT_EQ(waveInStart(rec.in), MMSYSERR_NOERROR);
  time.RunFor(Ms(20));
  ASSERT_EQ(win.Count(MM_WIM_DATA), 1);
  for (int k = 0; k < 441; ++k) {
    const double n = static_cast<double>(first + k);
    const double cycles = std::fmod(1000.0 * n, 44100.0) / 44100.0;
    const auto sine = static_cast<std::int16_t>(std::nearbyint(12000 * std::sin(2 * std::numbers::pi * cycles)));
    const double sq = std::fmod(441.0 * n, 44100.0) / 44100.0;
    EXPECT_EQ(rec.bufs[0]->Sample(2 * k), sine) << "card's left input first, frame " << k;
    EXPECT_EQ(rec.bufs[0]->Sample(2 * k + 1), sq < 0.5 ? 16000 : -16000) << "frame " << k;
  }
}

TEST(VirtualCardInput, EightBitMonoFollowsTheAbsoluteFrameIndex) {
  // Samples depend on the absolute frame only, so a run that starts at the
  // same device time always records the same bytes.
  DeviceTime time;
  MessageLog win(time);
  time.RunFor(Ms(5000.5));
  ASSERT_EQ(platform::SetInputSource('r', "sine:123.5"), "");
  Recorder rec(win, Pcm(1, 22050, 8), 1, 1000);
  const std::int64_t first = platform::FrameAt(platform::DeviceClock().Now(), 22050);
  ASSERT_EQ(waveInStart(rec.in), MMSYSERR_NOERROR);
  time.RunFor(Ms(100));
  ASSERT_EQ(win.Count(MM_WIM_DATA), 1);
  platform::InputSource src;
  ASSERT_EQ(src.Parse("sine:123.5"), "");
  for (int k = 0; k < 1000; ++k) {
    const double cycles = std::fmod(123.5 * static_cast<double>(first + k), 22050.0) / 22050.0;
    const auto s16 = static_cast<std::int16_t>(std::nearbyint(16000 * std::sin(2 * std::numbers::pi * cycles)));
    const int expected = (static_cast<std::uint16_t>(s16) >> 8) ^ 0x80;
    EXPECT_EQ(static_cast<std::uint8_t>(rec.bufs[0]->bytes[k]), expected) << k;
  }
}

TEST(VirtualCardInput, LateBuffersStartAtTheRecordingPositionAndResetKeepsPartialData) {
  DeviceTime time;
  MessageLog win(time);
  ASSERT_EQ(platform::SetInputSource('r', "sine:50"), "");
  WAVEFORMATEX f = Pcm(1, 44100, 16);
  HWAVEIN in = nullptr;
  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  const platform::Nanos t0 = time.Now();
  time.RunFor(Ms(100));  // nothing queued: these frames are lost
  Buffer late(2 * 4410), cut(2 * 44100);
  waveInPrepareHeader(in, &late.hdr, sizeof(WAVEHDR));
  waveInPrepareHeader(in, &cut.hdr, sizeof(WAVEHDR));
  waveInAddBuffer(in, &late.hdr, sizeof(WAVEHDR));
  waveInAddBuffer(in, &cut.hdr, sizeof(WAVEHDR));
  time.RunFor(Ms(150));
  ASSERT_EQ(win.Count(MM_WIM_DATA), 1);
  // Recording position at 100 ms is frame 4410; 4410 frames later is 200 ms.
  EXPECT_EQ(win.log.back().at - t0, FrameTime(8820, 44100));
  EXPECT_EQ(waveInReset(in), MMSYSERR_NOERROR);  // at 250 ms: 50 ms into `cut`
  EXPECT_EQ(cut.hdr.dwBytesRecorded, 2u * 2205);
  EXPECT_TRUE(cut.hdr.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  time.RunFor(Ms(1));
  EXPECT_EQ(win.Count(MM_WIM_DATA), 2);
}

TEST(VirtualCardOutput, PlaysInOrderAtTheFrameRateWithPauseAndReset) {
  DeviceTime time;
  MessageLog win(time);
  WAVEFORMATEX f = Pcm(1, 44100, 16);
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  Buffer a(2 * 4410), b(2 * 4410), c(2 * 4410);
  for (Buffer* x : {&a, &b, &c}) waveOutPrepareHeader(out, &x->hdr, sizeof(WAVEHDR));
  const platform::Nanos t0 = time.Now();
  const std::int64_t g0 = platform::FirstFrameFrom(platform::DeviceClock().Now(), 44100);
  const platform::Nanos origin = platform::DeviceClock().Now() - t0;
  waveOutWrite(out, &a.hdr, sizeof(WAVEHDR));
  waveOutWrite(out, &b.hdr, sizeof(WAVEHDR));
  time.RunFor(Ms(250));
  ASSERT_EQ(win.Count(MM_WOM_DONE), 2);
  EXPECT_EQ(win.log[1].at + origin, FrameTime(g0 + 4410, 44100));
  EXPECT_EQ(win.log[2].at + origin, FrameTime(g0 + 8820, 44100));
  EXPECT_EQ(win.log[1].lparam, reinterpret_cast<LPARAM>(&a.hdr));
  EXPECT_EQ(TheVirtualCard().OutputFramesPlayed(), 8820);

  // Paused, a written buffer waits; restarted, it plays from the restart.
  EXPECT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  waveOutWrite(out, &c.hdr, sizeof(WAVEHDR));
  time.RunFor(Ms(500));
  EXPECT_EQ(win.Count(MM_WOM_DONE), 2);
  EXPECT_TRUE(TheVirtualCard().OutputPaused());
  EXPECT_EQ(waveOutRestart(out), MMSYSERR_NOERROR);
  time.RunFor(Ms(50));  // half of c
  EXPECT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  time.RunFor(Ms(300));
  EXPECT_EQ(win.Count(MM_WOM_DONE), 2);
  EXPECT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
  EXPECT_NEAR(static_cast<double>(TheVirtualCard().OutputFramesPlayed()), 8820 + 2205, 1);
  EXPECT_TRUE(c.hdr.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  time.RunFor(Ms(1));
  EXPECT_EQ(win.Count(MM_WOM_DONE), 3);
}

TEST(VirtualCardLoopback, GeneratorInputRecordsWhatPlays) {
  DeviceTime time;
  MessageLog win(time);
  ASSERT_EQ(platform::SetInputSource('r', "generator"), "");
  ASSERT_EQ(platform::SetInputSource('l', "silence"), "");
  const std::string capture =
      (std::filesystem::temp_directory_path() / ("osciloskop-capture-" + std::to_string(::getpid()) + ".wav"))
          .string();
  ASSERT_EQ(platform::CaptureOutputToWav(capture), "");

  WAVEFORMATEX mono = Pcm(1, 44100, 16);
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &mono, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  std::vector<std::unique_ptr<Buffer>> play;
  for (int i = 0; i < 3; ++i) {
    play.push_back(std::make_unique<Buffer>(2 * 4410));
    for (int k = 0; k < 4410; ++k) {
      const auto v = static_cast<std::int16_t>((i * 4410 + k) % 30000 - 15000);
      std::memcpy(play.back()->bytes.data() + 2 * k, &v, 2);
    }
    waveOutPrepareHeader(out, &play.back()->hdr, sizeof(WAVEHDR));
    waveOutWrite(out, &play.back()->hdr, sizeof(WAVEHDR));
  }
  const platform::Nanos t0 = platform::DeviceClock().Now();
  const std::int64_t g0 = platform::FirstFrameFrom(t0, 44100);
  time.RunFor(Ms(120));  // start recording while buffer 1 plays
  Recorder rec(win, Pcm(2, 44100, 16), 1, 4 * 4410);
  const platform::Nanos r0 = platform::DeviceClock().Now();
  ASSERT_EQ(waveInStart(rec.in), MMSYSERR_NOERROR);
  time.RunFor(Ms(400));
  ASSERT_EQ(win.Count(MM_WIM_DATA), 1);
  for (int j = 0; j < 4410; ++j) {
    const std::int64_t o = platform::FrameAt(r0 + FrameTime(j, 44100), 44100) - g0;
    const std::int16_t expected =
        o < 3 * 4410 ? static_cast<std::int16_t>(o % 30000 - 15000) : std::int16_t{0};
    ASSERT_EQ(rec.bufs[0]->Sample(2 * j), expected) << "frame " << j;
    ASSERT_EQ(rec.bufs[0]->Sample(2 * j + 1), 0);
  }
  waveOutClose(out);
  platform::TheVirtualCard().StopCapture();

  platform::Sound got;
  ASSERT_EQ(platform::ReadSoundFile(capture, 0, got), "");
  ASSERT_EQ(got.samples.size(), 3u * 4410);
  for (int k = 0; k < 3 * 4410; k += 97)
    EXPECT_EQ(got.samples[k], static_cast<std::int16_t>(k % 30000 - 15000));
  std::filesystem::remove(capture);
}

TEST(VirtualCardSources, ParseErrorsNameWhatIsWrong) {
  DeviceTime time;
  auto error = [](char side, const std::string& source) { return platform::SetInputSource(side, source); };
  EXPECT_EQ(error('r', "sine:600"), "");
  EXPECT_EQ(error('L', "square:50:100"), "");
  EXPECT_EQ(platform::InputSourceText('l'), "square:50:100");
  EXPECT_NE(error('r', "noise").find("unknown signal source 'noise'"), std::string::npos);
  EXPECT_NE(error('r', "sine:abc").find("bad frequency 'abc'"), std::string::npos);
  EXPECT_NE(error('r', "sine:-5").find("bad frequency '-5'"), std::string::npos);
  EXPECT_NE(error('r', "sine").find("needs a frequency"), std::string::npos);
  EXPECT_NE(error('r', "sine:100:40000").find("bad peak '40000'"), std::string::npos);
  EXPECT_NE(error('r', "square:100:1:2").find("too many fields"), std::string::npos);
  EXPECT_NE(error('r', "silence:3").find("takes no parameters"), std::string::npos);
  EXPECT_NE(error('r', "file:").find("needs a file name"), std::string::npos);
  EXPECT_NE(error('r', "wav:/no/such/file.wav").find("'/no/such/file.wav': cannot open"), std::string::npos);
  EXPECT_NE(error('x', "silence").find("unknown input side 'x'"), std::string::npos);
  EXPECT_EQ(platform::InputSourceText('r'), "sine:600") << "a refused source changes nothing";

  // file sources (wav: is the same): channel choice, a mono file has no
  // channel 1, looping.
  const auto path = std::filesystem::temp_directory_path() / ("osciloskop-src-" + std::to_string(::getpid()) + ".wav");
  {
    const unsigned char image[] = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                   16, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0,
                                   2, 0, 16, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0, 10, 0, 20, 0};
    std::FILE* fp = std::fopen(path.c_str(), "wb");
    std::fwrite(image, 1, sizeof image, fp);
    std::fclose(fp);
  }
  EXPECT_NE(error('r', "file:" + path.string() + ":1").find("mono, so it has no channel 1"), std::string::npos);
  EXPECT_NE(error('r', "wav:" + path.string() + ":2").find("bad channel '2'"), std::string::npos);
  platform::InputSource src;
  ASSERT_EQ(src.Parse("wav:" + path.string()), "");
  EXPECT_EQ(src.SampleAt(1, 44100), 20);
  ASSERT_EQ(src.Parse("file:" + path.string() + ":0"), "");
  EXPECT_EQ(src.SampleAt(0, 44100), 10);
  EXPECT_EQ(src.SampleAt(1, 44100), 20);
  EXPECT_EQ(src.SampleAt(1001, 44100), 20);
  EXPECT_EQ(src.SampleAt(1, 22050), 10) << "a slower device steps through the 44100 data";
  std::filesystem::remove(path);
}

TEST(VirtualCardFaults, InjectedFailuresAndAVanishingDevice) {
  DeviceTime time;
  MessageLog win(time);
  auto& card = TheVirtualCard();
  WAVEFORMATEX f = Pcm(1, 44100, 16);
  HWAVEIN in = nullptr;
  card.FailOpens(WaveDir::In, MMSYSERR_NOMEM, 2);
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOMEM);
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOMEM);
  {
    card.FailStarts(MMSYSERR_ERROR);
    card.FailQueue(WaveDir::In, 2, MMSYSERR_INVALPARAM);
    ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
    Buffer a(2000), b(2000), c(2000);
    for (Buffer* x : {&a, &b, &c}) waveInPrepareHeader(in, &x->hdr, sizeof(WAVEHDR));
    EXPECT_EQ(waveInAddBuffer(in, &a.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInAddBuffer(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveInAddBuffer(in, &b.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInStart(in), MMSYSERR_ERROR);
    EXPECT_EQ(card.InputRunsStarted(), 0);
    EXPECT_EQ(waveInStart(in), MMSYSERR_NOERROR);
    EXPECT_EQ(card.InputRunsStarted(), 1);
    time.RunFor(Ms(30));  // a's 1000 frames done at 22.7 ms; b partly
    EXPECT_EQ(win.Count(MM_WIM_DATA), 1);

    card.VanishDevice(WaveDir::In);
    EXPECT_TRUE(b.hdr.dwFlags & WHDR_DONE) << "queued buffers come back";
    EXPECT_GT(b.hdr.dwBytesRecorded, 0u);
    EXPECT_LT(b.hdr.dwBytesRecorded, 2000u);
    EXPECT_EQ(waveInAddBuffer(in, &c.hdr, sizeof(WAVEHDR)), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInStart(in), MMSYSERR_NODRIVER);
    EXPECT_EQ(waveInReset(in), MMSYSERR_NODRIVER);
    EXPECT_NE(card.Describe().find("input: vanished"), std::string::npos);
    EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NODRIVER);
    time.RunFor(Ms(1));
    EXPECT_EQ(win.Count(MM_WIM_DATA), 2);
    EXPECT_EQ(win.Count(MM_WIM_CLOSE), 1);
  }
  card.RestoreDevice(WaveDir::In);
  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  waveInClose(in);

  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, win.Handle(), 0, kWindowFlags), MMSYSERR_NOERROR);
  Buffer o(200);
  card.FailPrepare(WaveDir::Out, 1, MMSYSERR_NOMEM);
  EXPECT_EQ(waveOutPrepareHeader(out, &o.hdr, sizeof(WAVEHDR)), MMSYSERR_NOMEM);
  EXPECT_FALSE(o.hdr.dwFlags & WHDR_PREPARED);
  EXPECT_EQ(waveOutPrepareHeader(out, &o.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  card.FailQueue(WaveDir::Out, 1, MMSYSERR_ERROR);
  EXPECT_EQ(waveOutWrite(out, &o.hdr, sizeof(WAVEHDR)), MMSYSERR_ERROR);
  EXPECT_EQ(waveOutWrite(out, &o.hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  card.VanishDevice(WaveDir::Out);
  EXPECT_TRUE(o.hdr.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveOutPause(out), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
}

TEST(VirtualCardState, DescriptionAndFreshCard) {
  DeviceTime time;
  ASSERT_EQ(platform::SetInputSource('r', "sine:600"), "");
  std::string d = TheVirtualCard().Describe();
  EXPECT_NE(d.find("output: closed"), std::string::npos) << d;
  EXPECT_NE(d.find("0 runs started"), std::string::npos) << d;
  EXPECT_NE(d.find("r=sine:600 l=silence"), std::string::npos) << d;
  platform::ResetVirtualCard();
  EXPECT_EQ(platform::InputSourceText('r'), "silence");
  EXPECT_EQ(TheVirtualCard().OutputFramesPlayed(), 0);
}

}  // namespace

namespace {

// --record-input on the virtual card: from the frame under way when it
// begins, every frame, those of the runs as delivered and those between
// runs as the inputs had them, in a WAV file whose header is up to date
// after every buffer.
TEST(VirtualCardRecording, KeepsEveryFrameFromItsStartAlsoBetweenRuns) {
  DeviceTime time;
  MessageLog win(time);
  ASSERT_EQ(platform::SetInputSource('r', "sine:440:12000"), "");
  ASSERT_EQ(platform::SetInputSource('l', "square:100:7000"), "");
  const std::string file = (std::filesystem::temp_directory_path() /
                            ("osciloskop-record-" + std::to_string(::getpid()) + ".wav"))
                               .string();
  time.RunFor(Ms(3.3));
  const std::int64_t first = platform::FrameAt(platform::DeviceClock().Now(), 44100);
  ASSERT_EQ(TheVirtualCard().RecordInput(file), "");
  time.RunFor(Ms(40));  // before any run
  {
    Recorder rec(win, Pcm(2, 44100, 16), 2, 4 * 4410);
    ASSERT_EQ(waveInStart(rec.in), MMSYSERR_NOERROR);
    time.RunFor(Ms(150));  // one buffer back, the second under way
    ASSERT_EQ(win.Count(MM_WIM_DATA), 1);
    platform::Sound so_far;
    ASSERT_EQ(platform::ReadSoundFile(file, 1, so_far), "") << "readable while it grows";
    EXPECT_GE(so_far.samples.size(), 4410u + 1764u);
  }  // reset: the second buffer comes back with what it holds

  time.RunFor(Ms(77));  // between runs
  {
    Recorder rec(win, Pcm(1, 44100, 8), 1, 4410);  // another format: recorded as the inputs are
    ASSERT_EQ(waveInStart(rec.in), MMSYSERR_NOERROR);
    time.RunFor(Ms(120));
  }
  time.RunFor(Ms(10));
  const std::int64_t end = platform::FrameAt(platform::DeviceClock().Now(), 44100);
  EXPECT_LT(static_cast<std::int64_t>(TheVirtualCard().FramesRecorded()), end - first)
      << "the frames since the last run wait for the end";
  TheVirtualCard().StopRecording();
  EXPECT_EQ(static_cast<std::int64_t>(TheVirtualCard().FramesRecorded()), end - first);

  platform::Sound got, got_l;
  ASSERT_EQ(platform::ReadSoundFile(file, 0, got), "");
  ASSERT_EQ(platform::ReadSoundFile(file, 1, got_l), "");
  ASSERT_EQ(got.channels, 2);
  ASSERT_EQ(static_cast<std::int64_t>(got.samples.size()), end - first);
  platform::InputSource r, l;
  ASSERT_EQ(r.Parse("sine:440:12000"), "");
  ASSERT_EQ(l.Parse("square:100:7000"), "");
  int wrong = 0;
  for (std::int64_t n = 0; n < end - first; ++n) {
    wrong += got.samples[static_cast<std::size_t>(n)] != r.SampleAt(first + n, 44100);
    wrong += got_l.samples[static_cast<std::size_t>(n)] != l.SampleAt(first + n, 44100);
  }
  EXPECT_EQ(wrong, 0);
  std::filesystem::remove(file);
}

}  // namespace
