// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Amplitude spectrum of a block over FFTW3: the window and the plan are made
// once per block length and reused, the buffers once for the largest length.
#include <cstddef>
#include <memory>
#include <span>

namespace analysis {

enum class Window {
  kHann,            // narrow main lobe: finding peaks
  kBlackmanHarris,  // 4-term, -92 dB side lobes: small components beside large ones
  kFlatTop,         // amplitude within 0.01 dB anywhere between bins
};

// The window's cosine terms a0, a1, ... (w = a0 - a1 cos + a2 cos 2x - ...).
std::span<const double> WindowTerms(Window window);

// What a bin reads of a sine `offset_bins` away from it, relative to the
// sine's amplitude (1 at 0), for an n-frame block: the window's own transform.
double WindowResponse(Window window, std::size_t n, double offset_bins);

// The equivalent noise bandwidth in bins: how many bins' worth of noise one
// bin of the amplitude spectrum collects.
double WindowNoiseBins(Window window);

// Half the width of the main lobe in bins: a sine's energy lies within it.
int WindowLobeBins(Window window);

class Spectrum {
 public:
  Spectrum(std::size_t max_frames, Window window);
  ~Spectrum();
  Spectrum(const Spectrum&) = delete;
  Spectrum& operator=(const Spectrum&) = delete;

  // Peak amplitude of a sine at each bin k = 0 .. n/2 (frequency
  // k * sample_rate / n), in the unit of x, of x minus offset; bin 0 holds
  // the mean. Valid until the next call. Throws std::invalid_argument for an
  // empty block or one longer than max_frames.
  std::span<const double> Amplitudes(std::span<const double> x, double offset = 0);

  std::size_t max_frames() const { return max_frames_; }
  Window window() const { return window_; }

 private:
  struct Plan;
  void Prepare(std::size_t n);

  std::size_t max_frames_;
  Window window_;
  std::unique_ptr<Plan> plan_;
};

}  // namespace analysis
