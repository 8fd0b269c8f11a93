// SPDX-License-Identifier: GPL-3.0-or-later
// What a new user meets first (issue 12): the stored form whole in its new
// font with every menu item in the bar, a missing font reported, --help and
// --version, and the card's input recorded and replayed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QImage>
#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "system/json_read.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

const char* const kMenuItems[] = {"spoutn1",       "test2",         "volbazobrazen1", "file1",
                                  "mickanl1",      "volbarozsahu1", "frekvence1",     "naptR1",
                                  "volbarozsahu2", "frekvence2",    "asovzkladna1",   "mixer1"};

jsonread::Value StartUpDump(const std::string& dir, const std::string& extra = {}) {
  RunResult r = RunScript(dir, "wait 0.5\ndump " + dir + "/d.json\n", extra);
  EXPECT_EQ(r.status, 0) << r.err;
  return jsonread::ParseFile(dir + "/d.json");
}

TEST(FirstRun, AllTwelveMenuItemsLieInTheBarAtClientWidth792) {
  const std::string dir = TempDir();
  const jsonread::Value d = StartUpDump(dir);
  ASSERT_EQ(d["client"]["width"].Int(), 792);
  const jsonread::Value& bar = d["controls"]["MainMenu1"];
  EXPECT_EQ(bar["width"].Int(), 792);
  int right = 0;
  for (const char* name : kMenuItems) {
    SCOPED_TRACE(name);
    const jsonread::Value& item = d["controls"][name];
    EXPECT_TRUE(item["textFits"].Bool()) << "behind the overflow arrow";
    EXPECT_EQ(item["left"].Int(), right) << "side by side, in the stored order";
    EXPECT_EQ(item["top"].Int(), 0);
    EXPECT_EQ(item["height"].Int(), bar["height"].Int());
    EXPECT_GT(item["width"].Int(), 10);
    right = static_cast<int>(item["left"].Int() + item["width"].Int());
  }
  EXPECT_LE(right, 792);
}

