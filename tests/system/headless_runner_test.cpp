// SPDX-License-Identifier: GPL-3.0-or-later
// The built program run headless: its dumps, screenshots, determinism and
// the way it refuses bad scripts and options.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "platform/base/printable.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

// The number after "key": inside the object that follows "section": {.
double Field(const std::string& dump, const std::string& section, const std::string& key) {
  std::size_t from = section.empty() ? 0 : dump.find("\"" + section + "\": {");
  EXPECT_NE(from, std::string::npos) << section;
  std::size_t at = dump.find("\"" + key + "\": ", from);
  EXPECT_NE(at, std::string::npos) << key;
  if (at == std::string::npos) return NAN;
  return std::strtod(dump.c_str() + at + key.size() + 4, nullptr);
}

std::string Text(const std::string& dump, const std::string& control) {
  std::size_t from = dump.find("\"" + control + "\": {");
  std::size_t at = dump.find("\"text\": \"", from) + 9;
  std::size_t end = at;
  while (end < dump.size() && dump[end] != '"') end += dump[end] == '\\' ? 2 : 1;
  return dump.substr(at, end - at);
}

TEST(HeadlessRun, DumpAfterStartUpShowsCaptionClientAndStartUpState) {
  const std::string dir = TempDir();
  RunResult r = RunScript(dir, "# right after start-up\ndump " + dir + "/d.json\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string d = ReadFile(dir + "/d.json");
  EXPECT_NE(d.find("\"caption\": \"osciloskop JEN PRO MĚŘENÍ NA DIGITÁLNÍCH OBVODECH !!! vstup LINE "
                   "IN, frekvence 600 Hz, výstup na R (voltmetr) \""),
            std::string::npos);
  EXPECT_EQ(Field(d, "client", "width"), 792);
  EXPECT_EQ(Field(d, "client", "height"), 526);
  EXPECT_EQ(Field(d, "state", "SampleCount"), 22100);
  EXPECT_EQ(Field(d, "state", "PeriodicMode"), 1);
  EXPECT_EQ(Field(d, "state", "FrequencyR"), 40);
  EXPECT_EQ(Field(d, "state", "GenFrequency"), 100);
  EXPECT_EQ(Field(d, "state", "TraceShift"), 5);
  EXPECT_EQ(Field(d, "TrackBar1", "top"), 43);
  EXPECT_EQ(Field(d, "Panel13", "top"), 498);
  EXPECT_EQ(Text(d, "Edit14"), " 100 Hz");
  EXPECT_EQ(Text(d, "Edit13"), "110 mV");
  EXPECT_EQ(Text(d, "ComboBox1"), "automatická");
  EXPECT_EQ(Field(d, "", "time"), 0);
}

TEST(HeadlessRun, SineOnROneSecondInShowsTheCapturedRun) {
  const std::string dir = TempDir();
  RunResult r = RunScript(dir, "wait 1\ndump " + dir + "/d.json\n", "--signal-r=sine:600:16000");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string d = ReadFile(dir + "/d.json");
  EXPECT_EQ(Field(d, "state", "SampleCount"), 22050);
  // The first run closed at 1.0 s after four declined buffers, and the idle
  // step at 1.0 s started the second one.
  EXPECT_EQ(Field(d, "card", "inputRunsStarted"), 2);
  EXPECT_EQ(Field(d, "AudioIn1", "QueuedCount"), 4);
  EXPECT_EQ(Field(d, "AudioIn1", "FilledCount"), 0);
  EXPECT_EQ(Field(d, "AudioIn1", "DoneCount"), 0);
  EXPECT_NE(d.find("\"DeviceOpen\": true", d.find("\"AudioOut1\": {")), std::string::npos);
  // CaptureBuffer's first frames: the sine on the card's left input (even
  // entries), silence on the right (odd entries).
  std::size_t head = d.find("\"head\": [", d.find("\"CaptureBuffer\": {"));
  ASSERT_NE(head, std::string::npos);
  std::istringstream values(d.substr(head + 9, d.find(']', head) - head - 9));
  std::vector<long> v;
  for (std::string t; std::getline(values, t, ',');) v.push_back(std::stol(t));
  ASSERT_EQ(v.size(), 32u);
  for (int frame = 0; frame < 16; ++frame) {
    const double expected = 16000 * std::sin(2 * M_PI * 600 * frame / 44100.0);
    EXPECT_NEAR(v[2 * frame], expected, 1.0) << "frame " << frame;
    EXPECT_EQ(v[2 * frame + 1], 0);
  }
}

TEST(HeadlessRun, SameScriptGivesTheSameBytes) {
  const std::string a = TempDir(), b = TempDir();
  const char* script =
      "wait 1.3\nposition ScrollBar3 100\nselect ComboBox1 5\nwait 0.4\nresize 700 480\nwait 0.2\n";
  for (const std::string& dir : {a, b}) {
    RunResult r = RunScript(dir, std::string(script) + "screenshot " + dir + "/s.png\ndump " + dir +
                                     "/d.json\n",
                            "--signal-r=sine:600:16000 --signal-l=square:300:9000");
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const std::string da = ReadFile(a + "/d.json"), db = ReadFile(b + "/d.json");
  ASSERT_FALSE(da.empty());
  EXPECT_TRUE(da == db) << "the dumps differ: " << a << " " << b;
  const std::string sa = ReadFile(a + "/s.png"), sb = ReadFile(b + "/s.png");
  ASSERT_GT(sa.size(), 1000u);
  EXPECT_TRUE(sa == sb) << "the screenshots differ: " << a << " " << b;
  EXPECT_EQ(Field(da, "state", "TraceShift"), 10);
  EXPECT_EQ(Field(da, "client", "width"), 700);
}

TEST(HeadlessRun, BadScriptLinesStopTheRunWithTheirLineNumber) {
  struct Case {
    std::string line;
    std::string message;
  } cases[] = {
      {"jump 3", "unknown command 'jump'"},
      {"click NoSuchControl", "unknown control 'NoSuchControl'"},
      {"select ComboBox1 9", "ComboBox1 has no item 9"},
      {"select ComboBox2 3", "ComboBox2 is disabled"},
      {"select ComboBox3 1", "ComboBox3 is hidden"},
      {"position ScrollBar3 500", "outside 10..200"},
      {"position Edit1 5", "Edit1 is not a slider"},
      {"wait soon", "not a number of seconds"},
      {"wait -1", "not a number of seconds"},
      {"key Insert", "unknown key 'Insert'"},
      {"click Button2 twice", "usage: click CONTROL [right]"},
      {"click ComboBox7", "ComboBox7 is covered by Panel10"},
      {"click Edit11", "Edit11 lies outside the window"},
      {"wheel ComboBox1 lots", "not a number of steps"},
      {"type", "usage: type TEXT"},
      {"resize 0 10", "client size"},
      {"signal x sine:50", "'r' or 'l'"},
      {"signal r noise:5", "noise"},
      {"screenshot /nonexistent-dir/x.png", "cannot write"},
      {"dump /nonexistent-dir/x.json", "cannot write"},
      {"screenshot picture.jpg", "must end in .png"},
      {"click test2", "test2 is disabled"},
  };
  for (const Case& c : cases) {
    const std::string dir = TempDir();
    RunResult r = RunScript(dir, "wait 0.01\n\n# comment\n" + c.line + "\nwait 1\n");
    EXPECT_EQ(r.status, 2) << c.line;
    EXPECT_NE(r.err.find(dir + "/script.txt:4: "), std::string::npos) << c.line << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.line << ": " << r.err;
  }
}

TEST(HeadlessRun, LinesAfterCloseAreRefusedAndCloseRunsTheCloseHandler) {
  const std::string dir = TempDir();
  RunResult r = RunScript(dir, "wait 0.1\nclose\n");
  EXPECT_EQ(r.status, 0) << r.err;
  r = RunScript(dir, "close\nwait 1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(":2: the window is closed"), std::string::npos) << r.err;
}

TEST(HeadlessRun, BadOptionsAndInputsAreNamedWithStatus2) {
  const std::string dir = TempDir();
  struct Case {
    std::string args, message;
  } cases[] = {
      {"--volume=3", "unknown option '--volume=3'"},
      {"--headless", "--headless needs --script=FILE"},
      {"--headless --script=/nonexistent/s.txt", "cannot read script '/nonexistent/s.txt'"},
      {"--headless --script=" + dir + "/s.txt --signal-r=file:/nonexistent.wav",
       "--signal-r: sound file '/nonexistent.wav': cannot open"},
      {"--headless --script=" + dir + "/s.txt --signal-l=wav:" + dir + "/s.txt",
       "--signal-l: sound file '" + dir + "/s.txt': libsndfile: "},
      {"--headless --script=" + dir + "/s.txt --signal-l=sine:abc", "--signal-l"},
  };
  WriteFile(dir + "/s.txt", "wait 0.1\n");
  for (const Case& c : cases) {
    RunResult r = RunProgram(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
}

TEST(HeadlessRun, BytesFromFilesAndScriptsAreEscapedOnStderr) {
  // A broken sound file whose name is not text, and a script line of bytes
  // that are not UTF-8: both messages quote them escaped, and stderr stays
  // valid UTF-8.
  const std::string dir = TempDir();
  std::string wav = "RIFF";
  wav += std::string("\x0E\0\0\0", 4) + "WAVE" + "\x01\xFF" "a\x80" + std::string("\x64\0\0\0\0\0", 6);
  WriteFile(dir + "/bad\x01\xFF.wav", wav);
  WriteFile(dir + "/s.txt", "wait 0.1\n");
  RunResult r = RunProgram(dir, "--headless --script=" + dir + "/s.txt --signal-r=file:'" + dir + "/bad\x01\xFF.wav'");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("/bad\\x01\\xFF.wav': libsndfile: "), std::string::npos) << r.err;
  EXPECT_TRUE(platform::IsValidUtf8(r.err)) << r.err;

  r = RunScript(dir, "wait 0.01\n\xC0\x01\xFE x\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(":2: unknown command '\\xC0\\x01\\xFE'"), std::string::npos) << r.err;
  EXPECT_TRUE(platform::IsValidUtf8(r.err)) << r.err;
}

TEST(HeadlessRun, ScreenshotShowsTheGraticuleAndBothTraces) {
  const std::string dir = TempDir();
  RunResult r = RunScript(dir, "wait 1.5\nscreenshot " + dir + "/s.png\n",
                          "--signal-r=sine:600:16000 --signal-l=square:600:12000");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string png = ReadFile(dir + "/s.png");
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace systemtest
