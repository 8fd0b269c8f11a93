// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/input_source.h"

#include <charconv>
#include <cmath>
#include <numbers>

#include "platform/base/files_in_use.h"
#include "platform/card/virtual/sound_file.h"

namespace platform {

namespace {

const char kUsage[] =
    "expected silence, sine:HZ[:PEAK], square:HZ[:PEAK], file:FILE[:CHANNEL] or generator";

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && p == end && std::isfinite(value);
}

}  // namespace

std::string InputSource::Parse(const std::string& source) {
  const std::size_t colon = source.find(':');
  const std::string kind = source.substr(0, colon);
  const std::string rest = colon == std::string::npos ? "" : source.substr(colon + 1);
  auto quoted = [&] { return "'" + source + "'"; };

  if (kind == "silence" || kind == "generator") {
    if (colon != std::string::npos) return "signal source " + quoted() + " takes no parameters";
    kind_ = kind == "silence" ? Kind::Silence : Kind::Generator;
    file_.reset();
    text_ = source;
    return {};
  }

  if (kind == "sine" || kind == "square") {
    if (colon == std::string::npos)
      return "signal source " + quoted() + " needs a frequency: " + kind + ":HZ[:PEAK]";
    const std::size_t second = rest.find(':');
    const std::string hz_text = rest.substr(0, second);
    double hz = 0, peak = kDefaultPeak;
    if (!ParseNumber(hz_text, hz) || hz <= 0 || hz > 1e6)
      return "bad frequency '" + hz_text + "' in " + quoted() +
             " (expected hertz above 0, at most 1000000)";
    if (second != std::string::npos) {
      const std::string peak_text = rest.substr(second + 1);
      if (peak_text.find(':') != std::string::npos) return "too many fields in " + quoted();
      if (!ParseNumber(peak_text, peak) || peak < 0 || peak > 32767)
        return "bad peak '" + peak_text + "' in " + quoted() + " (expected 0 to 32767)";
    }
    kind_ = kind == "sine" ? Kind::Sine : Kind::Square;
    hz_ = hz;
    peak_ = peak;
    file_.reset();
    text_ = source;
    return {};
  }

  if (kind == "file" || kind == "wav") {
    std::string ch;
    const std::string file = FileOfSource(source, &ch);
    int channel = 0;
    if (!ch.empty() || (file.size() < rest.size())) {
      if (ch != "0" && ch != "1")
        return "bad channel '" + ch + "' in " + quoted() + " (expected 0 or 1)";
      channel = ch[0] - '0';
    }
    if (file.empty())
      return "signal source " + quoted() + " needs a file name: " + kind + ":FILE[:CHANNEL]";
    Sound sound;
    std::string error = ReadSoundFile(file, channel, sound);
    if (!error.empty()) return error;
    kind_ = Kind::File;
    file_ = std::make_shared<const std::vector<std::int16_t>>(std::move(sound.samples));
    text_ = source;
    return {};
  }

  return "unknown signal source " + quoted() + " (" + kUsage + ")";
}

std::int16_t InputSource::SampleAt(std::int64_t frame, std::int64_t rate) const {
  if (rate <= 0 || frame < 0) return 0;
  switch (kind_) {
    case Kind::Silence:
    case Kind::Generator:
      return 0;
    case Kind::Sine:
    case Kind::Square: {
      // Phase from the frame index alone: fmod keeps it exact for long runs.
      const double cycles =
          std::fmod(hz_ * static_cast<double>(frame), static_cast<double>(rate)) / rate;
      double v;
      if (kind_ == Kind::Sine)
        v = std::nearbyint(peak_ * std::sin(2.0 * std::numbers::pi * cycles));
      else
        v = std::nearbyint(cycles < 0.5 ? peak_ : -peak_);
      return static_cast<std::int16_t>(v);
    }
    case Kind::File: {
      const std::int64_t len = static_cast<std::int64_t>(file_->size());
      const std::int64_t at = rate == kSoundRate ? frame : frame * kSoundRate / rate;
      return (*file_)[static_cast<std::size_t>(at % len)];
    }
  }
  return 0;
}

}  // namespace platform
