// SPDX-License-Identifier: GPL-3.0-or-later
// The built program on a real sound server (a private PulseAudio with null
// sinks, through the ALSA device "osc"), headless on the wall clock or in a
// window on a private display: what it plays, what it reads, how it lives
// through the server's death, and how a signal closes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "real_card/sound_server.h"
#include "support/private_display.h"
#include "system/json_read.h"

namespace realcard {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using systemtest::RunResult;
using systemtest::TempDir;
using systemtest::WriteFile;

void Sleep(double s) { std::this_thread::sleep_for(milliseconds(static_cast<int>(s * 1000))); }

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Readout(const jsonread::Value& dump, const char* control) {
  return dump["controls"][control]["text"].Str();
}

// One server per suite, at its rate, with the input signals as WAV files.
template <int Rate, SoundServer::Kind Kind = SoundServer::Kind::PulseAudio>
class RealCardAt : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = TempDir();
    server_ = new SoundServer(dir_, Rate, Kind);
    why_ = server_->Start();
    WriteStereoWav(
        dir_ + "/600.wav", 40, [](int i) { return 16000 * std::sin(2 * M_PI * 600 * i / 44100); },
        [](int i) { return (i * 300 / 22050) % 2 == 0 ? 9000 : -9000; });
    WriteStereoWav(
        dir_ + "/1000.wav", 40, [](int i) { return 16000 * std::sin(2 * M_PI * 1000 * i / 44100); },
        [](int) { return 0; });
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (why_.empty()) return;
    if (ServerRequired()) FAIL() << why_;
    GTEST_SKIP() << why_;
  }

  // The program headless on the real card, run to its end.
  RunResult Run(const std::string& script) {
    return systemtest::RunScript(dir_, script, "--card=alsa:" + server_->Device());
  }
  // The program in the background, for what happens while it runs:
  // headless, or in a window on `display`.
  Background Start(const std::string& script, const std::string& display = {}) {
    WriteFile(dir_ + "/bg.txt", script);
    const std::string where = display.empty() ? "--headless" : "";
    return Background((display.empty() ? "" : "env DISPLAY=" + display + " ") + "'" +
                      OSCILOSKOP_EXE + "' " + where + " --card=alsa:" + server_->Device() +
                      " --settings=none --script='" + dir_ + "/bg.txt' 2>'" + dir_ + "/bg.err'");
  }
  // Waits up to `seconds` for `done`, or for a file the program writes.
  template <typename Done>
  static bool Await(Done done, double seconds) {
    for (int i = 0; i < seconds * 20; ++i, Sleep(0.05))
      if (done()) return true;
    return done();
  }
  static bool Await(const std::string& path, double seconds) {
    return Await([&] { return !ReadFile(path).empty(); }, seconds);
  }
  // Waits for the program to have said `what` `times` times on stderr.
  static bool AwaitSaid(const std::string& what, int times, double seconds) {
    return Await([&] { return Count(ReadFile(dir_ + "/bg.err"), what) >= times; }, seconds);
  }
  // The readouts of a run that hears the 600 Hz sine on its left input and
  // the 300 Hz square on its right, then the 1000 Hz sine.
  void ExpectReadoutsOfTheVirtualCard(double seconds_1000) {
    Background play = server_->PlayIntoInput(dir_ + "/600.wav");
    Sleep(0.3);
    RunResult r = Run("wait 4\ndump " + dir_ + "/600.json\nclose\n");
    ASSERT_EQ(r.status, 0) << r.err;
    jsonread::Value d = jsonread::ParseFile(dir_ + "/600.json");
    const std::set<std::string> ur{"  570 Hz", "  580 Hz"};
    EXPECT_TRUE(ur.count(Readout(d, "Edit8"))) << Readout(d, "Edit8");
    EXPECT_EQ(Readout(d, "Edit12"), "  290 Hz");
    play = server_->PlayIntoInput(dir_ + "/1000.wav");
    Sleep(0.3);
    r = Run("wait " + std::to_string(seconds_1000) + "\ndump " + dir_ + "/1000.json\nclose\n");
    ASSERT_EQ(r.status, 0) << r.err;
    d = jsonread::ParseFile(dir_ + "/1000.json");
    EXPECT_EQ(Readout(d, "Edit8"), "  920 Hz");
    // One capture PCM for the whole run, however many recording runs.
    EXPECT_EQ(d["card"]["capture"]["pcmOpens"].Int(), 1);
    EXPECT_EQ(d["card"]["capture"]["failures"].Int(), 0);
    EXPECT_EQ(d["card"]["playback"]["failures"].Int(), 0);
    RecordProperty("captureXruns", static_cast<int>(d["card"]["capture"]["xruns"].Int()));
    RecordProperty("playbackXruns", static_cast<int>(d["card"]["playback"]["xruns"].Int()));
  }

  static inline std::string dir_, why_;
  static inline SoundServer* server_ = nullptr;
};

