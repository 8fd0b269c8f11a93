// SPDX-License-Identifier: GPL-3.0-or-later
// Script text run by the headless runner on a fresh instrument: either a
// valid run (status 0) or status 2 with exactly one line on stderr,
// "FILE:LINE: message", LINE a line of the script and the message printable
// text. Afterwards the instrument's own windows and wave memory are gone.
//
// Kept out of the corpus (so the run stays fast and harmless): more than 40
// lines, more than 3 s of `wait` in all, a client area above 2000 x 1500,
// and file names with a '/' (files are written in a folder of the fuzzer's
// own, fuzz::WorkFolder). Idle steps cost 100 ms of virtual time here instead of 1 ms
// (the measurement behind each is the capture fuzzer's subject).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/base/messages.h"
#include "platform/base/printable.h"
#include "platform/headless/headless.h"
#include "platform/mm/memory.h"
#include "tests/support/captured_stderr.h"

namespace {

std::vector<std::vector<std::string>> Lines(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    lines.push_back(std::move(w));
  }
  return lines;
}

bool Harmless(const std::string& text) {
  const auto lines = Lines(text);
  if (lines.size() > 40) return false;
  double waited = 0;
  for (const auto& w : lines) {
    if (w.empty()) continue;
    for (const std::string& word : w)
      if (word.find('/') != std::string::npos) return false;
    if (w[0] == "wait" && w.size() == 2) {
      char* end = nullptr;
      const double s = std::strtod(w[1].c_str(), &end);
      if (s > 0) waited += s;
      if (!(waited <= 3.0)) return false;
    }
    if (w[0] == "resize" && w.size() == 3) {
      const long width = std::atol(w[1].c_str()), height = std::atol(w[2].c_str());
      if (width > 2000 || height > 1500) return false;
    }
  }
  return true;
}

using testsupport::CapturedStderr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitQt();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!Harmless(text)) return -1;
  // The script and every file it writes stay in the fuzzer's own folder.
  const std::string here = std::filesystem::current_path();
  std::filesystem::current_path(fuzz::WorkFolder());
  std::ofstream("fuzz.txt", std::ios::binary | std::ios::trunc) << text;
  const int windows = platform::LiveWindowCount();
  int status = 0;
  std::string err;
  {
    fuzz::Instrument instrument(100);
    CapturedStderr capture;
    status = platform::RunScript(instrument.App(), "fuzz.txt");
    err = capture.Take();
    osciloskop::TForm1& f = instrument.Form();
    fuzz::Expect(f.SampleCount >= 0 && f.SampleCount <= osciloskop::kSampleArraySize,
                 "SampleCount " + std::to_string(f.SampleCount));
  }
  std::filesystem::current_path(here);
  fuzz::Expect(platform::LiveWindowCount() == windows, "windows left behind");
  fuzz::Expect(platform::LiveGlobalBlocks() == 0, "wave memory left behind");
  if (status == 0) {
    fuzz::Expect(err.empty(), "a valid run wrote to stderr: " + platform::PrintableText(err));
    return 0;
  }
  fuzz::Expect(status == 2, "exit status " + std::to_string(status));
  const std::size_t lines = Lines(text).size();
  fuzz::Expect(!err.empty() && err.back() == '\n' && err.find('\n') == err.size() - 1,
               "not one line on stderr: " + platform::PrintableText(err));
  fuzz::Expect(err.rfind("fuzz.txt:", 0) == 0, "no FILE: " + err);
  std::size_t at = 9;
  long line = 0;
  while (at < err.size() && err[at] >= '0' && err[at] <= '9') line = line * 10 + (err[at++] - '0');
  fuzz::Expect(at > 9 && line >= 1 && static_cast<std::size_t>(line) <= lines, "no LINE: " + err);
  fuzz::Expect(err.compare(at, 2, ": ") == 0 && err.size() > at + 3, "no message: " + err);
  fuzz::Expect(platform::IsValidUtf8(err) && platform::PrintableText(err.substr(0, err.size() - 1)) ==
                                                 err.substr(0, err.size() - 1),
               "message is not printable text: " + platform::PrintableText(err));
  return 0;
}
