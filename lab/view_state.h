// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the views show, kept whether the window is open or not: the latest
// blocks for XY, the triggered waveform and its cursors, both channels'
// averaged spectra and their peak, harmonics and distortion. Scripts set it,
// the dump reads it, the view widgets only draw it.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/fourier.h"
#include "analysis/fourier_average.h"
#include "analysis/fourier_peak.h"
#include "lab/block.h"

namespace platform {
class JsonWriter;
}

namespace lab {

enum class View { kReadouts, kXy, kSpectrum, kWaveform };

struct ChannelSpectrum {
  std::vector<double> amplitudes;  // averaged, peak, per bin
  std::optional<analysis::SpectrumDistortion> distortion;
  double reference = 1;  // 0 dB
  std::string unit = "dBFS";
  double Db(double amplitude) const;
};

struct Cursors {
  double t1 = 0.5e-3, t2 = 1.5e-3;  // s after the trigger
  double v1 = 0.1, v2 = -0.1;       // V on the UR axis
};

class ViewState {
 public:
  static constexpr int kXyBlocks = 4;  // the current one and three fading

  explicit ViewState(std::size_t max_frames);
  ~ViewState();

  void Take(const Block& block);

  // Scripts: view, spectrum-window, spectrum-average, cursor.
  static bool Handles(const std::vector<std::string>& words);
  static std::string Check(const std::vector<std::string>& words);
  std::string Run(const std::vector<std::string>& words);
  void Dump(platform::JsonWriter& w) const;

  // The data of a view as CSV; empty for the readouts.
  std::string Csv(View view) const;

  View view = View::kReadouts;
  bool xy_persistence = false;  // the three blocks before, fading
  bool xy_fixed_scale = false;
  bool spectrum_log_frequency = true;
  bool waveform_triggered = true;
  Cursors cursors;

  void SetWindow(analysis::Window window);
  analysis::Window Window() const { return window_; }
  void SetAverage(int count);
  int Average() const { return average_; }

  double SampleRate() const { return sample_rate_; }
  std::size_t Frames() const { return frames_; }
  // XY: the latest block first, then older ones; each UR then IL.
  int XyCount() const { return xy_count_; }
  std::span<const double> XyUr(int age) const;
  std::span<const double> XyIl(int age) const;
  // Waveform: the samples from the trigger on, and how long to show.
  std::span<const double> WaveUr() const;
  std::span<const double> WaveIl() const;
  double WaveSpan() const { return wave_span_s_; }
  // A channel's value at a time after the trigger, between samples.
  std::optional<double> WaveAt(bool il, double t) const;
  const ChannelSpectrum& SpectrumOf(bool il) const { return il ? il_spectrum_ : ur_spectrum_; }
  bool HasData() const { return frames_ > 0; }
  // Counts the blocks taken: what a view drew last is still valid.
  std::uint64_t Serial() const { return serial_; }

 private:
  void Recompute();

  std::size_t max_frames_;
  std::size_t frames_ = 0;
  std::uint64_t serial_ = 0;
  double sample_rate_ = 44100;
  std::array<std::vector<double>, kXyBlocks> xy_ur_, xy_il_;
  int xy_next_ = 0, xy_count_ = 0;
  std::size_t trigger_ = 0;
  double wave_span_s_ = 0.02;
  analysis::Window window_ = analysis::Window::kBlackmanHarris;
  int average_ = 1;
  std::unique_ptr<analysis::Spectrum> spectrum_;
  analysis::SpectrumAverage ur_average_, il_average_;
  ChannelSpectrum ur_spectrum_, il_spectrum_;
};

const char* ViewName(View view);
const char* WindowName(analysis::Window window);

}  // namespace lab
