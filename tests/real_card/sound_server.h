// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private PulseAudio for the tests of the real-card path (started with
// scripts/pulse-loopback), the processes that play into its input and record
// its output, and what a test reads of a running program.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "system/program_run.h"

extern char** environ;

namespace realcard {

using systemtest::ReadFile;

inline int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// A process started in the background, ended (and reaped) when it goes.
class Background {
 public:
  Background() = default;
  // Runs `command` through the shell, which execs it: pid() is the command's.
  explicit Background(const std::string& command) {
    const std::string exec = "exec " + command;
    const char* argv[] = {"/bin/sh", "-c", exec.c_str(), nullptr};
    if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
      pid_ = -1;
  }
  ~Background() { Stop(); }
  Background(Background&& o) noexcept : pid_(std::exchange(o.pid_, -1)) {}
  Background& operator=(Background&& o) noexcept {
    Stop();
    pid_ = std::exchange(o.pid_, -1);
    return *this;
  }
  pid_t pid() const { return pid_; }
  // Waits for it to end by itself; its exit status, -1 if it had to be
  // killed or ended by a signal (which goes to `signal`, if given).
  int Wait(std::chrono::seconds limit, int* signal = nullptr) {
    if (pid_ <= 0) return -1;
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        Stop();
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    if (signal) *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A number from /proc/PID/status ("VmRSS", "Threads"); -1 if unreadable.
inline long ProcStatus(pid_t pid, const std::string& key) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(f, line))
    if (line.compare(0, key.size() + 1, key + ":") == 0) return std::atol(line.c_str() + key.size() + 1);
  return -1;
}

// 16-bit stereo WAV of `seconds` at 44100 Hz: frame i is {left(i), right(i)}.
inline void WriteStereoWav(const std::string& path, double seconds,
                           const std::function<double(int)>& left,
                           const std::function<double(int)>& right) {
  const std::uint32_t frames = static_cast<std::uint32_t>(seconds * 44100);
  std::vector<std::int16_t> pcm;
  pcm.reserve(frames * 2);
  for (std::uint32_t i = 0; i < frames; ++i) {
    pcm.push_back(static_cast<std::int16_t>(std::lround(left(static_cast<int>(i)))));
    pcm.push_back(static_cast<std::int16_t>(std::lround(right(static_cast<int>(i)))));
  }
  auto u32 = [](std::string& s, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) s.push_back(static_cast<char>(v >> (8 * k)));
  };
  auto u16 = [](std::string& s, std::uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
  };
  const std::uint32_t bytes = frames * 4;
  std::string h = "RIFF";
  u32(h, 36 + bytes);
  h += "WAVEfmt ";
  u32(h, 16);
  u16(h, 1);
  u16(h, 2);
  u32(h, 44100);
  u32(h, 44100 * 4);
  u16(h, 4);
  u16(h, 16);
  h += "data";
  u32(h, bytes);
  std::ofstream f(path, std::ios::binary);
  f.write(h.data(), static_cast<std::streamsize>(h.size()));
  f.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(bytes));
}