using RealCard = RealCardAt<44100>;
using RealCardAt48kHz = RealCardAt<48000>;
// PipeWire runs at its own 48 kHz (the rate argument is not used there).
using RealCardOnPipeWire = RealCardAt<48000, SoundServer::Kind::PipeWire>;

TEST_F(RealCard, GeneratorPlaysOneUnbrokenSineOfItsStartUpSetting) {
  Background program = Start("wait 7.5\nclose\n");
  Sleep(1.5);
  Background rec = server_->RecordOutput(dir_ + "/out.raw");
  Sleep(5);
  rec.Stop();
  ASSERT_EQ(program.Wait(seconds(20)), 0) << ReadFile(dir_ + "/bg.err");
  const std::vector<std::int16_t> x = ReadRawMono(dir_ + "/out.raw");
  ASSERT_GT(x.size(), 4u * 44100);
  const std::size_t from = FirstNonZero(x);
  ASSERT_LT(from, 44100u) << "silent for a second";
  const auto [lo, hi] = std::minmax_element(x.begin() + static_cast<std::ptrdiff_t>(from), x.end());
  EXPECT_EQ(*hi, 3276);
  EXPECT_EQ(*lo, -3276);
  // 100 Hz, and unbroken across every 11000-sample buffer of the queue.
  const auto breaks = SineBreaks(x, from + 1, 100, 4);
  EXPECT_TRUE(breaks.empty()) << breaks.size() << " breaks, the first at sample " << breaks[0];
}

TEST_F(RealCard, ReadoutsAreTheVirtualCardsAndOneCapturePcmServesTenSeconds) {
  ExpectReadoutsOfTheVirtualCard(10);
}

TEST_F(RealCardAt48kHz, ReadoutsAreTheSameWhenTheServerResamplesFrom48kHz) {
  ExpectReadoutsOfTheVirtualCard(4);
}

// The server most desktops run: a new capture would start on a lead-in of
// zeros and resampler ringing; the one the instrument keeps never does.
TEST_F(RealCardOnPipeWire, ReadoutsAreTheVirtualCardsOnPipeWireAt48kHz) {
  ExpectReadoutsOfTheVirtualCard(6);
}

