// SPDX-License-Identifier: GPL-3.0-or-later
// What a user keeps of a measurement: the picture, the data the screen shows
// and a recording of the input, from scripts and from the window's own menu
// and keys on a display; a file that cannot be written is named.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/private_display.h"
#include "system/json_read.h"
#include "system/on_display.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

// The frames of a 16-bit stereo WAV with the plain 44-byte header.
std::vector<std::int16_t> WavSamples(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<std::int16_t> s(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
  if (!s.empty()) std::memcpy(s.data(), bytes.data() + 44, s.size() * 2);
  return s;
}

struct Csv {
  std::vector<std::string> header;
  std::vector<std::int16_t> samples;  // R, L of each row
  std::vector<double> ms;
};
Csv ReadCsv(const std::string& path) {
  Csv csv;
  std::istringstream in(ReadFile(path));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("# ", 0) == 0) {
      csv.header.push_back(line.substr(2));
      continue;
    }
    double ms = 0;
    int r = 0, l = 0;
    if (std::sscanf(line.c_str(), "%lf,%d,%d", &ms, &r, &l) != 3) continue;
    csv.ms.push_back(ms);
    csv.samples.push_back(static_cast<std::int16_t>(r));
    csv.samples.push_back(static_cast<std::int16_t>(l));
  }
  return csv;
}

// Where the rows lie in the recording (frames), or -1.
long FoundAt(const Csv& csv, const std::vector<std::int16_t>& wav) {
  for (std::size_t f = 0; 2 * f + csv.samples.size() <= wav.size(); ++f)
    if (std::equal(csv.samples.begin(), csv.samples.end(), wav.begin() + 2 * f))
      return static_cast<long>(f);
  return -1;
}

std::string Text(const jsonread::Value& d, const char* control) {
  std::string t = d["controls"][control]["text"].Str();
  return t.substr(t.find_first_not_of(' '));
}

TEST(Keep, PictureAndDataAreWhatTheScreenShowsAlsoAfterASingleShot) {
  const std::string dir = TempDir();
  const RunResult r = RunScript(
      dir,
      "wait 2.3\nscreenshot " + dir + "/shot.png\nsave-picture " + dir + "/saved.png\nsave-data " +
          dir + "/periodic.csv\ndump " + dir + "/periodic.json\nclick RadioButton2\nwait 2.4\n"
          "save-data " + dir + "/shot.csv\ndump " + dir + "/later.json\n",
      "--signal-r=sine:601.3:16000 --signal-l=square:299.7:9000 --record-input='" + dir +
          "/all.wav'");
  ASSERT_EQ(r.status, 0) << r.err;
  const QImage shot(QString::fromStdString(dir + "/shot.png"));
  EXPECT_FALSE(shot.isNull());
  EXPECT_TRUE(shot == QImage(QString::fromStdString(dir + "/saved.png")));

  const std::vector<std::int16_t> all = WavSamples(dir + "/all.wav");
  const Csv periodic = ReadCsv(dir + "/periodic.csv"), single = ReadCsv(dir + "/shot.csv");
  // The quarter second of the run that began at 2 s, frame for frame, in ms.
  ASSERT_EQ(periodic.ms.size(), 11025u);
  EXPECT_EQ(FoundAt(periodic, all), 2 * 44100);
  EXPECT_NEAR(periodic.ms.back(), 11024 * 1000.0 / 44100, 1e-4);
  // The single shot's picture stays, and so do its data, while new runs come.
  EXPECT_EQ(single.samples, periodic.samples);
  const jsonread::Value later = jsonread::ParseFile(dir + "/later.json");
  EXPECT_NE(later["state"]["CaptureBuffer"]["head"][0].Int(), periodic.samples[0]);

  const jsonread::Value d = jsonread::ParseFile(dir + "/periodic.json");
  const std::vector<std::string> expected = {
      "napětí UR amplituda: " + Text(d, "Edit1"), "napětí UR frekvence: " + Text(d, "Edit8"),
      "proud IL amplituda: " + Text(d, "Edit4"), "proud IL frekvence: " + Text(d, "Edit12"),
      "časová osa: " + Text(d, "ComboBox1")};
  for (const std::string& line : expected)
    EXPECT_NE(std::find(periodic.header.begin(), periodic.header.end(), line), periodic.header.end())
        << line;
}

