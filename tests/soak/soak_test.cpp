// SPDX-License-Identifier: GPL-3.0-or-later
// The soak: the built program headless on the virtual card for hours of
// virtual time, the generator looped back into the input and the output
// captured to WAV. Resident memory stays flat, the windows stay as many as
// after start-up, every input run delivers its four buffers, and the output
// is one continuous sine: the samples at every buffer boundary are the
// generator's samples of their own index, so there is no phase jump (the
// index passes 2^31 at 13.5 hours).
//
// CI runs one hour. OSCILOSKOP_SOAK_HOURS=24 runs the day-long soak (7.6 GB
// of WAV in /tmp); it prints its figures. Idle steps that would only repeat
// the last one cost no virtual time, so the default quantum of 1 ms is kept.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/base/sanitized.h"
#include "system/json_read.h"
#include "system/program_run.h"

namespace systemtest {
namespace {

constexpr int kQuantumMs = 1;
constexpr int kCheckpointSeconds = 600;

long RssKiB(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(f, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// The generator at start-up: 100 Hz, peak 3276, sample n of the output.
std::int16_t Expected(std::int64_t n) {
  const long double t = static_cast<long double>(n) / 44100;
  const long double value = std::sin(t * 3.14159L * 2 * 100) * 3276;
  return static_cast<std::int16_t>(static_cast<std::int64_t>(std::nearbyint(value)) & 0xFFFF);
}

TEST(Soak, MemoryWindowsRunsAndPhaseStayAsTheyWere) {
  const char* hours_env = std::getenv("OSCILOSKOP_SOAK_HOURS");
  const int hours = hours_env ? std::atoi(hours_env) : 1;
  ASSERT_GT(hours, 0);
  const int checkpoints = hours * 3600 / kCheckpointSeconds;
  const std::string dir = TempDir();
  std::string script = "dump " + dir + "/c0.json\n";
  for (int c = 1; c <= checkpoints; ++c)
    script += "wait " + std::to_string(kCheckpointSeconds) + "\ndump " + dir + "/c" + std::to_string(c) + ".json\n";
  // Time for the last reading of the resident memory before the close.
  script += "wait 60\nclose\n";
  WriteFile(dir + "/soak.txt", script);

  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> args = {OSCILOSKOP_EXE, "--headless", "--script=" + dir + "/soak.txt",
                                   "--idle-quantum-ms=" + std::to_string(kQuantumMs),
                                   "--signal-r=generator", "--output-wav=" + dir + "/out.wav"};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t io;
  posix_spawn_file_actions_init(&io);
  posix_spawn_file_actions_addopen(&io, 2, (dir + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &io, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&io);
  // The resident memory as each checkpoint's dump appears.
  std::vector<long> rss;
  int status = 0;
  for (;;) {
    if (static_cast<int>(rss.size()) <= checkpoints && Exists(dir + "/c" + std::to_string(rss.size()) + ".json"))
      rss.push_back(RssKiB(pid));
    if (waitpid(pid, &status, WNOHANG) == pid) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(dir + "/err.txt");
  ASSERT_EQ(static_cast<int>(rss.size()), checkpoints + 1);
  for (long kib : rss) ASSERT_GT(kib, 0) << "resident memory not read";

  std::printf("soak: %d h virtual in %.0f s wall, --idle-quantum-ms=%d\n", hours, wall, kQuantumMs);
  const jsonread::Value first = jsonread::ParseFile(dir + "/c0.json");
  long long windows = -1;
  for (int c = 0; c <= checkpoints; ++c) {
    const jsonread::Value d = jsonread::ParseFile(dir + "/c" + std::to_string(c) + ".json");
    const long long runs = d["card"]["inputRunsStarted"].Int();
    const long long buffers = d["card"]["inputBuffersRecorded"].Int();
    const long long queued = d["streams"]["AudioIn1"]["QueuedCount"].Int();
    const long long played = d["card"]["outputFramesPlayed"].Int();
    if (c == 1) windows = d["windows"].Int();  // after the first run the count is settled
    if (c % 6 == 0 || c == checkpoints)
      std::printf("soak: %5.1f h  RSS %ld KiB  windows %lld  runs %lld  buffers %lld  frames %lld\n",
                  c * kCheckpointSeconds / 3600.0, rss[static_cast<std::size_t>(c)], d["windows"].Int(), runs,
                  buffers, played);
    if (c == 0) continue;
    EXPECT_EQ(d["windows"].Int(), windows) << "checkpoint " << c;
    // Every run delivers its four buffers; the run in progress its first ones.
    EXPECT_EQ(buffers, 4 * runs - queued) << "checkpoint " << c;
    // A run lasts one second, and the next starts at the next idle step.
    const double t = c * kCheckpointSeconds;
    EXPECT_GE(runs, static_cast<long long>(t / (1.0 + kQuantumMs / 1000.0))) << "checkpoint " << c;
    EXPECT_NEAR(static_cast<double>(played), t * 44100, 4 * 11000) << "checkpoint " << c;
    // The loop rests between buffers: a few steps for each, not one a quantum.
    EXPECT_LT(d["idleSteps"].Int(), static_cast<long long>(20 * t)) << "checkpoint " << c;
    EXPECT_TRUE(d["streams"]["AudioOut1"]["DeviceOpen"].Bool()) << "checkpoint " << c;
    EXPECT_EQ(d["errors"].size(), 0u);
  }
  (void)first;
  // Flat: after the first ten minutes (caches filled) it does not grow. Not
  // in the sanitizer build, whose allocator keeps freed blocks in quarantine
  // by design (its leak checker watches the heap there).
#ifndef OSCILOSKOP_SANITIZED
  EXPECT_LE(rss.back(), rss[1] + 2048) << "resident memory grew from " << rss[1] << " to " << rss.back() << " KiB";
#endif

  // The output: every sample within 4 of a buffer boundary (11000 samples
  // each), where a lost, repeated or restarted buffer would show, and every
  // 97th sample between them.
  std::ifstream wav(dir + "/out.wav", std::ios::binary);
  ASSERT_TRUE(wav);
  wav.seekg(44);
  std::vector<std::int16_t> chunk(1 << 20);
  std::int64_t n = 0;
  int worst = 0;
  std::int64_t worst_at = -1, checked = 0;
  while (wav.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size() * 2)) ||
         wav.gcount() > 0) {
    const std::size_t got = static_cast<std::size_t>(wav.gcount()) / 2;
    for (std::size_t i = 0; i < got; ++i, ++n) {
      const std::int64_t within = n % 11000;
      if (within > 4 && within < 10996 && n % 97 != 0) continue;
      ++checked;
      const int off = std::abs(chunk[i] - Expected(n));
      if (off > worst) worst = off, worst_at = n;
    }
  }
  std::printf("soak: %lld output samples (%.2f h), %lld checked, largest difference from the sine %d\n",
              static_cast<long long>(n), n / 44100.0 / 3600, static_cast<long long>(checked), worst);
  EXPECT_GE(n, static_cast<std::int64_t>(hours) * 3600 * 44100);
  EXPECT_LE(worst, 1) << "a phase jump at sample " << worst_at;
  std::remove((dir + "/out.wav").c_str());
}

}  // namespace
}  // namespace systemtest
