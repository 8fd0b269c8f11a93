// SPDX-License-Identifier: GPL-3.0-or-later
// Random user sessions: seeded sequences of thousands of actions a user (or
// another program) can take, run through the program's own script runner,
// with the instrument's invariants checked after every one:
//   - the range latches of each channel and the sweep band latches one-hot;
//   - SampleCount within 0..44100;
//   - both streams in a state of their tables, and the card agreeing;
//   - the callback windows and the wave memory not piling up;
//   - every readout one of the instrument's own formats.
// A failure names its random seed and the step and leaves the session's script, so
// the built program replays it (with the same --idle-quantum-ms).
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <iterator>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "platform/base/messages.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/mm/memory.h"
#include "platform/mm/volume.h"
#include "tests/reliability/session.h"
#include "tests/support/readout_formats.h"

namespace reliability {
namespace {

using osciloskop::TForm1;
using platform::TControl;

constexpr int kQuantumMs = 10;

class Actions {
 public:
  Actions(std::uint32_t seed, TForm1& form, std::string dir)
      : rng_(seed), form_(form), dir_(std::move(dir)) {}

  std::string Next() {
    const int kind = Pick(100);
    if (kind < 22) return Wait();
    if (kind < 34) return Select();
    if (kind < 46) return Position();
    if (kind < 58) return Click();
    if (kind < 64) return "focus " + AnyControl(true)->Name();
    if (kind < 76) return Key();
    if (kind < 79) return "type " + OneOf<std::string>({"q", "od kanálu L", "1", "ž"});
    if (kind < 82) return "wheel " + AnyControl(true)->Name() + " " + std::to_string(Range(-3, 3));
    if (kind < 87) return "resize " + std::to_string(Range(100, 2000)) + " " + std::to_string(Range(100, 1500));
    if (kind < 93) return Signal();
    return Mixer();
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  int Range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  template <class T>
  const T& OneOf(const std::vector<T>& v) { return v[static_cast<std::size_t>(Pick(static_cast<int>(v.size())))]; }

  // Mostly a control a user can reach; now and then any control at all.
  TControl* AnyControl(bool reachable_mostly, bool (*fits)(TControl*) = nullptr) {
    std::vector<TControl*> all, reachable;
    for (TControl* c : form_.Controls()) {
      if (fits && !fits(c)) continue;
      all.push_back(c);
      if (c->Showing() && c->Enabled()) reachable.push_back(c);
    }
    if (reachable_mostly && !reachable.empty() && Pick(10) < 9) return OneOf(reachable);
    return OneOf(all);
  }

  std::string Wait() {
    static const std::vector<double> kShort = {0, 0.001, 0.01, 0.02, 0.05, 0.1, 0.25};
    const double s = Pick(5) == 0 ? Range(30, 140) / 100.0 : OneOf(kShort);
    std::ostringstream line;
    line << "wait " << s;
    return line.str();
  }
  std::string Select() {
    TControl* c = AnyControl(true, [](TControl* c) { return dynamic_cast<platform::TComboBox*>(c) != nullptr; });
    const int n = static_cast<int>(static_cast<platform::TComboBox*>(c)->Items().size());
    return "select " + c->Name() + " " + std::to_string(Range(-1, n));
  }
  std::string Position() {
    TControl* c = AnyControl(true, [](TControl* c) { return dynamic_cast<platform::TSlider*>(c) != nullptr; });
    auto* s = static_cast<platform::TSlider*>(c);
    const int v = Pick(20) == 0 ? Range(-40000, 40000) : Range(s->Min(), s->Max());
    return "position " + c->Name() + " " + std::to_string(v);
  }
  // Mostly a button, radio button, menu item or panel; now and then any
  // control (a list opens), and a right click now and then.
  std::string Click() {
    TControl* c = Pick(4) == 0 ? AnyControl(true) : AnyControl(true, [](TControl* c) {
      return dynamic_cast<platform::TButton*>(c) || dynamic_cast<platform::TRadioButton*>(c) ||
             dynamic_cast<platform::TMenuItem*>(c) || dynamic_cast<platform::TPanel*>(c) ||
             dynamic_cast<platform::TUpDown*>(c);
    });
    return "click " + c->Name() + (Pick(5) == 0 ? " right" : "");
  }
  std::string Key() {
    static const std::vector<std::string> kKeys = {
        "Enter", "Tab",      "Tab",  "Shift+Tab", "Left",  "Right",  "Up",        "Down",
        "PageUp", "PageDown", "Home", "End",       "Space", "Escape", "Backspace", "F4"};
    return "key " + OneOf(kKeys);
  }
  std::string Signal() {
    const std::string side = Pick(2) ? "r" : "l";
    switch (Pick(6)) {
      case 0: return "signal " + side + " silence";
      case 1: return "signal " + side + " generator";
      case 2: return "signal " + side + " square:" + std::to_string(Range(5, 6000)) + ":" + std::to_string(Range(0, 32767));
      case 3: return "signal " + side + " wav:" + dir_ + "/tone.wav";
      default: return "signal " + side + " sine:" + std::to_string(Range(5, 6000)) + ":" + std::to_string(Range(0, 32767));
    }
  }
  std::string Mixer() {
    static const std::vector<std::string> kLines = {
        "speakers",     "speakers.wave", "speakers.synth", "speakers.line", "speakers.cd",
        "speakers.mic", "speakers.phone", "speakers.aux",  "speakers.pcspeaker", "wavein",
        "wavein.line",  "wavein.mic",    "wavein.cd",      "wavein.phone",  "wavein.aux",
        "wavein.analog", "wavein.line2", "voicein",        "voicein.mic"};
    static const std::vector<std::string> kControls = {"volume", "volume", "mute", "bass", "treble", "mux"};
    const std::string& control = OneOf(kControls);
    std::string value;
    if (control == "mute") value = std::to_string(Pick(2));
    else if (control == "mux") value = std::to_string(Range(0, 7));
    else if (Pick(2)) value = std::to_string(Range(0, 65535)) + "," + std::to_string(Range(0, 65535));
    else value = std::to_string(Range(0, 65535));
    return "mixer " + OneOf(kLines) + " " + control + " " + value;
  }

  std::mt19937 rng_;
  TForm1& form_;
  std::string dir_;
};

void WriteTone(const std::string& path) {
  // 0.1 s of 440 Hz at 22050 Hz, 16-bit stereo.
  std::vector<std::int16_t> s;
  for (int i = 0; i < 2205; ++i) {
    s.push_back(static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 440 * i / 22050.0)));
    s.push_back(static_cast<std::int16_t>(i % 100 < 50 ? 8000 : -8000));
  }
  auto put = [](std::ofstream& f, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f.put(static_cast<char>(v >> (8 * i)));
  };
  std::ofstream f(path, std::ios::binary);
  const std::uint32_t bytes = static_cast<std::uint32_t>(s.size() * 2);
  f << "RIFF";
  put(f, 36 + bytes, 4);
  f << "WAVEfmt ";
  put(f, 16, 4), put(f, 1, 2), put(f, 2, 2), put(f, 22050, 4), put(f, 22050 * 4, 4), put(f, 4, 2), put(f, 16, 2);
  f << "data";
  put(f, bytes, 4);
  for (std::int16_t v : s) put(f, static_cast<std::uint16_t>(v), 2);
}

// The invariants; returns "" or what is broken.
class Invariants {
 public:
  explicit Invariants(Session& s) : s_(s) {}