// The views on the server most desktops run: the spectrum of a distorted
// sine through its resamplers, and each view's picture and data.
TEST_F(RealCardOnPipeWire, ViewsReadTheDistortionOfASineThroughTheServer) {
  WriteStereoWav(
      dir_ + "/thd.wav", 20,
      [](int i) {
        const double w = 2 * M_PI * 1000 * i / 44100;
        return 16000 * (std::sin(w) + 0.01 * std::sin(3 * w) + 0.005 * std::sin(5 * w));
      },
      [](int i) { return 8000 * std::sin(2 * M_PI * 1000 * i / 44100); });
  Background play = server_->PlayIntoInput(dir_ + "/thd.wav");
  Sleep(0.3);
  std::string script = "wait 3\nshow measurements\n";
  for (const char* v : {"xy", "spectrum", "waveform"})
    script += std::string("view ") + v + "\nwait 0.3\nsave-view " + dir_ + "/" + v +
              ".png\nsave-view " + dir_ + "/" + v + ".csv\n";
  const RunResult r = Run(script + "dump " + dir_ + "/views.json\nclose\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value ur =
      jsonread::ParseFile(dir_ + "/views.json")["measurements"]["spectrum"]["ur"];
  EXPECT_NEAR(ur["peak_frequency"].Number(), 1000, 0.04);
  EXPECT_NEAR(ur["thd"].Number(), std::hypot(1, 0.5), 0.01);
  EXPECT_NEAR(ur["harmonics"][1].Number(), -40, 0.1);
  EXPECT_NEAR(ur["harmonics"][3].Number(), 20 * std::log10(0.005), 0.1);
  for (const char* v : {"xy", "spectrum", "waveform"}) {
    EXPECT_GT(ReadFile(dir_ + "/" + v + ".png").size(), 1000u) << v;
    EXPECT_GT(ReadFile(dir_ + "/" + v + ".csv").size(), 1000u) << v;
  }
}

// A sweep in the window on the server most desktops run, the generator
// looped back to both inputs: 0 dB and 0 degrees at every point, and every
// point measured from its own tone only (frames of the tone before would
// fit a smaller amplitude at the point's frequency).
TEST_F(RealCardOnPipeWire, SweepsTheLoopedBackGeneratorFlatInTheWindow) {
  testsupport::PrivateDisplay display;
  OSCILOSKOP_NEED_DISPLAY(display);
  ASSERT_TRUE(server_->LoopOutputToInput(true));
  Background program = Start("wait 1\nresponse 20 20000 31 transfer 0.5\nshow response\nsave-view " +
                                 dir_ + "/bode.png\ndump " + dir_ + "/sweep.json\nclose\n",
                             display.Name());
  const int status = program.Wait(seconds(180));
  server_->LoopOutputToInput(false);
  ASSERT_EQ(status, 0) << ReadFile(dir_ + "/bg.err");
  const jsonread::Value r = jsonread::ParseFile(dir_ + "/sweep.json")["measurements"]["response"];
  const std::vector<jsonread::Value> points = r["points"].Items();
  ASSERT_FALSE(r.Has("problem")) << r["problem"].Str();
  ASSERT_EQ(points.size(), 31u);
  for (const jsonread::Value& p : points) {
    const double hz = p["frequency"].Number();
    EXPECT_NEAR(20 * std::log10(p["magnitude"].Number()), 0, 0.1) << hz << " Hz";
    EXPECT_NEAR(p["phase"].Number(), 0, 1) << hz << " Hz";
    // The server's resamplers pass up to about 16 kHz (20 kHz comes back
    // 40 dB down, on both inputs alike).
    if (hz <= 12000) {
      EXPECT_NEAR(20 * std::log10(p["ur_rms"].Number() / (0.5 / std::sqrt(2))), 0, 0.1)
          << hz << " Hz";
    }
  }
  EXPECT_GT(ReadFile(dir_ + "/bode.png").size(), 1000u);
  RecordProperty("secondsPerPoint", std::to_string(r["seconds"].Number() / 31));
  std::printf("sweep: %.2f s per point on the wall clock\n", r["seconds"].Number() / 31);
}

TEST_F(RealCard, VolumesChangedDuringARunComeBackAtClose) {
  ASSERT_TRUE(server_->SetSinkVolume("outA", 37));
  Background program = Start("wait 3\nclose\n");
  Sleep(1.5);
  ASSERT_TRUE(server_->SetSinkVolume("outA", 80));
  EXPECT_EQ(server_->SinkVolume("outA"), 80);
  ASSERT_EQ(program.Wait(seconds(20)), 0) << ReadFile(dir_ + "/bg.err");
  EXPECT_EQ(server_->SinkVolume("outA"), 37);
}

TEST_F(RealCard, SigtermClosesAsTheUserWouldAndPutsTheVolumesBack) {
  ASSERT_TRUE(server_->SetSinkVolume("outA", 37));
  Background program = Start("wait 1\ndump " + dir_ + "/running.json\nwait 60\n");
  ASSERT_TRUE(Await(dir_ + "/running.json", 20)) << ReadFile(dir_ + "/bg.err");
  ASSERT_TRUE(server_->SetSinkVolume("outA", 80));
  kill(program.pid(), SIGTERM);
  int signal = 0;
  EXPECT_EQ(program.Wait(seconds(20), &signal), -1);
  EXPECT_EQ(signal, SIGTERM) << "it ends as a process the signal ended, after the close";
  EXPECT_EQ(server_->SinkVolume("outA"), 37) << ReadFile(dir_ + "/bg.err");
}

// The window's title, as the X server has it (the note before the caption).
std::string ShownTitle(const std::string& display, const std::string& dir) {
  const std::string out = dir + "/title";
  Shell("DISPLAY=" + display + " xdotool search --name 'osciloskop JEN' getwindowname >'" + out + "'");
  std::string title = ReadFile(out);
  while (!title.empty() && title.back() == '\n') title.pop_back();
  return title;
}

// The program dumps every half second, and each check reads the first dump
// begun after the test saw what it waited for (the title on the X server),
// so a loaded machine that is late to kill the server, to notice it or to
// restart it meets the same sequence; nothing rests on a fixed time. A dump
// is read once the next one exists: one still being written reads cut short.
TEST_F(RealCard, ALostServerIsNamedInTheWindowTitleUntilItIsBack) {
  testsupport::PrivateDisplay display;
  OSCILOSKOP_NEED_DISPLAY(display);
  const std::string ticks = TempDir();
  constexpr int kTicks = 50;
  const auto tick = [&](int i) { return ticks + "/" + std::to_string(i) + ".json"; };
  const auto exists = [](const std::string& path) { return access(path.c_str(), F_OK) == 0; };
  std::string script = "wait 1\n";
  for (int i = 0; i < kTicks; ++i) script += "dump " + tick(i) + "\nwait 0.5\n";
  Background program = Start(script + "close\n", display.Name());
  // Dump n + 1 is begun after dump n is written; dump n + 2 there shows it whole.
  const auto dump_begun_after_now = [&]() -> jsonread::Value {
    int n = 0;
    while (n < kTicks && exists(tick(n))) ++n;
    if (n + 2 >= kTicks || !Await([&] { return exists(tick(n + 2)); }, 20))
      return jsonread::Value();
    return jsonread::ParseFile(tick(n + 1));
  };
  const auto shown = [&] { return ShownTitle(display.Name(), ticks); };

  ASSERT_TRUE(Await([&] { return exists(tick(1)); }, 20)) << ReadFile(dir_ + "/bg.err");
  const jsonread::Value up = jsonread::ParseFile(tick(0));
  const std::string caption = up["caption"].Str();
  ASSERT_FALSE(caption.empty());
  EXPECT_EQ(up["title"].Str(), caption);
  EXPECT_EQ(shown(), caption);

  // How long the title took to change, for the record (the XML report).
  auto since = std::chrono::steady_clock::now();
  const auto record = [&](const char* name) {
    const auto ms =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - since);
    RecordProperty(name, static_cast<int>(ms.count()));
  };
  server_->Kill();
  const std::string lost = "[vstup a výstup nedostupné] " + caption;
  ASSERT_TRUE(Await([&] { return shown() == lost; }, 20)) << shown() << "\n"
                                                          << ReadFile(dir_ + "/bg.err");
  record("titleLostAfterMs");
  const jsonread::Value d = dump_begun_after_now();
  ASSERT_TRUE(d.IsObject()) << "the program ended its dumps or stopped making them";
  EXPECT_EQ(d["title"].Str(), lost) << ReadFile(dir_ + "/bg.err");
  EXPECT_EQ(d["caption"].Str(), caption);

  ASSERT_EQ(server_->Start(), "");
  since = std::chrono::steady_clock::now();
  ASSERT_TRUE(Await([&] { return shown() == caption; }, 20))
      << shown() << "\n"
      << ReadFile(dir_ + "/bg.err") << ReadFile(dir_ + "/pulse.log");
  record("titleBackAfterMs");
  const jsonread::Value back = dump_begun_after_now();
  ASSERT_TRUE(back.IsObject()) << "the program ended its dumps or stopped making them";
  EXPECT_EQ(back["title"].Str(), caption) << ReadFile(dir_ + "/bg.err");
  ASSERT_EQ(program.Wait(seconds(60)), 0) << ReadFile(dir_ + "/bg.err");
}