inline std::vector<std::int16_t> ReadRawMono(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<std::int16_t> out(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  return out;
}

// Where a recorded sine of `hz` breaks: x[n-1] + x[n+1] = 2 cos(w) x[n] holds
// for every three samples of one unbroken sine, to the rounding of the
// samples; a gap, a jump of phase or a change of amplitude breaks it.
inline std::vector<std::size_t> SineBreaks(const std::vector<std::int16_t>& x, std::size_t from,
                                           double hz, double tolerance) {
  std::vector<std::size_t> breaks;
  const double c = 2 * std::cos(2 * M_PI * hz / 44100);
  for (std::size_t n = std::max<std::size_t>(from, 1); n + 1 < x.size(); ++n)
    if (std::fabs(x[n - 1] + x[n + 1] - c * x[n]) > tolerance) breaks.push_back(n);
  return breaks;
}

inline std::size_t FirstNonZero(const std::vector<std::int16_t>& x) {
  for (std::size_t i = 0; i < x.size(); ++i)
    if (x[i] != 0) return i;
  return x.size();
}

// The private server: scripts/pulse-loopback (or pipewire-loopback) in a
// folder of its own, with the variables that lead this process and its
// children to it.
class SoundServer {
 public:
  enum class Kind { PulseAudio, PipeWire };
  SoundServer(std::string dir, int rate, Kind kind = Kind::PulseAudio)
      : dir_(std::move(dir)), rate_(rate), kind_(kind) {}
  // The ALSA device of the instrument on this server.
  std::string Device() const { return kind_ == Kind::PulseAudio ? "osc" : "pwosc"; }
  ~SoundServer() { Stop(); }

  // Empty when it runs; otherwise why not.
  std::string Start() {
    const int rc = Shell(Script() + " start '" + dir_ + "' " + std::to_string(rate_) + " 2>'" +
                         dir_ + "/start.err'");
    const std::string name = kind_ == Kind::PulseAudio ? "PulseAudio" : "PipeWire";
    if (rc == 3) return name + " is not installed (scripts/setup installs it)";
    if (rc != 0) return "the private " + name + " did not start: " + ReadFile(dir_ + "/start.err");
    // The variables, into this process (the children inherit them).
    FILE* p = popen((Script() + " env '" + dir_ + "'").c_str(), "r");
    char line[1024];
    while (p && std::fgets(line, sizeof line, p)) {
      std::string s(line);
      const auto eq = s.find('=');
      if (s.rfind("export ", 0) != 0 || eq == std::string::npos) continue;
      std::string name = s.substr(7, eq - 7), value = s.substr(eq + 1);
      while (!value.empty() && (value.back() == '\n' || value.back() == '\'')) value.pop_back();
      if (!value.empty() && value.front() == '\'') value.erase(0, 1);
      setenv(name.c_str(), value.c_str(), 1);
    }
    if (p) pclose(p);
    running_ = true;
    return {};
  }
  void Stop() {
    if (running_) Shell(Script() + " stop '" + dir_ + "' >/dev/null 2>&1");
    running_ = false;
  }
  // As a crash would end it (SIGKILL), or as a hang would stop it (SIGSTOP,
  // SIGCONT).
  void Signal(int sig) {
    const std::string pid = ReadFile(dir_ + "/runtime/pulse/pid");
    if (!pid.empty()) kill(std::atoi(pid.c_str()), sig);
  }
  void Kill() { Signal(SIGKILL); }
  // The sink's volume in percent of its left channel, as pactl shows it.
  int SinkVolume(const std::string& sink) {
    FILE* p = popen(("pactl get-sink-volume " + sink + " 2>/dev/null").c_str(), "r");
    char buf[512] = {};
    const std::size_t n = p ? std::fread(buf, 1, sizeof buf - 1, p) : 0;
    if (p) pclose(p);
    const std::string s(buf, n);
    const auto slash = s.find('/');
    return slash == std::string::npos ? -1 : std::atoi(s.c_str() + slash + 1);
  }
  bool SetSinkVolume(const std::string& sink, int percent) {
    return Shell("pactl set-sink-volume " + sink + " " + std::to_string(percent) + "%") == 0;
  }
  // Plays a WAV file into the card's input.
  Background PlayIntoInput(const std::string& wav) {
    if (kind_ == Kind::PipeWire) return Background("pw-play --target inB '" + wav + "' 2>/dev/null");
    return Background("paplay --device=inB '" + wav + "' 2>/dev/null");
  }
  // PipeWire: the card's output linked to its input, or the links taken
  // away again; false if pw-link could not.
  bool LoopOutputToInput(bool on) {
    bool ok = true;
    for (const char* ch : {"FL", "FR"})
      ok = Shell(std::string("pw-link ") + (on ? "" : "-d ") + "outA:monitor_" + ch +
                 " inB:playback_" + ch + " >/dev/null 2>&1") == 0 && ok;
    return ok;
  }
  // Records the card's output: 16-bit mono at 44100 Hz.
  Background RecordOutput(const std::string& raw) {
    return Background("parec --device=outA.monitor --format=s16le --channels=1 --rate=44100 "
                      "--raw > '" + raw + "' 2>/dev/null");
  }

 private:
  std::string Script() const {
    return std::string(SOURCE_DIR) +
           (kind_ == Kind::PulseAudio ? "/scripts/pulse-loopback" : "/scripts/pipewire-loopback");
  }
  std::string dir_;
  int rate_;
  Kind kind_;
  bool running_ = false;
};

// Tests of the real-card path may be skipped where no server can run, but
// not where the test command asks for them (as CI's does).
inline bool ServerRequired() {
  const char* v = std::getenv("OSCILOSKOP_REQUIRE_SOUND_SERVER");
  return v && *v && std::string(v) != "0";
}

}  // namespace realcard
