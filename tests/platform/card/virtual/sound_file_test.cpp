// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual card's sound files: every format libsndfile writes here comes
// back as written (lossless ones sample for sample), other rates arrive at
// 44100 Hz with their level kept and no image or alias above -90 dBFS, and
// bad files are refused with the file's name and the reason.
#include "platform/card/virtual/sound_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "platform/base/printable.h"

namespace {

using Samples = std::vector<std::int16_t>;

// Interleaved frames written by libsndfile in `format`; false when it cannot.
bool WriteSound(const std::string& path, int format, int channels, int rate,
                const Samples& frames) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  double best = 1.0;
  sf_command(f, SFC_SET_VBR_ENCODING_QUALITY, &best, sizeof best);
  sf_command(f, SFC_SET_SCALE_INT_FLOAT_WRITE, nullptr, SF_TRUE);  // s / 32768 in a float file
  const sf_count_t n = static_cast<sf_count_t>(frames.size()) / channels;
  bool ok;
  if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
    // libsndfile 1.2.0's MP3 encoder garbles 16-bit stereo; floats go in whole.
    std::vector<float> f32(frames.begin(), frames.end());
    for (float& v : f32) v /= 32768;
    ok = sf_writef_float(f, f32.data(), n) == n;
  } else {
    ok = sf_writef_short(f, frames.data(), n) == n;
  }
  return sf_close(f) == 0 && ok;
}

// Frame i of channel c: a sine of hz[c] and peak[c] (a peak of 0 puts a
// single full-scale click at half the length instead).
Samples Signal(int channels, int rate, int frames, const double* hz, const double* peak) {
  Samples s(static_cast<std::size_t>(frames * channels));
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s[static_cast<std::size_t>(i * channels + c)] = static_cast<std::int16_t>(
          peak[c] == 0
              ? (i == frames / 2 ? 32767 : 0)
              : std::nearbyint(peak[c] * std::sin(2 * std::numbers::pi * hz[c] * i / rate)));
  return s;
}

