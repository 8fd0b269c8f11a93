// SPDX-License-Identifier: GPL-3.0-or-later
// The built program and its mixer: the tree in the dump, outside changes
// seen through the notifications, the three ways start-up can fail to open
// it, and the volumes put back at close.
#include <gtest/gtest.h>

#include <string>

#include "system/json_read.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

using jsonread::Value;

const Value* SourceNamed(const Value& mixer, int d, const std::string& name) {
  for (const Value& s : mixer["destinations"][d]["sources"].Items())
    if (s["name"].Str() == name) return &s;
  return nullptr;
}

TEST(MixerRun, StartUpFailuresShowTheirMessageAndLeaveTheWindowStill) {
  struct Case {
    const char* option;
    const char* message;
  } cases[] = {
      {"--mixer=none", "No mixer device present in this system."},
      {"--mixer=fail-caps", "Function mixerGetDevCaps failed. Mixer device ID: 0"},
      {"--mixer=fail-open", "Function mixerOpen failed"},
  };
  for (const Case& c : cases) {
    const std::string dir = TempDir();
    RunResult r = RunScript(dir, "wait 1.5\ndump " + dir + "/d.json\nclose\n",
                            std::string(c.option) + " --signal-r=sine:600:16000");
    ASSERT_EQ(r.status, 0) << c.option << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.option << ": " << r.err;
    const Value d = jsonread::ParseFile(dir + "/d.json");
    ASSERT_EQ(d["errors"].size(), 1u) << c.option;
    EXPECT_EQ(d["errors"][0].Str(), c.message);
    // Steps 1 to 11 only: no stream, no generator, no idle step.
    EXPECT_EQ(d["state"]["SampleCount"].Int(), 22100) << c.option;
    EXPECT_EQ(d["state"]["GenFrequency"].Int(), 0) << c.option;
    EXPECT_FALSE(d["streams"]["AudioIn1"]["DeviceOpen"].Bool()) << c.option;
    EXPECT_FALSE(d["streams"]["AudioOut1"]["DeviceOpen"].Bool()) << c.option;
    EXPECT_EQ(d["card"]["inputRunsStarted"].Int(), 0) << c.option;
    EXPECT_EQ(d["card"]["outputFramesPlayed"].Int(), 0) << c.option;
    EXPECT_FALSE(d["mixer"]["open"].Bool());
    EXPECT_EQ(d["mixer"]["destinations"].size(), 0u);
  }
  // Closing the still window puts back a volume changed meanwhile.
  const std::string dir = TempDir();
  RunResult r = RunScript(dir,
                          "dump " + dir + "/a.json\nmixer speakers.wave volume 5\nclose\ndump " +
                              dir + "/b.json\n",
                          "--mixer=fail-open");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(jsonread::ParseFile(dir + "/b.json")["volumes"]["waveOut"].Int(),
            jsonread::ParseFile(dir + "/a.json")["volumes"]["waveOut"].Int());
  r = RunScript(dir, "mixer speakers.wave volume 5\n", "--mixer=none");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("has no mixer"), std::string::npos) << r.err;
}