TEST(FirstRun, AWindowScreenshotHasTheMenuBarAboveTheClientArea) {
  const std::string dir = TempDir();
  RunResult r = RunScript(dir, "wait 0.5\nscreenshot " + dir + "/client.png\nscreenshot " + dir +
                                   "/window.png window\ndump " + dir + "/d.json\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const QImage client(QString::fromStdString(dir + "/client.png"));
  const QImage window(QString::fromStdString(dir + "/window.png"));
  const int bar = static_cast<int>(
      jsonread::ParseFile(dir + "/d.json")["controls"]["MainMenu1"]["height"].Int());
  ASSERT_FALSE(client.isNull() || window.isNull()) << "the screenshots do not read as PNG";
  ASSERT_EQ(client.width(), 792);
  ASSERT_EQ(client.height(), 526);
  ASSERT_EQ(window.width(), 792);
  ASSERT_EQ(window.height(), 526 + bar);
  int differ = 0;
  for (int y = 0; y < client.height(); ++y)
    for (int x = 0; x < client.width(); ++x)
      differ += client.pixel(x, y) != window.pixel(x, y + bar);
  EXPECT_EQ(differ, 0) << "below the bar lies the client area";
  // The bar has its captions: dark letters on the light bar.
  int dark = 0;
  for (int y = 0; y < bar; ++y)
    for (int x = 0; x < 792; ++x) dark += qBlue(window.pixel(x, y)) < 0x60;
  EXPECT_GT(dark, 300);
  r = RunScript(dir, "screenshot " + dir + "/w.png whole\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("usage: screenshot FILE.png [window]"), std::string::npos) << r.err;
}

TEST(FirstRun, EveryCaptionOfTheStoredFormFitsItsControl) {
  const std::string dir = TempDir();
  const jsonread::Value d = StartUpDump(dir, "--signal-r=sine:600:16000 --signal-l=square:300");
  int with_text = 0;
  for (const auto& [name, control] : d["controls"].Members()) {
    if (!control.Has("textFits")) continue;
    ++with_text;
    EXPECT_TRUE(control["textFits"].Bool()) << name << " '" << control["text"].Str() << "'";
  }
  EXPECT_GT(with_text, 40);
  // The four the issue found cut with the previous font.
  for (const char* name : {"RadioButton1", "RadioButton2", "ComboBox4", "ComboBox1"})
    EXPECT_TRUE(d["controls"][name]["textFits"].Bool()) << name;
  // Controls without a caption or text say nothing of it.
  EXPECT_FALSE(d["controls"]["ScrollBar3"].Has("textFits"));
}

TEST(FirstRun, AMissingFontIsReportedAndNothingIsDrawn) {
  const std::string dir = TempDir();
  const std::string fonts = dir + "/fonts";
  mkdir(fonts.c_str(), 0700);
  // With the fonts installed the script draws its picture.
  WriteFile(dir + "/s.txt", "screenshot " + dir + "/s.png\n");
  RunResult r = RunProgram(dir, "--headless --script='" + dir + "/s.txt'");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_TRUE(std::ifstream(dir + "/s.png").good());
  std::remove((dir + "/s.png").c_str());

  // No font files at all.
  r = RunProgram(dir, "--headless --script='" + dir + "/s.txt'",
                 "OSCILOSKOP_FONT_DIR='" + fonts + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("LiberationSans-Bold.ttf"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("LiberationSans-Regular.ttf"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("fonts-liberation2"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(fonts), std::string::npos) << r.err;
  EXPECT_FALSE(std::ifstream(dir + "/s.png").good()) << "a picture was drawn without the font";

  // Another typeface under the font's file name is no substitute.
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
  if (std::ifstream(dejavu).good()) {
    WriteFile(fonts + "/LiberationSans-Bold.ttf", ReadFile(dejavu));
    r = RunProgram(dir, "--headless --script='" + dir + "/s.txt'",
                   "OSCILOSKOP_FONT_DIR='" + fonts + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("LiberationSans-Bold.ttf"), std::string::npos) << r.err;
    EXPECT_FALSE(std::ifstream(dir + "/s.png").good());
  }
}

// The options the usage line names, as "--name".
std::set<std::string> UsageOptions(const std::string& text) {
  const std::string usage = text.substr(text.find("usage:"));
  std::set<std::string> names;
  const std::regex option("--[a-z-]+");
  for (auto it = std::sregex_iterator(usage.begin(), usage.end(), option);
       it != std::sregex_iterator(); ++it)
    names.insert(it->str());
  return names;
}

TEST(FirstRun, HelpHasALineForEveryOptionAndEveryScriptCommand) {
  const std::string dir = TempDir();
  RunResult bad = RunProgram(dir, "--bogus");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("unknown option '--bogus'"), std::string::npos);
  EXPECT_NE(bad.err.find("usage: osciloskop"), std::string::npos);
  const std::set<std::string> options = UsageOptions(bad.err);
  EXPECT_GE(options.size(), 12u);

  RunResult help = RunProgram(dir, "--help");
  ASSERT_EQ(help.status, 0) << help.err;
  EXPECT_TRUE(help.err.empty()) << help.err;
  for (const std::string& o : options)
    EXPECT_TRUE(std::regex_search(help.out, std::regex("\n  " + o + "[=\\[ ]")))
        << o << " has no line of its own in --help";
  for (const char* command : {"wait", "select", "position", "click", "focus", "key", "resize",
                              "signal", "mixer", "screenshot", "dump", "close"})
    EXPECT_TRUE(std::regex_search(help.out, std::regex(std::string("\n  ") + command + " ")))
        << command;
  for (const char* source : {"silence", "sine:HZ", "square:HZ", "file:FILE", "generator"})
    EXPECT_NE(help.out.find(source), std::string::npos) << source;
  // --help wins over everything else on the line, even a bad option.
  RunResult both = RunProgram(dir, "--bogus --help");
  EXPECT_EQ(both.status, 0);
  EXPECT_EQ(both.out, help.out);
}

TEST(FirstRun, VersionNeedsNoDisplayNorFont) {
  const std::string dir = TempDir();
  RunResult r =
      RunProgram(dir, "--version", "DISPLAY= WAYLAND_DISPLAY= OSCILOSKOP_FONT_DIR=/nonexistent");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::regex_match(r.out, std::regex("osciloskop [0-9]+\\.[0-9]+\\.[0-9]+\n")))
      << r.out;
}

// The text of the object that follows "key": { in a dump, braces and all.
std::string RawObject(const std::string& dump, const std::string& key) {
  const std::size_t from = dump.find("\"" + key + "\": {");
  if (from == std::string::npos) return {};
  int depth = 0;
  bool in_string = false;
  for (std::size_t i = dump.find('{', from); i < dump.size(); ++i) {
    const char c = dump[i];
    if (in_string) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth == 0) {
      return dump.substr(from, i + 1 - from);
    }
  }
  return {};
}

// Two runs that dumped and pictured the same moments d1.json, s1.png ...:
// the same readouts, the same instrument state and the same picture.
void ExpectSameRuns(const std::string& a, const std::string& b, int moments) {
  for (int i = 1; i <= moments; ++i) {
    SCOPED_TRACE("moment " + std::to_string(i));
    const std::string n = std::to_string(i);
    const std::string ta = ReadFile(a + "/d" + n + ".json"), tb = ReadFile(b + "/d" + n + ".json");
    const jsonread::Value da = jsonread::Parse(ta), db = jsonread::Parse(tb);
    for (const char* readout : {"Edit12", "Edit8", "Edit4", "Edit1", "Edit14"})
      EXPECT_EQ(da["controls"][readout]["text"].Str(), db["controls"][readout]["text"].Str())
          << readout;
    const std::string state = RawObject(ta, "state");
    ASSERT_GT(state.size(), 1000u);
    EXPECT_TRUE(state == RawObject(tb, "state")) << "the instrument's state differs";
    const QImage pa(QString::fromStdString(a + "/s" + n + ".png"));
    const QImage pb(QString::fromStdString(b + "/s" + n + ".png"));
    ASSERT_FALSE(pa.isNull() || pb.isNull()) << "picture s" << n << ".png does not read as PNG";
    EXPECT_TRUE(pa == pb) << "the pictures differ";
  }
}

// The WAV header's fields, checked against the file's length.
struct WavHeader {
  std::uint32_t riff = 0, data = 0, rate = 0;
  std::uint16_t format = 0, channels = 0, bits = 0;
  std::size_t file = 0;
};
WavHeader ReadWavHeader(const std::string& path) {
  const std::string f = ReadFile(path);
  WavHeader h;
  h.file = f.size();
  if (f.size() < 44 || f.compare(0, 4, "RIFF") != 0 || f.compare(8, 8, "WAVEfmt ") != 0 ||
      f.compare(36, 4, "data") != 0)
    return h;
  auto u32 = [&](std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, f.data() + at, 4);
    return v;
  };
  auto u16 = [&](std::size_t at) {
    std::uint16_t v;
    std::memcpy(&v, f.data() + at, 2);
    return v;
  };
  h.riff = u32(4);
  h.format = u16(20);
  h.channels = u16(22);
  h.rate = u32(24);
  h.bits = u16(34);
  h.data = u32(40);
  return h;
}

constexpr const char* kMoments =
    "wait 1.3\ndump DIR/d1.json\nscreenshot DIR/s1.png\n"
    "PLAYsignal r sine:420:12000\nwait 1.45\ndump DIR/d2.json\nscreenshot DIR/s2.png\n"
    "position ScrollBar5 4000\nwait 1.25\ndump DIR/d3.json\nscreenshot DIR/s3.png\n";

std::string Moments(const std::string& dir, bool record) {
  std::string s = kMoments;
  for (std::size_t at; (at = s.find("DIR")) != std::string::npos;) s.replace(at, 3, dir);
  const std::size_t play = s.find("PLAY");
  // The replay's inputs stay on the file; what changed them is in it.
  s.replace(play, 4, record ? "" : "#");
  return s;
}

TEST(FirstRun, RecordedInputReplaysToTheSameReadoutsStateAndPicture) {
  const std::string rec = TempDir(), play = TempDir();
  const std::string wav = rec + "/input.wav";
  // R: a sine that changes during the run; L: the generator looped back,
  // whose frequency changes too.
  RunResult r = RunScript(rec, Moments(rec, true),
                          "--signal-r=sine:600:16000 --signal-l=generator --record-input=" + wav);
  ASSERT_EQ(r.status, 0) << r.err;
  const WavHeader h = ReadWavHeader(wav);
  EXPECT_EQ(h.format, 1);
  EXPECT_EQ(h.channels, 2);
  EXPECT_EQ(h.rate, 44100u);
  EXPECT_EQ(h.bits, 16);
  EXPECT_EQ(h.data + 44, h.file);
  EXPECT_EQ(h.riff + 8, h.file);
  // Every frame from the start to the end of the run: 4.0 s.
  EXPECT_EQ(h.data, 4 * 44100u * 4);
  // The dump counts the frames written by then: up to the last buffer.
  const long long by_then = jsonread::ParseFile(rec + "/d3.json")["card"]["framesRecorded"].Int();
  EXPECT_GT(by_then, 3 * 44100);
  EXPECT_LE(by_then, static_cast<long long>(h.data / 4));

  r = RunScript(play, Moments(play, false),
                "--signal-r=file:" + wav + ":0 --signal-l=file:" + wav + ":1");
  ASSERT_EQ(r.status, 0) << r.err;
  ExpectSameRuns(rec, play, 3);
  // The moments differ among themselves, so the comparison has teeth.
  EXPECT_NE(jsonread::ParseFile(rec + "/d1.json")["controls"]["Edit8"]["text"].Str(),
            jsonread::ParseFile(rec + "/d2.json")["controls"]["Edit8"]["text"].Str());
  EXPECT_NE(RawObject(ReadFile(rec + "/d2.json"), "CaptureBuffer"),
            RawObject(ReadFile(rec + "/d3.json"), "CaptureBuffer"));
}

TEST(FirstRun, AnInterruptedRecordingIsAReadableFile) {
  const std::string dir = TempDir();
  const std::string wav = dir + "/input.wav";
  WriteFile(dir + "/long.txt", "wait 600\n");
  const std::string cmd = std::string("'") + OSCILOSKOP_EXE + "' --headless --script='" + dir +
                          "/long.txt' --signal-r=sine:600:16000 --record-input='" + wav +
                          "' 2>/dev/null & echo $! >'" + dir + "/pid'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const pid_t pid = static_cast<pid_t>(std::stol(ReadFile(dir + "/pid")));
  // Until a second of the virtual card's input has gone to the file (a
  // sanitizer build takes a while to get there).
  for (int i = 0; i < 3000 && ReadWavHeader(wav).data < 4 * 44100; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const WavHeader h = ReadWavHeader(wav);
  ASSERT_GE(h.data, 4 * 44100u) << "nothing recorded";
  EXPECT_LE(h.data + 44, h.file) << "the header claims more than the file has";
  EXPECT_EQ(h.data % 4, 0u);
  // The program itself reads it as a source.
  RunResult r = RunScript(dir, "wait 1.2\ndump " + dir + "/d.json\n",
                          "--signal-r=wav:" + wav + ":0 --signal-l=wav:" + wav + ":1");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(jsonread::ParseFile(dir + "/d.json")["controls"]["Edit8"]["text"].Str(), "  570 Hz");
}

TEST(FirstRun, AnUnwritableRecordingIsRefusedAtStart) {
  const std::string dir = TempDir();
  for (const std::string& where : {std::string("/nonexistent/in.wav"), dir}) {
    RunResult r = RunScript(dir, "dump " + dir + "/d.json\n", "--record-input=" + where);
    EXPECT_EQ(r.status, 2) << where;
    EXPECT_NE(r.err.find("--record-input: cannot write '" + where + "'"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::ifstream(dir + "/d.json").good()) << "the instrument started";
  }
  RunResult r = RunProgram(dir, "--record-input=");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--record-input needs a file name"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace systemtest
