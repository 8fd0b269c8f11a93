// SPDX-License-Identifier: GPL-3.0-or-later
#include "lab/view_state.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/base/json.h"

namespace lab {

namespace {

struct Named {
  const char* name;
  View view;
};
constexpr Named kViews[] = {{"readouts", View::kReadouts},
                            {"xy", View::kXy},
                            {"spectrum", View::kSpectrum},
                            {"waveform", View::kWaveform}};

struct NamedWindow {
  const char* name;
  analysis::Window window;
};
constexpr NamedWindow kWindows[] = {{"hann", analysis::Window::kHann},
                                    {"blackman-harris", analysis::Window::kBlackmanHarris},
                                    {"flat-top", analysis::Window::kFlatTop}};

bool ParseNumber(const std::string& s, double& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

// The smallest 1-2-5 step at least `s`.
double Step125Above(double s) {
  const double decade = std::pow(10.0, std::floor(std::log10(s)));
  for (const double m : {1.0, 2.0, 5.0})
    if (m * decade >= s * (1 - 1e-9)) return m * decade;
  return 10 * decade;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", v);
  return text;
}

}  // namespace

const char* ViewName(View view) {
  for (const Named& n : kViews)
    if (n.view == view) return n.name;
  return "readouts";
}

const char* WindowName(analysis::Window window) {
  for (const NamedWindow& n : kWindows)
    if (n.window == window) return n.name;
  return "hann";
}

double ChannelSpectrum::Db(double amplitude) const {
  return 20 * std::log10(std::max(amplitude, 1e-30) / reference);
}

ViewState::ViewState(std::size_t max_frames)
    : max_frames_(max_frames), ur_average_(max_frames / 2 + 1), il_average_(max_frames / 2 + 1) {
  for (int i = 0; i < kXyBlocks; ++i) {
    xy_ur_[i].reserve(max_frames);
    xy_il_[i].reserve(max_frames);
  }
  SetWindow(window_);
}

ViewState::~ViewState() = default;

void ViewState::SetWindow(analysis::Window window) {
  if (spectrum_ && window == window_) return;
  window_ = window;
  spectrum_ = std::make_unique<analysis::Spectrum>(max_frames_, window);
  ur_average_.Clear(), il_average_.Clear();
  ur_spectrum_.amplitudes.clear(), il_spectrum_.amplitudes.clear();
  ur_spectrum_.distortion.reset(), il_spectrum_.distortion.reset();
}

void ViewState::SetAverage(int count) {
  average_ = count;
  ur_average_.SetCount(count), il_average_.SetCount(count);
  Recompute();
}

void ViewState::Take(const Block& b) {
  if (b.ur.empty() || b.ur.size() != b.il.size() || b.ur.size() > max_frames_) return;
  if (b.ur.size() != frames_) {
    // Another block length: the averages and the fading blocks are of another kind.
    xy_count_ = 0, ur_average_.Clear(), il_average_.Clear();
  }
  frames_ = b.ur.size();
  sample_rate_ = b.sample_rate;
  xy_ur_[xy_next_].assign(b.ur.begin(), b.ur.end());
  xy_il_[xy_next_].assign(b.il.begin(), b.il.end());
  xy_next_ = (xy_next_ + 1) % kXyBlocks;
  xy_count_ = std::min(xy_count_ + 1, kXyBlocks);
  ++serial_;

  // The form's trigger: the first falling zero of R.
  trigger_ = 0;
  if (waveform_triggered)
    for (std::size_t n = 1; n < frames_; ++n)
      if (b.ur[n - 1] >= 0 && b.ur[n] < 0) {
        trigger_ = n;
        break;
      }
  const auto& r = b.readings;
  const std::optional<double> f = r.ur.frequency ? r.ur.frequency : r.il.frequency;
  wave_span_s_ = f && *f > 0 ? Step125Above(3 / *f) : 0.02;
  wave_span_s_ = std::min(wave_span_s_, static_cast<double>(frames_ - trigger_) / sample_rate_);

  ur_average_.Add(spectrum_->Amplitudes(b.ur, r.ur.mean));
  il_average_.Add(spectrum_->Amplitudes(b.il, r.il.mean));
  ur_spectrum_.reference = b.ur_reference, ur_spectrum_.unit = b.ur_db_unit;
  il_spectrum_.reference = b.il_reference, il_spectrum_.unit = b.il_db_unit;
  Recompute();
}

void ViewState::Recompute() {
  const analysis::SpectrumLayout at{window_, frames_, sample_rate_};
  for (auto [average, spectrum] :
       {std::pair{&ur_average_, &ur_spectrum_}, std::pair{&il_average_, &il_spectrum_}}) {
    const std::span<const double> a = average->Amplitudes();
    spectrum->amplitudes.assign(a.begin(), a.end());
    spectrum->distortion.reset();
    if (!a.empty()) spectrum->distortion = analysis::DistortionOf(a, at);
  }
}

std::span<const double> ViewState::XyUr(int age) const {
  return xy_ur_[(xy_next_ - 1 - age + 2 * kXyBlocks) % kXyBlocks];
}
std::span<const double> ViewState::XyIl(int age) const {
  return xy_il_[(xy_next_ - 1 - age + 2 * kXyBlocks) % kXyBlocks];
}
std::span<const double> ViewState::WaveUr() const {
  return xy_count_ ? XyUr(0).subspan(trigger_) : std::span<const double>();
}
std::span<const double> ViewState::WaveIl() const {
  return xy_count_ ? XyIl(0).subspan(trigger_) : std::span<const double>();
}

std::optional<double> ViewState::WaveAt(bool il, double t) const {
  const std::span<const double> x = il ? WaveIl() : WaveUr();
  const double at = t * sample_rate_;
  if (x.empty() || !(at >= 0) || at > static_cast<double>(x.size() - 1)) return std::nullopt;
  const auto k = static_cast<std::size_t>(at);
  if (k + 1 >= x.size()) return x[k];
  const double frac = at - static_cast<double>(k);
  return x[k] + frac * (x[k + 1] - x[k]);
}

bool ViewState::Handles(const std::vector<std::string>& w) {
  const std::string& c = w[0];
  return c == "view" || c == "spectrum-window" || c == "spectrum-average" || c == "cursor" ||
         c == "xy-persistence";
}

std::string ViewState::Check(const std::vector<std::string>& w) {
  const std::string& c = w[0];
  double x = 0;
  if (c == "view") {
    if (w.size() == 2)
      for (const Named& n : kViews)
        if (w[1] == n.name) return {};
    return "usage: view xy|spectrum|waveform|readouts";
  }
  if (c == "spectrum-window") {
    if (w.size() == 2)
      for (const NamedWindow& n : kWindows)
        if (w[1] == n.name) return {};
    return "usage: spectrum-window hann|blackman-harris|flat-top";
  }
  if (c == "xy-persistence") {
    if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return "usage: xy-persistence on|off";
    return {};
  }
  if (c == "spectrum-average") {
    if (w.size() != 2 || (w[1] != "1" && w[1] != "4" && w[1] != "16"))
      return "usage: spectrum-average 1|4|16";
    return {};
  }
  if (c == "cursor") {
    if (w.size() != 3 || (w[1] != "t1" && w[1] != "t2" && w[1] != "v1" && w[1] != "v2"))
      return "usage: cursor t1|t2 SECONDS or cursor v1|v2 VOLTS";
    if (!ParseNumber(w[2], x)) return "cursor: '" + w[2] + "' is not a number";
    if (w[1][0] == 't' && (x < 0 || x > 1))
      return "cursor: '" + w[2] + "' is not a time from 0 to 1 s after the trigger";
    if (w[1][0] == 'v' && std::abs(x) > 1e6) return "cursor: '" + w[2] + "' is out of range";
  }
  return {};
}

std::string ViewState::Run(const std::vector<std::string>& w) {
  if (std::string e = Check(w); !e.empty()) return e;
  const std::string& c = w[0];
  if (c == "view") {
    for (const Named& n : kViews)
      if (w[1] == n.name) view = n.view;
  } else if (c == "spectrum-window") {
    for (const NamedWindow& n : kWindows)
      if (w[1] == n.name) SetWindow(n.window);
  } else if (c == "xy-persistence") {
    xy_persistence = w[1] == "on";
  } else if (c == "spectrum-average") {
    SetAverage(std::stoi(w[1]));
  } else if (c == "cursor") {
    double x = 0;
    ParseNumber(w[2], x);
    double* target[] = {&cursors.t1, &cursors.t2, &cursors.v1, &cursors.v2};
    *target[(w[1][0] == 'v' ? 2 : 0) + (w[1][1] == '2' ? 1 : 0)] = x;
  }
  return {};
}

void ViewState::Dump(platform::JsonWriter& w) const {
  const auto value = [&w](const char* key, std::optional<double> v) {
    if (v && std::isfinite(*v))
      w.Value(key, *v);
    else
      w.Null(key);
  };
  w.Value("view", ViewName(view));
  w.BeginObject("spectrum");
  w.Value("window", WindowName(window_));
  w.Value("average", average_);
  for (const bool il : {false, true}) {
    const ChannelSpectrum& s = SpectrumOf(il);
    w.BeginObject(il ? "il" : "ur");
    w.Value("unit", s.unit);
    const auto& d = s.distortion;
    value("peak_frequency", d ? std::optional(d->fundamental.frequency) : std::nullopt);
    value("peak_level", d ? std::optional(s.Db(d->fundamental.amplitude)) : std::nullopt);
    value("thd", d ? std::optional(d->thd_percent) : std::nullopt);
    value("thd_n", d ? std::optional(d->thd_n_percent) : std::nullopt);
    w.BeginArray("harmonics");
    for (int k = 2; k <= analysis::kHighestHarmonic; ++k)
      w.Element(d && k <= d->highest ? 20 * std::log10(d->harmonics[k] / d->harmonics[1])
                                     : std::nan(""));
    w.EndArray();
    w.EndObject();
  }
  w.EndObject();
  const Cursors& c = cursors;
  w.BeginObject("cursors");
  w.Value("t1", c.t1).Value("t2", c.t2).Value("dt", c.t2 - c.t1);
  w.Value("v1", c.v1).Value("v2", c.v2).Value("dv", c.v2 - c.v1);
  for (const bool il : {false, true}) {
    w.BeginObject(il ? "il" : "ur");
    value("t1", WaveAt(il, c.t1));
    value("t2", WaveAt(il, c.t2));
    w.EndObject();
  }
  w.EndObject();
}

std::string ViewState::Csv(View v) const {
  std::string out;
  if (v == View::kXy && xy_count_) {
    out = "ur_V,il_A\n";
    const auto ur = XyUr(0), il = XyIl(0);
    for (std::size_t k = 0; k < ur.size(); ++k) out += Number(ur[k]) + "," + Number(il[k]) + "\n";
  } else if (v == View::kSpectrum && !ur_spectrum_.amplitudes.empty()) {
    out = "frequency_Hz,ur_" + ur_spectrum_.unit + ",il_" + il_spectrum_.unit + "\n";
    const double bin = sample_rate_ / static_cast<double>(frames_);
    for (std::size_t k = 0; k < ur_spectrum_.amplitudes.size(); ++k)
      out += Number(static_cast<double>(k) * bin) + "," +
             Number(ur_spectrum_.Db(ur_spectrum_.amplitudes[k])) + "," +
             Number(il_spectrum_.Db(il_spectrum_.amplitudes[k])) + "\n";
  } else if (v == View::kWaveform && xy_count_) {
    out = "time_s,ur_V,il_A\n";
    const auto ur = WaveUr(), il = WaveIl();
    const auto shown =
        std::min(ur.size(), static_cast<std::size_t>(wave_span_s_ * sample_rate_) + 1);
    for (std::size_t k = 0; k < shown; ++k)
      out += Number(static_cast<double>(k) / sample_rate_) + "," + Number(ur[k]) + "," +
             Number(il[k]) + "\n";
  }
  return out;
}

}  // namespace lab
