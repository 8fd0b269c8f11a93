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