// The spectrum of kBins samples at 44100 Hz from `from`, each bin the peak
// amplitude of a sine there in dB of full scale. The 4-term Blackman-Harris
// window keeps a tone's leakage more than 92 dB below it, 8 bins away.
constexpr std::size_t kBins = 16384;
constexpr double kBinHz = 44100.0 / kBins;
std::vector<double> SpectrumDbfs(const Samples& x, std::size_t from) {
  std::vector<std::complex<double>> a(kBins);
  double gain = 0;
  for (std::size_t i = 0; i < kBins; ++i) {
    const double t = 2 * std::numbers::pi * static_cast<double>(i) / kBins;
    const double w =
        0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
    a[i] = w * x.at(from + i);
    gain += w;
  }
  for (std::size_t i = 1, j = 0; i < kBins; ++i) {  // radix-2 FFT, in place
    std::size_t bit = kBins >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= kBins; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi / len);
    for (std::size_t i = 0; i < kBins; i += len) {
      std::complex<double> w = 1;
      for (std::size_t k = 0; k < len / 2; ++k, w *= step) {
        const auto u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
  std::vector<double> db(kBins / 2 + 1);
  for (std::size_t k = 0; k < db.size(); ++k)
    db[k] = 20 * std::log10(2 * std::abs(a[k]) / gain / 32768 + 1e-30);
  return db;
}

// The strongest bin of `db` outside `skip` bins either side of each of
// `away` (hertz), as {hertz, dBFS}.
std::pair<double, double> Strongest(const std::vector<double>& db, std::vector<double> away = {},
                                    double skip = 8) {
  std::pair<double, double> best{0, -999};
  for (std::size_t k = 0; k < db.size(); ++k) {
    bool near = false;
    for (double hz : away) near = near || std::abs(k - hz / kBinHz) <= skip;
    if (!near && db[k] > best.second) best = {k * kBinHz, db[k]};
  }
  return best;
}

int Peak(const Samples& x, std::size_t from, std::size_t n) {
  int peak = 0;
  for (std::size_t i = from; i < from + n; ++i) peak = std::max(peak, std::abs(int{x.at(i)}));
  return peak;
}

class SoundFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("osciloskop-sound-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(SoundFiles, EachFormatComesBackAsWrittenOnEitherChannel) {
  const double hz[] = {1000, 3000}, peak[] = {12000, 6000};
  const int kLossless = 0, kLossy = -1;
  struct Case {
    const char* name;
    int format, channels, tolerance;
  } cases[] = {
      {"s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kLossless},
      {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 256},
      {"s24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, kLossless},
      {"f32.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, kLossless},
      {"s16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, kLossless},
      {"s16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, kLossless},
      {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, kLossy},
      {"layer3.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, kLossy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Samples written = Signal(c.channels, 44100, 44100, hz, peak);
    ASSERT_TRUE(WriteSound(Path(c.name), c.format, c.channels, 44100, written));
    for (int ch = 0; ch < c.channels; ++ch) {
      platform::Sound got;
      ASSERT_EQ(platform::ReadSoundFile(Path(c.name), ch, got), "") << "channel " << ch;
      EXPECT_EQ(got.channels, c.channels);
      EXPECT_EQ(got.source_rate, 44100);
      if (c.tolerance == kLossy) {
        // A codec's delay and noise: the right tone at its level.
        ASSERT_GE(got.samples.size(), 10000 + kBins);
        EXPECT_NEAR(Strongest(SpectrumDbfs(got.samples, 10000)).first, hz[ch], kBinHz) << ch;
        EXPECT_NEAR(20 * std::log10(Peak(got.samples, 10000, kBins) / peak[ch]), 0.0, 0.5) << ch;
        continue;
      }
      ASSERT_EQ(got.samples.size(), 44100u);
      int worst = 0;
      for (std::size_t i = 0; i < got.samples.size(); ++i)
        worst = std::max(worst, std::abs(got.samples[i] - written[i * c.channels + ch]));
      EXPECT_LE(worst, c.tolerance) << "channel " << ch;
    }
  }
}

// Channel 0 a tone of peak 16000, channel 1 a click at half the length:
// the tone keeps its peak within 0.1 dB with nothing else above -90 dBFS,
// the click stays at its time, and the length is the source's at 44100 Hz.
// A lossy codec's own noise lies above that, so there the peak is compared
// with what the codec decoded at its own rate, and the bins looked at are
// those where the conversion's images and aliases of the tone would fall.
TEST_F(SoundFiles, OtherRatesArriveAt44100WithoutImagesOrAliases) {
  struct Case {
    const char* name;
    int format, rate;
    double hz;
    bool lossy;
  } cases[] = {
      {"48k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 15000, false},
      {"48k.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 15000, false},
      {"48k.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 15000, true},
      {"96k.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 96000, 15000, false},
      {"22k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 7000, false},
      {"8k.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 3000, false},
  };
  constexpr std::size_t kFrom = 22050 - kBins / 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double hz[] = {c.hz, 0}, peak[] = {16000, 0};
    ASSERT_TRUE(WriteSound(Path(c.name), c.format, 2, c.rate, Signal(2, c.rate, c.rate, hz, peak)));
    platform::Sound tone, click;
    ASSERT_EQ(platform::ReadSoundFile(Path(c.name), 0, tone), "");
    ASSERT_EQ(platform::ReadSoundFile(Path(c.name), 1, click), "");
    EXPECT_EQ(tone.source_rate, c.rate);
    ASSERT_EQ(tone.samples.size(), 44100u);
    double source_peak = 16000;
    if (c.lossy) {  // what the codec gave at its own rate, over the same time
      SF_INFO info{};
      SNDFILE* f = sf_open(Path(c.name).c_str(), SFM_READ, &info);
      ASSERT_NE(f, nullptr);
      std::vector<float> frames(2 * static_cast<std::size_t>(c.rate));
      ASSERT_EQ(sf_readf_float(f, frames.data(), c.rate), c.rate);
      sf_close(f);
      float top = 0;
      const double scale = c.rate / 44100.0;
      for (auto i = static_cast<std::size_t>(kFrom * scale); i < (kFrom + kBins) * scale; ++i)
        top = std::max(top, std::abs(frames[2 * i]));
      source_peak = top * 32768.0;
    }
    const double peak_db = 20 * std::log10(Peak(tone.samples, kFrom, kBins) / source_peak);
    const std::vector<double> db = SpectrumDbfs(tone.samples, kFrom);
    const auto other = Strongest(db, {c.hz});
    // The first images, at k * rate +- hz, and where 44100 Hz folds them.
    std::vector<double> images;
    for (int k = 1; k <= 2; ++k)
      for (double f : {k * c.rate - c.hz, k * c.rate + c.hz}) {
        f = std::fmod(f, 44100.0);
        images.push_back(f > 22050 ? 44100 - f : f);
      }
    std::pair<double, double> image{0, -999};
    for (double f : images) {
      if (std::abs(f - c.hz) <= 8 * kBinHz) continue;
      for (int d = -3; d <= 3; ++d) {
        const auto k = static_cast<std::size_t>(std::lround(f / kBinHz) + d);
        if (k < db.size() && db[k] > image.second) image = {k * kBinHz, db[k]};
      }
    }
    std::printf(
        "[ figures  ] %-8s %6d Hz -> 44100 Hz: peak %+.4f dB%s, strongest other %.1f dBFS at "
        "%.0f Hz, strongest image or alias %.1f dBFS at %.0f Hz\n",
        c.name, c.rate, peak_db, c.lossy ? " of the decoded" : "", other.second, other.first,
        image.second, image.first);
    EXPECT_NEAR(Strongest(db).first, c.hz, kBinHz);
    EXPECT_LE(std::abs(peak_db), 0.1);
    EXPECT_LE(image.second, -90) << "at " << image.first << " Hz";
    if (!c.lossy) {
      EXPECT_LE(other.second, -90) << "at " << other.first << " Hz";
    }
    const auto at =
        std::max_element(click.samples.begin(), click.samples.end()) - click.samples.begin();
    EXPECT_NEAR(at, 22050, 1) << "the click moved";
  }
}

TEST_F(SoundFiles, BadFilesAreRefusedNamingFileAndReason) {
  const double hz[] = {440, 440}, peak[] = {8000, 8000};
  ASSERT_TRUE(WriteSound(Path("mono.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                         Signal(1, 44100, 100, hz, peak)));
  ASSERT_TRUE(
      WriteSound(Path("three.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, 44100, Samples(30)));
  ASSERT_TRUE(WriteSound(Path("slow.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 999, Samples(10)));
  ASSERT_TRUE(WriteSound(Path("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 1000,
                         Samples(3601 * 1000)));
  std::ofstream(Path("text.wav")) << "hello, this is not a sound";
  std::ofstream(Path("empty.wav"));
  std::filesystem::create_directory(Path("folder.wav"));
  ASSERT_EQ(::mkfifo(Path("fifo.wav").c_str(), 0600), 0);
  std::ofstream(Path("huge.wav")).close();
  std::filesystem::resize_file(Path("huge.wav"), platform::kSoundMaxFileBytes + 1);  // sparse
  std::string cut;  // a RIFF header whose format chunk is cut short
  {
    std::ifstream f(Path("mono.wav"), std::ios::binary);
    cut.assign(30, '\0');
    f.read(cut.data(), 30);
  }
  std::ofstream(Path("cut.wav"), std::ios::binary) << cut;
  // A chunk whose size, with its header, wraps 32 bits back to itself.
  std::ofstream(Path("wrap.wav"), std::ios::binary)
      << std::string("RIFF\x1c\0\0\0WAVELIST\xf7\xff\xff\xff", 20) << std::string(12, '\0');

  struct Case {
    std::string name, reason;
    int channel = 0;
  } cases[] = {
      {"none.wav", "cannot open (No such file or directory)"},
      {"n\xE9\x01.wav", "cannot open (No such file or directory)"},
      {"folder.wav", "a folder, not a sound file"},
      {"fifo.wav", "empty"},  // no writer: read at once, not waited for
      {"empty.wav", "empty"},
      {"text.wav", "libsndfile: "},
      {"cut.wav", "libsndfile: "},
      {"wrap.wav", "libsndfile: "},
      {"huge.wav", "larger than 1024 MiB"},
      {"three.wav", "3 channels (only mono and stereo are played)"},
      {"mono.wav", "mono, so it has no channel 1", 1},
      {"slow.wav", "frame rate 999 Hz (expected 1000 to 1000000)"},
      {"long.wav", "too long: 3601 s (at most 3600 s)"},
  };
  for (const Case& c : cases) {
    platform::Sound got;
    const std::string path = Path(c.name);
    const std::string e = platform::ReadSoundFile(path, c.channel, got);
    const std::string prefix = "sound file '" + platform::PrintableText(path) + "': ";
    EXPECT_EQ(e.rfind(prefix + c.reason, 0), 0u) << e;
    if (c.reason.back() == ' ') {
      EXPECT_GT(e.size(), prefix.size() + c.reason.size()) << "libsndfile's reason: " << e;
    }
    EXPECT_TRUE(platform::IsValidUtf8(e) && platform::PrintableText(e) == e) << e;
    EXPECT_TRUE(got.samples.empty()) << c.name;
  }
  platform::Sound got;
  EXPECT_EQ(platform::ReadSoundFile(Path("mono.wav"), 0, got), "") << "the files were good";
}

}  // namespace
