// SPDX-License-Identifier: GPL-3.0-or-later
// A run refused for any reason leaves every file as it was, and says what is
// wrong: a bad option or script line, an output that is one of the inputs
// (also through a link), a folder or a device to read, a display without a
// server, a sound file's impossible format or a bad channel.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "system/program_run.h"

namespace systemtest {
namespace {

// A 16-bit PCM WAV header of `frames` silent frames as the fields say.
std::string Wav(std::uint32_t rate, std::uint16_t channels, std::uint32_t frames) {
  auto le = [](std::uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i) & 0xff);
    return s;
  };
  const std::uint32_t data = frames * 2 * (channels ? channels : 1);
  return "RIFF" + le(36 + data, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(channels, 2) +
         le(rate, 4) + le(rate * 2 * channels, 4) + le(2 * channels, 2) + le(16, 2) + "data" +
         le(data, 4) + std::string(data, '\0');
}

// The bytes of every file in the folder, to compare before and after.
std::map<std::string, std::string> Files(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const char* name : {"keep.wav", "c.wav", "s.txt", "bad.txt", "late.txt"})
    files[name] = ReadFile(dir + "/" + name);
  return files;
}

TEST(Refusal, ARefusedRunLeavesEveryFileAsItWas) {
  const std::string dir = TempDir();
  const std::string d = "'" + dir + "/";
  WriteFile(dir + "/keep.wav", Wav(44100, 2, 88200));
  WriteFile(dir + "/c.wav", Wav(44100, 2, 4410));
  WriteFile(dir + "/s.txt", "wait 0.5\ndump " + dir + "/d.json\n");
  WriteFile(dir + "/bad.txt", "jump 1\n");
  // The bad line comes after lines that would write files.
  WriteFile(dir + "/late.txt", "record-input " + dir + "/keep.wav\nwait 1\nscreenshot " + dir +
                                   "/shot.png\nsave-data " + dir + "/new.csv\nwait x\n");
  // Arguments that only the card can judge, on a later line.
  WriteFile(dir + "/signal.txt",
            "screenshot " + dir + "/shot.png\nwait 0.5\nsignal r sine:600:x\n");
  WriteFile(dir + "/mixer.txt",
            "record-input " + dir + "/keep.wav\nwait 1\nmixer speakers.wave volume 70000\n");
  WriteFile(dir + "/zero.wav", Wav(0, 1, 4410));
  WriteFile(dir + "/zero.txt",
            "save-data " + dir + "/new.csv\nsignal l file:" + dir + "/zero.wav\n");
  symlink((dir + "/c.wav").c_str(), (dir + "/link.wav").c_str());
  const std::string run = "--headless --script=";
  struct Case {
    std::string args, message;
  } cases[] = {
      {run + d + "nosuch' --record-input=" + d + "keep.wav'", "cannot read script"},
      {run + d + "nosuch' --output-wav=" + d + "keep.wav'", "cannot read script"},
      {run + d + "bad.txt' --record-input=" + d + "keep.wav'", "bad.txt:1: unknown command"},
      {run + d + "late.txt'", "late.txt:5: wait: 'x' is not a number"},
      {run + d + "signal.txt' --record-input=" + d + "keep.wav'",
       "signal.txt:3: bad peak 'x' in 'sine:600:x'"},
      {run + d + "signal.txt' --card=alsa:nosuch --record-input=" + d + "keep.wav'",
       "signal.txt:3: signal: the inputs of --card=alsa:nosuch are the sound card's own"},
      {run + d + "mixer.txt'", "mixer.txt:3: mixer: the value 70000 is outside 0..65535"},
      {run + d + "zero.txt'", "zero.txt:2: sound file '" + dir + "/zero.wav': frame rate 0 Hz"},
      {run + "/tmp --record-input=" + d + "keep.wav'", "cannot read script '/tmp': a folder"},
      {run + d + "s.txt' --signal-r=file:" + d + "c.wav':0 --record-input=" + d + "c.wav'",
       "--record-input: cannot write '" + dir + "/c.wav': it is the file read by --signal-r ('" +
           dir + "/c.wav')"},
      {run + d + "s.txt' --signal-l=file:" + d + "c.wav' --output-wav=" + d + "link.wav'",
       "it is the file read by --signal-l"},
      {run + d + "s.txt' --record-input=" + d + "s.txt'", "it is the file read by --script"},
      {run + d + "s.txt' --record-input=" + d + "keep.wav' --output-wav=" + d + "keep.wav'",
       "it is the file written by --output-wav"},
      {run + d + "s.txt' --record-input=" + d + "keep.wav' --signal-r=file:" + d + "c.wav':2",
       "bad channel '2'"},
  };
  // A script writing the file it plays, and one writing itself.
  WriteFile(dir + "/plays.txt",
            "signal r file:" + dir + "/c.wav\nrecord-input " + dir + "/c.wav\n");
  WriteFile(dir + "/self.txt", "wait 0.1\ndump " + dir + "/self.txt\n");
  const auto before = Files(dir);
  const std::string plays = ReadFile(dir + "/plays.txt"), self = ReadFile(dir + "/self.txt");
  for (const Case& c : cases) {
    RunResult r = RunProgram(dir, c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    EXPECT_EQ(Files(dir), before) << c.args;
  }
  RunResult r = RunProgram(dir, run + d + "plays.txt'");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(
      r.err.find("plays.txt:2: cannot write '" + dir + "/c.wav': it is the file the script reads"),
      std::string::npos)
      << r.err;
  r = RunProgram(dir, run + d + "self.txt'");
  EXPECT_NE(r.err.find("self.txt:2: cannot write '" + dir +
                       "/self.txt': it is the file read by --script"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(ReadFile(dir + "/self.txt"), self);
  EXPECT_EQ(ReadFile(dir + "/plays.txt"), plays);
  EXPECT_EQ(Files(dir), before);
  for (const char* made : {"/d.json", "/new.csv", "/shot.png"})
    EXPECT_NE(access((dir + made).c_str(), F_OK), 0) << made << " was created";
}

TEST(Refusal, EachRefusalNamesItsFault) {
  const std::string dir = TempDir();
  const std::string d = "'" + dir + "/";
  WriteFile(dir + "/good.wav", Wav(44100, 1, 4410));
  WriteFile(dir + "/zero.wav", Wav(0, 1, 4410));
  WriteFile(dir + "/huge.wav", Wav(4000000000u, 1, 4410));
  WriteFile(dir + "/none.wav", Wav(44100, 0, 4410));
  WriteFile(dir + "/s.txt", "wait 0.2\ndump " + dir + "/d.json\n");
  // An MP3 cut short, and one with a second, cut copy after it: the
  // decoder's own warnings are dropped with the one and named with the other.
  const std::string mp3 = ReadFile(SOURCE_DIR "/fuzz/seeds/sound_file/mp3_mono_32000.mp3");
  WriteFile(dir + "/cut.mp3", mp3.substr(0, 500));
  WriteFile(dir + "/long.mp3", mp3 + mp3.substr(0, 1000));
  const std::string run = "--headless --script " + d + "s.txt' ";
  struct Case {
    std::string args, env, message;
    int status = 2;
  } cases[] = {
      {run + "--signal-r=file:" + d + "zero.wav'", "", "zero.wav': frame rate 0 Hz"},
      {run + "--signal-r=file:" + d + "huge.wav'", "", "huge.wav': frame rate 4000000000 Hz"},
      {run + "--signal-l=file:" + d + "none.wav'", "", "none.wav': 0 channels"},
      {run + "--signal-r=file:" + d + "good.wav':-1", "", "bad channel '-1'"},
      {run + "--signal-r=file:" + d + "good.wav':x", "", "bad channel 'x'"},
      {run + "--signal-r=file:/dev/zero", "", "not a file or a pipe"},
      {run + "--signal-r=file:" + d + "cut.mp3'", "", "cut.mp3': cannot be decoded"},
      {run + "--signal-r=file:" + d + "long.mp3'", "", "long.mp3': decoder: Warning: Xing", 0},
      {"--headless --script=/dev/null", "", "cannot read script '/dev/null': a device"},
      {"--headless --script", "", "--script needs a value: --script=VALUE"},
      {"--busy-idle=1", "", "--busy-idle takes no value"},
      {"--signal-r sine:600",
       "DISPLAY=:97 WAYLAND_DISPLAY= QT_QPA_PLATFORM=", "display ':97' cannot be reached"},
      {"", "DISPLAY=:97 WAYLAND_DISPLAY=nowhere QT_QPA_PLATFORM=wayland",
       "Wayland display 'nowhere' cannot be reached"},
      // The space form of every option that takes a value.
      {run + "--signal-r sine:600 --signal-l file:" + d +
           "good.wav' --idle-quantum-ms 2 --card virtual",
       "", "", 0},
  };
  for (const Case& c : cases) {
    RunResult r = RunProgram(dir, c.args, c.env);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    EXPECT_EQ(r.err.find("libsndfile"), std::string::npos) << r.err;
    for (const char* unnamed : {"\nWarning", "\n[src/"})
      EXPECT_EQ(("\n" + r.err).find(unnamed), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace systemtest