TEST(MixerRun, OutsideVolumeChangesReachTheTreeAndCloseRestoresTheSavedVolumes) {
  const std::string dir = TempDir();
  const std::string script = "wait 0.2\ndump " + dir +
                             "/start.json\n"
                             "mixer speakers.wave volume 100,200\n"
                             "mixer speakers.line volume 300,400\n"
                             "mixer speakers.cd volume 500,600\n"
                             "mixer speakers.mic volume 700\n"
                             "mixer speakers.aux volume 900,1000\n"
                             "mixer speakers.synth volume 1100,1200\n"
                             "mixer wavein mux 6\n"
                             "wait 0.1\ndump " +
                             dir +
                             "/changed.json\n"
                             "close\ndump " +
                             dir + "/closed.json\n";
  RunResult r = RunScript(dir, script);
  ASSERT_EQ(r.status, 0) << r.err;
  const Value start = jsonread::ParseFile(dir + "/start.json");
  const Value changed = jsonread::ParseFile(dir + "/changed.json");
  const Value closed = jsonread::ParseFile(dir + "/closed.json");

  const Value& m0 = start["mixer"];
  ASSERT_TRUE(m0["open"].Bool());
  EXPECT_EQ(m0["productName"].Str(), "Virtual Mixer");
  EXPECT_EQ(m0["deviceCount"].Int(), 1);
  EXPECT_EQ(m0["destinations"].size(), 3u);
  EXPECT_EQ(m0["wellKnown"]["recordingLineIn"]["name"].Str(), "Line In 2");
  EXPECT_EQ(m0["wellKnown"]["recordingLineIn"]["sourceIndex"].Int(), 6);
  EXPECT_EQ(start["errors"].size(), 0u);
  EXPECT_TRUE(start["streams"]["AudioOut1"]["DeviceOpen"].Bool());

  // Each change arrived as one notification and re-read its control only.
  const Value& m1 = changed["mixer"];
  EXPECT_EQ(m1["notificationsHandled"].Int(), 7);
  EXPECT_EQ(m1["controlChangesRaised"].Int(), 7);
  const Value* cd = SourceNamed(m1, 0, "CD Audio");
  ASSERT_NE(cd, nullptr);
  const Value& cd_volume =
      (*cd)["controls"][static_cast<std::size_t>((*cd)["volumeControl"].Int())];
  EXPECT_EQ(cd_volume["left"][0].Int(), 500);
  EXPECT_EQ(cd_volume["right"][0].Int(), 600);
  const Value* mic = SourceNamed(m1, 0, "Microphone");
  ASSERT_NE(mic, nullptr);
  EXPECT_EQ(
      (*mic)["controls"][static_cast<std::size_t>((*mic)["volumeControl"].Int())]["right"][0].Int(),
      700);
  const Value& mux = m1["destinations"][1]["controls"][0];
  EXPECT_EQ(mux["left"][0].Int(), 0);
  EXPECT_EQ(mux["left"][6].Int(), 1);
  // The playback volumes are the same settings.
  EXPECT_EQ(changed["volumes"]["waveOut"].Int(), 200 << 16 | 100);
  EXPECT_EQ(changed["volumes"]["aux3"].Int(), 700 << 16 | 700);

  // Close writes back what start-up saved.
  for (const char* v : {"waveOut", "aux1", "aux2", "aux3", "aux4", "aux5"}) {
    EXPECT_EQ(closed["volumes"][v].Int(), start["volumes"][v].Int()) << v;
    EXPECT_NE(changed["volumes"][v].Int(), start["volumes"][v].Int()) << v;
  }
}

TEST(MixerRun, BadMixerLinesAndOptionsAreNamed) {
  const std::string dir = TempDir();
  struct Case {
    std::string line;
    std::string message;
  } cases[] = {
      {"mixer speakers.tuba volume 5", "no line 'speakers.tuba'"},
      {"mixer speakers.wave bass 5", "has no control 'bass'"},
      {"mixer speakers.wave volume 70000", "outside 0..65535"},
      {"mixer speakers.mic volume 1,2", "has one value"},
      {"mixer speakers.wave volume loud", "not VALUE or LEFT,RIGHT"},
      {"mixer speakers volume", "usage: mixer LINE CONTROL VALUE[,RIGHT]"},
  };
  for (const Case& c : cases) {
    RunResult r = RunScript(dir, "wait 0.1\n" + c.line + "\n");
    EXPECT_EQ(r.status, 2) << c.line;
    EXPECT_NE(r.err.find(":2: "), std::string::npos) << c.line << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.line << ": " << r.err;
  }
  RunResult r = RunProgram(dir, "--headless --script=x --mixer=broken");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown mixer fault 'broken'"), std::string::npos) << r.err;
}

TEST(MixerRun, ListCardsNamesThePcmAndMixerDevices) {
  const std::string dir = TempDir();
  RunResult r = RunProgram(dir, "--list-cards >'" + dir + "/out.txt'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(
      ReadFile(dir + "/out.txt"),
      "pcm out 0: virtual card output\npcm in 0: virtual card input\nmixer 0: Virtual Mixer\n");
  r = RunProgram(dir, "--list-cards --mixer=none >'" + dir + "/none.txt'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir + "/none.txt").find("mixer"), std::string::npos);
}

}  // namespace
}  // namespace systemtest
