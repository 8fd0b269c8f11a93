// SPDX-License-Identifier: GPL-3.0-or-later
// A sweep on a card whose output plays a second behind what is written, as
// a real card's does: every point measured while the output runs on, and a
// sweep stopped, never fed stale frames, when the output breaks off.
#include "lab/response_sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <vector>

namespace {

constexpr std::int64_t kBlock = 11025;
constexpr std::int64_t kQueued = 44100;  // written ahead of what is recorded

// The card: the generator's setting takes effect at the next frame written;
// the inputs record the output (both alike) kLatency frames after it plays.
struct Bench {
  static constexpr std::int64_t kLatency = 300;
  std::int64_t recorded = 0;  // tap frames so far
  std::int64_t breaks = 0;
  std::map<std::int64_t, int> tone{{0, 100}};  // tap frame -> Hz from there
  lab::GeneratorSetting setting{100, 10000};

  std::int64_t Arrival() const { return recorded + kQueued + kLatency; }
  lab::SweepLink Link() {
    return {[this] { return setting; },
            [this](lab::GeneratorSetting g) {
              setting = g;
              tone[Arrival()] = g.frequency_hz;
            },
            [this] { return std::optional<std::int64_t>(Arrival()); }, [this] { return breaks; }};
  }
  // The next quarter second as the inputs hear it.
  std::vector<std::int16_t> Block() {
    std::vector<std::int16_t> stereo(2 * kBlock);
    for (std::int64_t n = 0; n < kBlock; ++n) {
      const std::int64_t at = recorded + n;
      const int hz = std::prev(tone.upper_bound(at))->second;
      const double v = 8000 * std::sin(2 * std::numbers::pi * hz * static_cast<double>(at) / 44100);
      stereo[2 * n] = stereo[2 * n + 1] = static_cast<std::int16_t>(std::lround(v));
    }
    return stereo;
  }
};

TEST(ResponseSweep, MeasuresEveryPointWhileTheOutputRunsAndStopsWhenItBreaks) {
  for (const bool broken : {false, true}) {
    Bench bench;
    lab::ResponseSweep sweep(bench.Link());
    lab::SweepSettings s;
    s.start_hz = 100;
    s.stop_hz = 2000;
    s.points = 8;
    ASSERT_EQ(sweep.Start(s, lab::Calibration{}, bench.recorded), "");
    for (int block = 0; block < 200 && sweep.Running(); ++block) {
      if (broken && block == 8) ++bench.breaks;
      const std::vector<std::int16_t> stereo = bench.Block();
      sweep.OnBlock(stereo, static_cast<std::uint64_t>(bench.recorded));
      bench.recorded += kBlock;
    }
    EXPECT_FALSE(sweep.Running());
    // The generator is back as it was either way.
    EXPECT_EQ(bench.setting.frequency_hz, 100);
    if (!broken) {
      EXPECT_EQ(sweep.Problem(), "");
      ASSERT_EQ(sweep.Points().size(), 8u);
    } else {
      EXPECT_NE(sweep.Problem().find("výstup karty se přerušil"), std::string::npos)
          << sweep.Problem();
      EXPECT_LT(sweep.Points().size(), 8u);
    }
    // The amplitude fitted at each point's own frequency is the whole tone:
    // a window holding the tone before would fit less.
    for (const analysis::ResponsePoint& p : sweep.Points())
      EXPECT_NEAR(p.ur_rms, 8000 * 1.1 / 32767 / std::sqrt(2), 1e-4) << p.frequency_hz;
  }
}

}  // namespace