TEST_F(RealCard, ServerKilledAndRestartedComesBackWithoutRestartingTheInstrument) {
  ASSERT_TRUE(server_->SetSinkVolume("outA", 37));
  Background play = server_->PlayIntoInput(dir_ + "/600.wav");
  // Each step waits for what it needs, not for a fixed time, so that a
  // loaded machine meets the same sequence; the dump comes well after.
  Background program =
      Start("wait 2\ndump " + dir_ + "/up.json\nwait 14\ndump " + dir_ + "/after.json\nclose\n");
  ASSERT_TRUE(Await(dir_ + "/up.json", 20)) << ReadFile(dir_ + "/bg.err");
  const long rss = ProcStatus(program.pid(), "VmRSS");
  const long threads = ProcStatus(program.pid(), "Threads");
  server_->Kill();
  ASSERT_TRUE(AwaitSaid(") failed: ", 2, 10)) << ReadFile(dir_ + "/bg.err");
  Sleep(1);  // its attempts to reopen meet no server
  ASSERT_EQ(server_->Start(), "");
  play = server_->PlayIntoInput(dir_ + "/600.wav");
  Background rec = server_->RecordOutput(dir_ + "/out.raw");
  ASSERT_TRUE(AwaitSaid(" is back", 2, 10)) << ReadFile(dir_ + "/bg.err");
  Sleep(1.5);
  rec.Stop();
  // Another program changes the new server's volume: the mixer hears it.
  ASSERT_TRUE(server_->SetSinkVolume("outA", 50));
  Sleep(1.5);
  // No thread left behind or piling up, no memory growing while it was away.
  EXPECT_EQ(ProcStatus(program.pid(), "Threads"), threads);
  EXPECT_LT(ProcStatus(program.pid(), "VmRSS") - rss, 20'000) << "kB";
  ASSERT_EQ(program.Wait(seconds(20)), 0) << ReadFile(dir_ + "/bg.err");

  // Told once each: lost, then back.
  const std::string err = ReadFile(dir_ + "/bg.err");
  EXPECT_EQ(Count(err, "ALSA device 'osc' (capture) failed: "), 1) << err;
  EXPECT_EQ(Count(err, "ALSA device 'osc' (playback) failed: "), 1) << err;
  EXPECT_EQ(Count(err, " is back"), 2) << err;
  // The output plays again within 3 s of the server's return, unbroken.
  const std::vector<std::int16_t> x = ReadRawMono(dir_ + "/out.raw");
  const std::size_t from = FirstNonZero(x);
  ASSERT_LT(from, 3u * 44100) << "the output did not come back within 3 s";
  RecordProperty("outputBackAfterMs", static_cast<int>(from * 1000 / 44100));
  const auto breaks = SineBreaks(x, from + 1, 100, 4);
  EXPECT_TRUE(breaks.empty()) << breaks.size() << " breaks, the first at sample " << breaks[0];
  // The input too: measured again after the return.
  const jsonread::Value d = jsonread::ParseFile(dir_ + "/after.json");
  const std::set<std::string> ur{"  570 Hz", "  580 Hz"};
  EXPECT_TRUE(ur.count(Readout(d, "Edit8"))) << Readout(d, "Edit8");
  EXPECT_EQ(d["card"]["capture"]["pcmOpens"].Int(), 2);
  EXPECT_EQ(d["card"]["playback"]["pcmOpens"].Int(), 2);
  EXPECT_GT(d["card"]["playback"]["framesBridged"].Int(), 0);
  const jsonread::Value& speakers = d["mixer"]["destinations"][0];
  EXPECT_GE(d["mixer"]["notificationsHandled"].Int(), 1);
  EXPECT_NEAR(speakers["controls"][0]["left"][0].Number(), 32768, 700);
  // The new server's volume was its own; the saved one is back at close.
  EXPECT_EQ(server_->SinkVolume("outA"), 37);
}

TEST_F(RealCard, ServerThatHangsIsGivenUpAfterTwoSecondsWithoutHoldingUpTheWindow) {
  Background program = Start("wait 9\ndump " + dir_ + "/hang.json\nclose\n");
  const auto began = std::chrono::steady_clock::now();
  Sleep(2);
  server_->Signal(SIGSTOP);
  Sleep(3.5);
  server_->Signal(SIGCONT);
  ASSERT_EQ(program.Wait(seconds(20)), 0) << ReadFile(dir_ + "/bg.err");
  // The script's time is the wall clock's: nothing waited for the server.
  EXPECT_LT(std::chrono::steady_clock::now() - began, seconds(11));
  const std::string err = ReadFile(dir_ + "/bg.err");
  EXPECT_EQ(Count(err, "(capture) failed: nothing moved for 2 s"), 1) << err;
  EXPECT_EQ(Count(err, " is back"), 2) << err;
  const jsonread::Value d = jsonread::ParseFile(dir_ + "/hang.json");
  EXPECT_EQ(d["card"]["capture"]["pcmOpens"].Int(), 2);
  EXPECT_EQ(d["card"]["capture"]["state"].Str().rfind("recording", 0), 0u)
      << d["card"]["capture"]["state"].Str();
}

TEST_F(RealCard, ServerGoneAtCloseIsToldOnceForTheVolumes) {
  Background program = Start("wait 2.5\nclose\n");
  Sleep(1);
  server_->Kill();
  const int status = program.Wait(seconds(20));
  ASSERT_EQ(server_->Start(), "");
  EXPECT_EQ(status, 0);
  const std::string err = ReadFile(dir_ + "/bg.err");
  EXPECT_EQ(Count(err, "ALSA mixer 'osc': the volumes could not be set"), 1) << err;
}

TEST_F(RealCard, WithoutAnyMixerDeviceTheWindowStaysStill) {
  if (!ReadFile("/proc/asound/cards").empty() &&
      ReadFile("/proc/asound/cards").find("no soundcards") == std::string::npos)
    GTEST_SKIP() << "this machine has a sound card, so it has a mixer device";
  const RunResult r = systemtest::RunScript(
      dir_, "wait 0.5\ndump " + dir_ + "/still.json\nclose\n", "--card=alsa:osciloskop_none");
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value d = jsonread::ParseFile(dir_ + "/still.json");
  EXPECT_EQ(d["errors"][0].Str(), "No mixer device present in this system.");
  EXPECT_EQ(d["state"]["SampleCount"].Int(), 22100);
  EXPECT_EQ(d["state"]["GenFrequency"].Int(), 0);
  EXPECT_EQ(d["card"]["capture"]["pcmOpens"].Int(), 0);
  EXPECT_EQ(d["card"]["playback"]["pcmOpens"].Int(), 0);
}

TEST_F(RealCard, SignalDrivesOnlyTheVirtualCard) {
  const RunResult r = Run("wait 0.2\nsignal r sine:50\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(":2: signal: the inputs of --card=alsa:osc are the sound card's own"),
            std::string::npos)
      << r.err;
}

// --record-input on the real card: every frame the capture PCM read, in a
// WAV file that replays on the virtual card to the readouts the real card
// showed.
TEST_F(RealCard, RecordedInputReplaysOnTheVirtualCardToTheSameReadouts) {
  Background play = server_->PlayIntoInput(dir_ + "/600.wav");
  Sleep(0.3);
  const std::string wav = dir_ + "/recorded.wav";
  RunResult r = systemtest::RunScript(dir_, "wait 3\ndump " + dir_ + "/live.json\nclose\n",
                                      "--card=alsa:osc --record-input=" + wav);
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value live = jsonread::ParseFile(dir_ + "/live.json");
  const std::string f = ReadFile(wav);
  ASSERT_GT(f.size(), 44u);
  std::uint32_t data = 0, rate = 0;
  std::memcpy(&data, f.data() + 40, 4);
  std::memcpy(&rate, f.data() + 24, 4);
  EXPECT_EQ(rate, 44100u);
  EXPECT_EQ(data + 44, f.size()) << "the header covers the whole file";
  // Every frame the capture read, up to the close (the server starts
  // handing them over a while after the PCM opens).
  const long long frames = data / 4;
  EXPECT_GE(frames, live["card"]["capture"]["frames"].Int());
  EXPECT_GE(live["card"]["framesRecorded"].Int(), live["card"]["capture"]["frames"].Int());
  EXPECT_GT(frames, 44100);
  EXPECT_LT(frames, 4 * 44100);

  r = systemtest::RunScript(dir_, "wait 2.5\ndump " + dir_ + "/replay.json\n",
                            "--signal-r=wav:" + wav + ":0 --signal-l=wav:" + wav + ":1");
  ASSERT_EQ(r.status, 0) << r.err;
  // The replay's runs fall elsewhere in the signal than the real card's
  // did, so the readout of R may be either of the two the real card shows
  // for this sine.
  const jsonread::Value replay = jsonread::ParseFile(dir_ + "/replay.json");
  const std::set<std::string> ur{"  570 Hz", "  580 Hz"};
  EXPECT_TRUE(ur.count(Readout(live, "Edit8"))) << Readout(live, "Edit8");
  EXPECT_TRUE(ur.count(Readout(replay, "Edit8"))) << Readout(replay, "Edit8");
  EXPECT_EQ(Readout(replay, "Edit12"), Readout(live, "Edit12"));
  EXPECT_EQ(Readout(replay, "Edit12"), "  290 Hz");
}

}  // namespace
}  // namespace realcard
