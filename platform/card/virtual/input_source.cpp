// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/input_source.h"

#include <sys/stat.h>

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

// The source's words, read without reading its file.
std::string InputSource::Describe(const std::string& source, Description& out) {
  const std::size_t colon = source.find(':');
  const std::string kind = source.substr(0, colon);
  const std::string rest = colon == std::string::npos ? "" : source.substr(colon + 1);
  auto quoted = [&] { return "'" + source + "'"; };

  if (kind == "silence" || kind == "generator") {
    if (colon != std::string::npos) return "signal source " + quoted() + " takes no parameters";
    out.kind = kind == "silence" ? Kind::Silence : Kind::Generator;
    return {};
  }

  if (kind == "sine" || kind == "square") {
    if (colon == std::string::npos)
      return "signal source " + quoted() + " needs a frequency: " + kind + ":HZ[:PEAK]";
    const std::size_t second = rest.find(':');
    const std::string hz_text = rest.substr(0, second);
    out.peak = kDefaultPeak;
    if (!ParseNumber(hz_text, out.hz) || out.hz <= 0 || out.hz > 1e6)
      return "bad frequency '" + hz_text + "' in " + quoted() +
             " (expected hertz above 0, at most 1000000)";
    if (second != std::string::npos) {
      const std::string peak_text = rest.substr(second + 1);
      if (peak_text.find(':') != std::string::npos) return "too many fields in " + quoted();
      if (!ParseNumber(peak_text, out.peak) || out.peak < 0 || out.peak > 32767)
        return "bad peak '" + peak_text + "' in " + quoted() + " (expected 0 to 32767)";
    }
    out.kind = kind == "sine" ? Kind::Sine : Kind::Square;
    return {};
  }

  if (kind == "file" || kind == "wav") {
    std::string ch;
    out.file = FileOfSource(source, &ch);
    out.channel = 0;
    if (!ch.empty() || (out.file.size() < rest.size())) {
      if (ch != "0" && ch != "1")
        return "bad channel '" + ch + "' in " + quoted() + " (expected 0 or 1)";
      out.channel = ch[0] - '0';
    }
    if (out.file.empty())
      return "signal source " + quoted() + " needs a file name: " + kind + ":FILE[:CHANNEL]";
    out.kind = Kind::File;
    return {};
  }

  return "unknown signal source " + quoted() + " (" + kUsage + ")";
}

std::string InputSource::Check(const std::string& source) {
  Description d;
  if (std::string error = Describe(source, d); !error.empty()) return error;
  // A pipe is read once, by the source itself; a file that is not there is
  // named by the caller's check of the path.
  struct stat st {};
  if (d.kind != Kind::File || ::stat(d.file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  Sound sound;
  return ReadSoundFile(d.file, d.channel, sound, SoundWarnings::Dropped);
}

std::string InputSource::Parse(const std::string& source) {
  Description d;
  if (std::string error = Describe(source, d); !error.empty()) return error;
  std::shared_ptr<const std::vector<std::int16_t>> file;
  if (d.kind == Kind::File) {
    Sound sound;
    if (std::string error = ReadSoundFile(d.file, d.channel, sound); !error.empty()) return error;
    file = std::make_shared<const std::vector<std::int16_t>>(std::move(sound.samples));
  }
  kind_ = d.kind;
  hz_ = d.hz;
  peak_ = d.peak;
  file_ = std::move(file);
  text_ = source;
  return {};
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