TEST(Keep, ARecordingStartedAndStoppedReplaysToTheSameReadoutsAndBadFilesAreNamed) {
  const std::string dir = TempDir();
  RunResult r = RunScript(dir,
                          "wait 1.5\nrecord-input " + dir + "/rec.wav\nwait 3\nrecord-input off\n"
                          "dump " + dir + "/live.json\n",
                          "--signal-r=sine:600:16000 --signal-l=square:300:9000");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NEAR(WavSamples(dir + "/rec.wav").size() / 2.0, 3 * 44100, 44.1);
  r = RunScript(dir, "wait 2.5\ndump " + dir + "/replay.json\n",
                "--signal-r=file:'" + dir + "/rec.wav':0 --signal-l=file:'" + dir + "/rec.wav':1");
  ASSERT_EQ(r.status, 0) << r.err;
  const jsonread::Value live = jsonread::ParseFile(dir + "/live.json");
  const jsonread::Value replay = jsonread::ParseFile(dir + "/replay.json");
  for (const char* readout : {"Edit8", "Edit12", "Edit1", "Edit4"})
    EXPECT_EQ(Text(replay, readout), Text(live, readout)) << readout;

  for (const char* line : {"save-picture /nonexistent/x.png", "save-data /nonexistent/x.csv",
                           "record-input /nonexistent/x.wav"}) {
    r = RunScript(dir, std::string("record-input ") + dir + "/ok.wav\n" + line + "\n");
    EXPECT_EQ(r.status, 2) << line;
    EXPECT_NE(r.err.find(":2: cannot write '/nonexistent/x."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;
  }
}

// The names of the windows shown, for a failure's message.
std::string Windows(const std::string& display) {
  std::string names;
  OnDisplay(display, "for w in $(xdotool search --onlyvisible --name .); do xdotool getwindowname $w; done",
     &names);
  return names;
}

// In the window, with the X server's keys and clicks: the menu on a right
// click, a recording started and stopped from it, Ctrl+S, and a message
// box for a file that cannot be written (in /sys, even for root) while the
// recording goes on.
TEST(Keep, TheWindowsMenuAndKeysKeepItAndTellWhatCannotBeWritten) {
  testsupport::PrivateDisplay display;
  OSCILOSKOP_NEED_DISPLAY(display);
  const std::string dir = TempDir();
  std::string script = "wait 2\n";
  for (int i = 1; i <= 6; ++i) script += "dump " + dir + "/" + std::to_string(i) + ".json\nwait 4\n";
  WriteFile(dir + "/s.txt", script);
  RunResult window;
  std::thread program([&] {
    window = RunProgram(dir, "--script='" + dir + "/s.txt' --signal-r=sine:600:16000",
                        "QT_QPA_PLATFORM=xcb DISPLAY=" + display.Name());
  });
  // A search of the window tree fails when a pop-up goes in the middle of
  // it (a dialog's completer), so searches are tried again; the main window
  // is found once.
  auto find = [&](const std::string& name) {
    std::string id;
    OnDisplay(display.Name(), "for i in $(seq 100); do xdotool search --onlyvisible --name '" + name +
                           "' && exit 0; sleep 0.2; done; exit 1",
       &id);
    return id.substr(0, id.find('\n'));
  };
  AwaitDump(dir + "/1.json");
  const std::string main = find("^osciloskop JEN");
  const std::string focus = "xdotool windowfocus --sync " + main + " && ";
  // A dialog's file name is typed over the one it offers.
  const std::string chosen = " && sleep 1.5 && xdotool type --delay 30 ";
  const std::string save = focus + "xdotool keydown ctrl key s keyup ctrl" + chosen;
  const std::string menu_entry = focus + "xdotool mousemove --window " + main +
                                 " 400 300 click 3 && sleep 0.5 && xdotool key Down Down Down Down";
  OnDisplay(display.Name(), focus + "xdotool mousemove --window " + main + " 400 300 click 3");
  const jsonread::Value menu = AwaitDump(dir + "/2.json");
  EXPECT_EQ(menu["contextMenu"].size(), 5u);
  if (menu["contextMenu"].size() == 5) {
    EXPECT_EQ(menu["contextMenu"][3].Str(), "Nahrávat vstup…");
    EXPECT_EQ(menu["contextMenu"][4].Str(), "Měření…");
  }
  OnDisplay(display.Name(), "xdotool key Escape && " + menu_entry + " Return" + chosen + "'" + dir +
                         "/menu.wav' && xdotool key Return");
  const long at3 = AwaitDump(dir + "/3.json")["card"]["framesRecorded"].Int();
  OnDisplay(display.Name(), save + "/sys/osciloskop.png && xdotool key Return");
  const jsonread::Value at4 = AwaitDump(dir + "/4.json");
  EXPECT_FALSE(find("^osciloskop$").empty()) << "no message box among\n" << Windows(display.Name());
  EXPECT_GT(at4["card"]["framesRecorded"].Int(), at3 + 44100) << "the recording went on";
  OnDisplay(display.Name(), "xdotool key Return && sleep 0.5 && " + menu_entry + " Return");
  const long at5 = AwaitDump(dir + "/5.json")["card"]["framesRecorded"].Int();
  OnDisplay(display.Name(), save + "'" + dir + "/shown.png' && xdotool key Return");
  const jsonread::Value at6 = AwaitDump(dir + "/6.json");
  program.join();
  ASSERT_EQ(window.status, 0) << window.err;
  EXPECT_EQ(at6["card"]["framesRecorded"].Int(), at5) << "stopped from the menu";
  EXPECT_NEAR(WavSamples(dir + "/menu.wav").size() / 2.0, at5, 1.0);
  const QImage shown(QString::fromStdString(dir + "/shown.png"));
  EXPECT_EQ(shown.width(), at6["client"]["width"].Int());
  EXPECT_EQ(shown.height(), at6["client"]["height"].Int());
}

}  // namespace
}  // namespace systemtest
