// SPDX-License-Identifier: GPL-3.0-or-later
// One periodic idle step of the instrument, with a full buffer of 600 Hz on
// both channels at the standard client size, against a floor measured in the
// same run: copying one buffer's samples and filling the client image once.
// Also the generator's fill of one 11000-sample output buffer, against the
// floor of writing 11000 precomputed samples and the per-sample extended
// formula it must equal. Prints the medians and their ratios.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "medians.h"
#include "instrument/Form1.h"
#include "instrument/sine_samples.h"
#include "platform/base/platform_options.h"
#include "platform/base/timebase.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/headless/headless.h"
#include "platform/toolkit/application.h"
#include "platform/toolkit/fonts.h"

namespace {

using osciloskop::TForm1;

TForm1* g_form = nullptr;
platform::TApplication* g_app = nullptr;

void IdleStep(benchmark::State& state) {
  TForm1& f = *g_form;
  for (auto _ : state) {
    bool done = true;
    f.MyIdleEvent(nullptr, done);
    benchmark::DoNotOptimize(done);
  }
  state.counters["samples"] = f.SampleCount;
}

void Floor(benchmark::State& state) {
  TForm1& f = *g_form;
  static osciloskop::SampleArray scratch{};
  for (auto _ : state) {
    std::copy_n(f.CaptureBuffer.begin(), 22050, scratch.begin());
    benchmark::ClobberMemory();
    f.Canvas.FillAll(platform::clBlack);
    benchmark::DoNotOptimize(f.Canvas.PixelRGB(0, 0));
  }
}

constexpr std::int32_t kOutSamples = 11000;
unsigned char g_out[2 * kOutSamples];

void GeneratorFill(benchmark::State& state) {
  TForm1& f = *g_form;
  for (auto _ : state) {
    std::int32_t size = 2 * kOutSamples;
    benchmark::DoNotOptimize(f.AudioOut1FillBuffer(g_out, size));
    benchmark::ClobberMemory();
  }
}

void GeneratorFloor(benchmark::State& state) {
  static unsigned char samples[2 * kOutSamples];
  TForm1& f = *g_form;
  std::int32_t size = 2 * kOutSamples;
  f.AudioOut1FillBuffer(samples, size);
  for (auto _ : state) {
    std::copy_n(samples, 2 * kOutSamples, g_out);
    benchmark::ClobberMemory();
  }
}

// The fill as one extended-precision sin per sample.
void GeneratorExtended(benchmark::State& state) {
  TForm1& f = *g_form;
  for (auto _ : state) {
    for (std::int32_t k = 0; k < kOutSamples; ++k) {
      const std::int16_t s =
          osciloskop::ExtendedSineSample(k, 44100, f.GenFrequency, f.GenAmplitude);
      std::memcpy(g_out + 2 * k, &s, sizeof s);
    }
    benchmark::ClobberMemory();
  }
}

// Keeps the medians of the repetitions for the ratio.

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string runtime = "/tmp/osciloskop-bench-runtime-" + std::to_string(getuid());
  mkdir(runtime.c_str(), 0700);
  chmod(runtime.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  int qt_argc = 1;
  QApplication qt(qt_argc, argv);
  if (std::string e = platform::LoadUiFont(); !e.empty()) {
    std::fprintf(stderr, "%s\n", e.c_str());
    return 1;
  }

  // The instrument as a headless run has it: virtual clock and card.
  platform::UseVirtualClock(true);
  platform::ResetVirtualCard();
  platform::PlatformOptions options;
  options.headless = true;
  options.script = "(bench)";
  auto app = std::make_unique<platform::TApplication>(options);
  app->CreateForm(osciloskop::Form1);
  g_form = osciloskop::Form1;
  g_app = app.get();
  platform::TheVirtualCard().SetInputSource('r', "sine:600:16000");
  platform::TheVirtualCard().SetInputSource('l', "sine:600:16000");
  platform::RunFor(*app, 1.3);  // a buffer captured, ranges and sweep band in force
  if (g_form->SampleCount != 22050 || g_form->ClientWidth() != 792 ||
      g_form->ClientHeight() != 526) {
    std::fprintf(stderr, "unexpected set-up: %d samples, client %dx%d\n", g_form->SampleCount,
                 g_form->ClientWidth(), g_form->ClientHeight());
    return 1;
  }

  benchmark::RegisterBenchmark("IdleStep", IdleStep)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("Floor", Floor)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("GeneratorFill", GeneratorFill)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("GeneratorFloor", GeneratorFloor)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("GeneratorExtended", GeneratorExtended)
      ->Unit(benchmark::kMicrosecond);
  std::map<std::string, double> m = bench::RunForMedians(argc, argv, 15);
  if (m.count("IdleStep") && m.count("Floor") && m["Floor"] > 0)
    std::printf("idle step median %.1f us, floor median %.1f us, ratio %.2f (target: <= 2)\n",
                m["IdleStep"], m["Floor"], m["IdleStep"] / m["Floor"]);
  if (m.count("GeneratorFill") && m.count("GeneratorFloor") && m["GeneratorFloor"] > 0)
    std::printf(
        "generator fill median %.1f us (target: <= 250 us), floor %.2f us, ratio %.0f; "
        "extended per sample %.1f us\n",
        m["GeneratorFill"], m["GeneratorFloor"], m["GeneratorFill"] / m["GeneratorFloor"],
        m.count("GeneratorExtended") ? m["GeneratorExtended"] : 0.0);
  app.reset();
  platform::ResetVirtualCard();
  return 0;
}