  // `fresh`: idle steps have run since the last action, so the readouts are
  // those of the current settings.
  std::string Check(bool fresh) {
    TForm1& f = s_.Form();
    std::ostringstream bad;
    auto one_hot = [](const auto& flags) {
      int ones = 0;
      for (int v : flags) {
        if (v != 0 && v != 1) return false;
        ones += v;
      }
      return ones == 1;
    };
    if (!one_hot(f.RangeLatchL)) bad << "RangeLatchL not one-hot; ";
    if (!one_hot(f.RangeLatchR)) bad << "RangeLatchR not one-hot; ";
    const std::array<std::int32_t, 7> bands = {f.BandLatch1, f.BandLatch2, f.BandLatch3, f.BandLatch4,
                                               f.BandLatch5, f.BandLatch6, f.BandLatch7};
    int band_sum = 0;
    for (int v : bands) band_sum += v;
    // No band is applied before the first redraw; from then on exactly one.
    if (band_applied_ || band_sum != 0) {
      band_applied_ = true;
      if (!one_hot(bands)) bad << "sweep band latches not one-hot; ";
    }
    if (f.SampleCount < 0 || f.SampleCount > osciloskop::kSampleArraySize)
      bad << "SampleCount " << f.SampleCount << "; ";

    // The input: closed, or recording (the instrument never stops it, and its
    // handler declines every buffer, so a run never runs down).
    const TAudioIn& in = *f.AudioIn1;
    platform::VirtualCard& card = platform::TheVirtualCard();
    if (!in.DeviceOpen()) {
      if (in.Running()) bad << "input closed but running; ";
      if (card.IsOpen(platform::WaveDir::In)) bad << "input closed but its device is open; ";
    } else {
      if (!in.Accepting() || !in.Running() || in.QueuedCount() < 1 || in.QueuedCount() > in.NumBuffers())
        bad << "input open but not recording (running " << in.Running() << ", accepting "
            << in.Accepting() << ", queued " << in.QueuedCount() << "); ";
      if (in.NextSlot() != 0 || in.FilledCount() != 0) bad << "input ring moved though every buffer is declined; ";
      if (in.DoneCount() + in.QueuedCount() != in.NumBuffers()) bad << "input buffers lost; ";
      if (card.QueuedBuffers(platform::WaveDir::In) != static_cast<std::size_t>(in.QueuedCount()))
        bad << "input queue " << in.QueuedCount() << " but the device holds "
            << card.QueuedBuffers(platform::WaveDir::In) << "; ";
    }
    // The output plays for the whole run, four buffers queued.
    const TAudioOut& out = *f.AudioOut1;
    if (!out.DeviceOpen() || !out.Accepting() || !out.Running() || out.QueuedCount() != out.NumBuffers() ||
        out.NextSlot() < 0 || out.NextSlot() >= out.NumBuffers())
      bad << "output not playing (open " << out.DeviceOpen() << ", queued " << out.QueuedCount() << "); ";
    if (card.QueuedBuffers(platform::WaveDir::Out) != static_cast<std::size_t>(out.QueuedCount()))
      bad << "output queue " << out.QueuedCount() << " but the device holds "
          << card.QueuedBuffers(platform::WaveDir::Out) << "; ";
    if (in.LastError() != "" && in.LastError() != "Wave Input device is already open")
      bad << "input error '" << in.LastError() << "'; ";
    if (!out.LastError().empty()) bad << "output error '" << out.LastError() << "'; ";
    const std::int64_t played = card.OutputFramesPlayed();
    if (played < played_) bad << "output frames went back; ";
    played_ = played;

    // Callback windows and wave memory stay as start-up left them.
    if (windows_ < 0) windows_ = platform::LiveWindowCount(), blocks_ = platform::LiveGlobalBlocks();
    if (platform::LiveWindowCount() != windows_)
      bad << "windows " << platform::LiveWindowCount() << " instead of " << windows_ << "; ";
    if (platform::LiveGlobalBlocks() != blocks_)
      bad << "wave memory blocks " << platform::LiveGlobalBlocks() << " instead of " << blocks_ << "; ";

    // Readouts, as the idle steps have just written them.
    if (fresh) {
      const bool follow = f.FollowGenerator == 1;
      if (!readouts::IsFrequency(f.Edit12->Text(), follow)) bad << "Edit12 '" << f.Edit12->Text() << "'; ";
      if (!readouts::IsFrequency(f.Edit8->Text(), follow)) bad << "Edit8 '" << f.Edit8->Text() << "'; ";
      if (!readouts::IsAmplitude(f.Edit4->Text())) bad << "Edit4 '" << f.Edit4->Text() << "'; ";
      if (!readouts::IsAmplitude(f.Edit1->Text())) bad << "Edit1 '" << f.Edit1->Text() << "'; ";
      if (!readouts::IsPeaks(f.Edit11->Text())) bad << "Edit11 '" << f.Edit11->Text() << "'; ";
    }
    if (!s_.App().Errors().empty()) bad << "error shown: " << s_.App().Errors().back() << "; ";
    return bad.str();
  }

