// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/response_sweep.h"

#include <algorithm>
#include <cmath>

namespace lab {

namespace {

constexpr double kRate = kSampleRateHz;
constexpr double kFullScaleCounts = 32767.0;

// After the new tone arrives: a circuit's transient dies out within a few of
// its time constants; 50 ms or five periods is ample for those of a school
// bench (Q = 10 at 1.6 kHz settles in 2 ms).
std::int64_t SettleFrames(int hz) { return std::llround(std::max(0.05, 5.0 / hz) * kRate); }

// Whole periods over at least 0.1 s and four periods: the fit then rejects
// harmonics and leaves noise at -50 dBFS a few hundredths of a dB.
std::int64_t MeasureFrames(int hz) {
  const double periods = std::ceil(std::max(0.1 * hz, 4.0));
  return std::llround(periods * kRate / hz);
}

}  // namespace

std::string ResponseSweep::Start(const SweepSettings& settings, const Calibration& calibration,
                                 std::int64_t now_frame) {
  if (running_) return "měření frekvenční charakteristiky už běží";
  if (!link_.arrival || !link_.arrival())
    return "karta neumí říci, kdy nastavený tón dorazí na vstupy: charakteristiku nelze měřit";
  settings_ = settings;
  calibration_ = calibration;
  frequencies_ = analysis::SweepFrequencies(settings.start_hz, settings.stop_hz, settings.points);
  points_.clear();
  windows_.clear();
  problem_.clear();
  measured_ = 0;
  next_ = 0;
  started_ = ended_ = now_frame;
  ++serial_;
  saved_ = link_.generator();
  running_ = true;
  Begin(0);
  return {};
}

void ResponseSweep::Begin(std::size_t index) {
  const int hz = frequencies_[index];
  GeneratorSetting g;
  g.frequency_hz = hz;
  g.amplitude =
      static_cast<int>(std::lround(settings_.peak_v / kNominalFullScaleV * kFullScaleCounts));
  link_.set_generator(g);
  next_ = index + 1;
  const std::optional<std::int64_t> arrival = link_.arrival();
  if (!arrival) return Stop("karta přestala udávat, kdy tón dorazí na vstupy");
  Window w{hz, *arrival + SettleFrames(hz), 0, Breaks(), {}, {}};
  w.to = w.from + MeasureFrames(hz);
  last_to_ = w.to;
  w.ur.reserve(static_cast<std::size_t>(w.to - w.from));
  w.il.reserve(w.ur.capacity());
  windows_.push_back(std::move(w));
}

void ResponseSweep::OnBlock(const std::vector<std::int16_t>& stereo, std::uint64_t first_frame) {
  if (!running_) return;
  const auto first = static_cast<std::int64_t>(first_frame);
  const auto end = first + static_cast<std::int64_t>(stereo.size() / 2);
  const double ur_v = calibration_.ur_full_scale_v / kFullScaleCounts;
  double il_unit = calibration_.il_full_scale_v / kFullScaleCounts;
  if (settings_.quantity == analysis::ResponseQuantity::kImpedance)
    il_unit /= calibration_.shunt_ohm;
  while (!windows_.empty()) {
    Window& w = windows_.front();
    const std::int64_t have = w.from + static_cast<std::int64_t>(w.ur.size());
    if (have < first)
      return Stop("vstup vynechal vzorky, bod " + std::to_string(w.frequency_hz) +
                  " Hz nelze změřit");
    for (std::int64_t n = have; n < std::min(end, w.to); ++n) {
      const auto k = static_cast<std::size_t>(2 * (n - first));
      w.ur.push_back(stereo[k] * ur_v);
      w.il.push_back(stereo[k + 1] * il_unit);
    }
    if (w.from + static_cast<std::int64_t>(w.ur.size()) < w.to) break;
    // A break moved the tone later than the card said: the frames may hold
    // the frequency before, or silence.
    if (Breaks() != w.breaks)
      return Stop("výstup karty se přerušil, bod " + std::to_string(w.frequency_hz) +
                  " Hz nelze změřit");
    Finish(w);
    windows_.erase(windows_.begin());
  }
  // The next frequency once the output holds all of this point's frames.
  const std::optional<std::int64_t> arrival = link_.arrival();
  if (arrival && *arrival >= last_to_) {
    if (next_ < frequencies_.size())
      Begin(next_);
    else
      Restore();
  }
  if (running_ && windows_.empty() && next_ >= frequencies_.size()) {
    Restore();
    running_ = false;
  }
}

void ResponseSweep::Finish(const Window& w) {
  ++measured_;
  ended_ = w.to;
  const auto p =
      analysis::MeasureResponsePoint(w.ur, w.il, kRate, w.frequency_hz, calibration_.skew_s);
  if (p)
    points_.push_back(*p);
  else
    problem_ = "na vstupu IL nebyl tón, bod " + std::to_string(w.frequency_hz) + " Hz vynechán";
}

void ResponseSweep::Restore() {
  if (saved_) link_.set_generator(*saved_);
  saved_.reset();
}

void ResponseSweep::Stop(const std::string& why) {
  if (!running_) return;
  Restore();
  windows_.clear();
  running_ = false;
  problem_ = why.empty() ? "měření zastaveno" : why;
}

}  // namespace lab
