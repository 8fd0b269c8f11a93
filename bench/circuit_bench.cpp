// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual bench's cost: CPU time to simulate one second of audio
// (44100 frames, both inputs) for a resistor, an RC low pass, a series RLC
// and a diode, driven by a 1 kHz sine. One iteration is one second of
// audio, so its time is the CPU share the bench takes while it runs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

#include "platform/card/virtual/circuit_input.h"
#include "platform/card/virtual/circuit_parser.h"

namespace {

void SimulateOneSecond(benchmark::State& state, const char* text) {
  platform::CircuitDescription description;
  if (!platform::ParseCircuit(text, description).empty()) {
    state.SkipWithError("bad circuit");
    return;
  }
  platform::OutputHistory history;
  history.Restart(44100);
  for (std::int64_t n = 0; n < 44100; ++n) {
    const double v = 32000 * std::sin(2 * std::numbers::pi * 1000 * n / 44100.0);
    history.Put(n, static_cast<std::int16_t>(std::lround(v)), 0);
  }
  for (auto _ : state) {
    platform::CircuitInput circuit(description);
    for (std::int64_t n = 0; n < 44100; ++n) {
      benchmark::DoNotOptimize(circuit.Sample(history, n, 0));
      benchmark::DoNotOptimize(circuit.Sample(history, n, 1));
    }
  }
}

BENCHMARK_CAPTURE(SimulateOneSecond, R, "dut=R1k")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SimulateOneSecond, RC, "top=R1k,bottom=C100n")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SimulateOneSecond, RLC, "dut=R10+L10m+C1u")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SimulateOneSecond, D, "dut=D")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SimulateOneSecond, RC_skew_noise, "top=R1k,bottom=C100n,skew=20u,noise=-60")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