 private:
  Session& s_;
  bool band_applied_ = false;
  std::int64_t played_ = 0;
  int windows_ = -1;
  int blocks_ = -1;
};

// Returns the session's script and its dump before the close, for a replay.
struct SessionEnd {
  std::string script, dump, dir;
};

SessionEnd RunSession(std::uint32_t seed, int steps) {
  platform::PlatformOptions options;
  options.idle_quantum_ms = kQuantumMs;
  options.signal_r = "sine:600:16000";
  options.signal_l = "square:600:9000";
  Session s(options);
  WriteTone(s.Dir() + "/tone.wav");
  Actions actions(seed, s.Form(), s.Dir());
  Invariants invariants(s);
  int refused = 0;
  std::string broken = invariants.Check(false);
  for (int step = 1; step <= steps && broken.empty(); ++step) {
    const std::string line = actions.Next();
    const std::string error = s.Line(line);
    if (!error.empty()) ++refused;
    // A refusal names the reason; nothing else reaches stderr.
    if (error.rfind("stderr: ", 0) == 0 || error.rfind("status ", 0) == 0)
      broken = "'" + line + "': " + error;
    else
      broken = invariants.Check(line.rfind("wait ", 0) == 0 && line != "wait 0" && error.empty());
    if (!broken.empty()) {
      const std::string script = s.Dir() + "/session.txt";
      std::ofstream(script) << s.Script();
      ADD_FAILURE() << "seed " << seed << ", step " << step << " '" << line << "': " << broken
                    << "\nthe session so far: " << script << " (--idle-quantum-ms=" << kQuantumMs
                    << " --signal-r=sine:600:16000 --signal-l=square:600:9000)";
    }
  }
  // Most actions were possible ones.
  EXPECT_LT(refused, steps / 2) << "seed " << seed;
  SessionEnd end{s.Accepted(), s.Dump(), s.Dir()};
  // Closing as a user would still writes the volumes back.
  EXPECT_EQ(s.Line("close"), "");
  for (int d = 0; d <= 5; ++d)
    EXPECT_EQ(platform::VirtualVolume(d), platform::InitialVirtualVolume(d)) << "volume " << d;
  return end;
}

TEST(RandomSession, Seed1) { RunSession(1, 1000); }
TEST(RandomSession, Seed2) { RunSession(2, 1000); }

// The same session replayed by the built program gives the same dump, byte
// for byte: what ran here is what the program runs (and the refused lines,
// left out of the replay, changed nothing).
TEST(RandomSession, Seed3IsWhatTheProgramDoes) {
  const SessionEnd end = RunSession(3, 1000);
  const std::string script = end.dir + "/replay.txt";
  std::ofstream(script) << end.script << "dump " << end.dir << "/replay.json\n";
  // A click on the mixer menu item started a program and left SIGCHLD ignored.
  std::signal(SIGCHLD, SIG_DFL);
  const std::string cmd = std::string("'") + OSCILOSKOP_EXE + "' --headless --script='" + script +
                          "' --idle-quantum-ms=" + std::to_string(kQuantumMs) +
                          " --signal-r=sine:600:16000 --signal-l=square:600:9000 2>'" + end.dir +
                          "/replay.err'";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  std::ifstream f(end.dir + "/replay.json", std::ios::binary);
  std::string replayed((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  // The measuring instrument's section is the program's own, beyond the form.
  if (const auto at = replayed.find(",\n  \"measurements\": {"); at != std::string::npos)
    replayed = replayed.substr(0, at) + "\n}\n";
  if (replayed != end.dump) std::ofstream(end.dir + "/session.json") << end.dump;
  EXPECT_TRUE(replayed == end.dump) << "the program's dump " << end.dir
                                    << "/replay.json differs from this session's, session.json";
}

}  // namespace
}  // namespace reliability
