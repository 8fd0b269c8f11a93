#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/card/virtual/wav_file.h"
#include "platform/printable.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Tag(Bytes& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
}

// A RIFF/WAVE image; `extra` chunks go before "fmt ".
Bytes MakeWav(std::uint16_t tag, int channels, int rate, int bits, const Bytes& data,
              const Bytes& extra = {}) {
  Bytes fmt;
  Put(fmt, tag, 2);
  Put(fmt, channels, 2);
  Put(fmt, rate, 4);
  Put(fmt, rate * channels * bits / 8, 4);
  Put(fmt, channels * bits / 8, 2);
  Put(fmt, bits, 2);
  Bytes b;
  Tag(b, "RIFF");
  Put(b, 4 + extra.size() + 8 + fmt.size() + 8 + data.size(), 4);
  Tag(b, "WAVE");
  b.insert(b.end(), extra.begin(), extra.end());
  Tag(b, "fmt ");
  Put(b, fmt.size(), 4);
  b.insert(b.end(), fmt.begin(), fmt.end());
  Tag(b, "data");
  Put(b, data.size(), 4);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes Pcm16(const std::vector<int>& samples) {
  Bytes d;
  for (int s : samples) Put(d, static_cast<std::uint16_t>(s), 2);
  return d;
}

class WavFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("osciloskop-wav-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const Bytes& bytes) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(WavFiles, ReadsEverySampleFormatAt44100) {
  platform::WavSound s;
  std::string p16 = Write("s16.wav", MakeWav(1, 2, 44100, 16, Pcm16({1, -2, 32767, -32768})));
  ASSERT_EQ(platform::ReadWavFile(p16, s), "");
  EXPECT_EQ(s.channels, 2);
  EXPECT_EQ(s.samples, (std::vector<std::int16_t>{1, -2, 32767, -32768}));

  std::string p8 = Write("u8.wav", MakeWav(1, 1, 44100, 8, Bytes{0, 128, 255}));
  ASSERT_EQ(platform::ReadWavFile(p8, s), "");
  EXPECT_EQ(s.channels, 1);
  EXPECT_EQ(s.samples, (std::vector<std::int16_t>{-32768, 0, 32512}));

  Bytes d24 = {0x00, 0x34, 0x12, 0xFF, 0xFF, 0xFF};  // 0x123400 and -1
  std::string p24 = Write("s24.wav", MakeWav(1, 1, 44100, 24, d24));
  ASSERT_EQ(platform::ReadWavFile(p24, s), "");
  EXPECT_EQ(s.samples, (std::vector<std::int16_t>{0x1234, -1}));

  Bytes df;
  for (float f : {0.5f, -1.0f, 2.0f}) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    Put(df, bits, 4);
  }
  std::string pf = Write("f32.wav", MakeWav(3, 1, 44100, 32, df));
  ASSERT_EQ(platform::ReadWavFile(pf, s), "");
  EXPECT_EQ(s.samples, (std::vector<std::int16_t>{16384, -32767, 32767}));

  // Unknown chunks before the format are skipped, odd sizes padded.
  Bytes extra;
  Tag(extra, "LIST");
  Put(extra, 3, 4);
  extra.insert(extra.end(), {1, 2, 3, 0});
  std::string pl = Write("list.wav", MakeWav(1, 1, 44100, 16, Pcm16({7, 8}), extra));
  ASSERT_EQ(platform::ReadWavFile(pl, s), "");
  EXPECT_EQ(s.samples, (std::vector<std::int16_t>{7, 8}));
}

TEST_F(WavFiles, ResamplesLinearlyTo44100) {
  platform::WavSound s;
  // 22050 -> 44100: every second output frame lies halfway between two.
  std::string p = Write("half.wav", MakeWav(1, 1, 22050, 16, Pcm16({0, 1000, -1000, 3})));
  ASSERT_EQ(platform::ReadWavFile(p, s), "");
  EXPECT_EQ(s.source_rate, 22050);
  EXPECT_EQ(s.samples, (std::vector<std::int16_t>{0, 500, 1000, 0, -1000, -498, 3, 3}));

  // 48000 -> 44100 stereo: frame k sits at k * 48000 / 44100 in the source.
  std::vector<int> ramp;
  for (int i = 0; i < 480; ++i) {
    ramp.push_back(i * 10);
    ramp.push_back(-i * 10);
  }
  ASSERT_EQ(platform::ReadWavFile(Write("48k.wav", MakeWav(1, 2, 48000, 16, Pcm16(ramp))), s), "");
  ASSERT_EQ(s.Frames(), 441u);
  for (std::size_t k = 0; k < 440; ++k) {
    const double pos = static_cast<double>(k) * 48000.0 / 44100.0;
    EXPECT_EQ(s.samples[2 * k], static_cast<std::int16_t>(std::nearbyint(pos * 10))) << k;
    EXPECT_EQ(s.samples[2 * k + 1], static_cast<std::int16_t>(std::nearbyint(-pos * 10))) << k;
  }
}

TEST_F(WavFiles, RefusesBadFilesNamingFileAndReason) {
  platform::WavSound s;
  auto error = [&](const std::string& name, const Bytes& bytes) {
    return platform::ReadWavFile(Write(name, bytes), s);
  };
  std::string missing = (dir_ / "none.wav").string();
  std::string e = platform::ReadWavFile(missing, s);
  EXPECT_NE(e.find(missing), std::string::npos);
  EXPECT_NE(e.find("cannot open"), std::string::npos);

  EXPECT_NE(error("text.wav", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!'})
                .find("not a RIFF/WAVE file"),
            std::string::npos);
  EXPECT_NE(error("short.wav", Bytes{'R', 'I'}).find("too short"), std::string::npos);

  Bytes good = MakeWav(1, 1, 44100, 16, Pcm16({1, 2, 3}));
  Bytes no_data(good.begin(), good.begin() + 36);
  EXPECT_NE(error("nodata.wav", no_data).find("no data chunk"), std::string::npos);
  Bytes cut_fmt(good.begin(), good.begin() + 30);
  EXPECT_NE(error("cutfmt.wav", cut_fmt).find("truncated fmt chunk"), std::string::npos);
  EXPECT_NE(error("bits.wav", MakeWav(1, 1, 44100, 12, Pcm16({1}))).find("12 bits"), std::string::npos);
  EXPECT_NE(error("ch.wav", MakeWav(1, 3, 44100, 16, Pcm16({1, 2, 3}))).find("channel count 3"),
            std::string::npos);
  EXPECT_NE(error("tag.wav", MakeWav(2, 1, 44100, 16, Pcm16({1}))).find("unsupported sample format"),
            std::string::npos);
  EXPECT_NE(error("empty.wav", MakeWav(1, 1, 44100, 16, {})).find("no samples"), std::string::npos);
  EXPECT_NE(error("rate.wav", MakeWav(1, 1, 0, 16, Pcm16({1}))).find("bad frame rate"), std::string::npos);
  std::string named = (dir_ / "named.wav").string();
  EXPECT_EQ(error("named.wav", Bytes{}).rfind("wav file '" + named + "'", 0), 0u);
}

TEST(WavParse, NeverReadsOutsideMalformedImages) {
  // Every truncation and every corrupted length field of a valid image is
  // either read or refused with a message; the sanitizers catch stray reads.
  Bytes good = MakeWav(1, 2, 8000, 16, Pcm16({1, 2, 3, 4, 5, 6, 7, 8}));
  platform::WavSound s;
  for (std::size_t n = 0; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    std::string e = platform::ParseWav(cut, "cut", s);
    if (!e.empty()) {
      EXPECT_EQ(e.rfind("wav file 'cut': ", 0), 0u);
    }
  }
  for (std::size_t at : {4u, 16u, 40u}) {
    for (std::uint32_t len : {0u, 1u, 15u, 17u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
      Bytes bad = good;
      for (int i = 0; i < 4; ++i) bad[at + i] = static_cast<std::uint8_t>(len >> (8 * i));
      std::string e = platform::ParseWav(bad, "bad", s);
      if (e.empty()) {
        EXPECT_GT(s.Frames(), 0u);
      }
    }
  }
  // A data chunk longer than the file is read as far as it goes.
  Bytes longer = good;
  longer[40] = 0xFF;
  ASSERT_EQ(platform::ParseWav(longer, "long", s), "");
  EXPECT_EQ(s.source_rate, 8000);
}

TEST(WavParse, ChunkIdsFromTheFileAreQuotedAsPrintableText) {
  // An unknown chunk whose ID holds control and non-ASCII bytes and whose
  // length runs past the end of the file: the message names the chunk with
  // those bytes escaped, so stderr stays valid UTF-8.
  Bytes b;
  Tag(b, "RIFF");
  Put(b, 4 + 8 + 2, 4);
  Tag(b, "WAVE");
  b.insert(b.end(), {0x01, 0xFF, 'a', 0x80});
  Put(b, 100, 4);
  b.insert(b.end(), {0, 0});
  platform::WavSound s;
  const std::string e = platform::ParseWav(b, "x.wav", s);
  EXPECT_EQ(e, "wav file 'x.wav': truncated \\x01\\xFFa\\x80 chunk");
  EXPECT_TRUE(platform::IsValidUtf8(e));

  // A printable ID is quoted as it is; one of UTF-8 bytes is still escaped
  // (a chunk ID is ASCII), and so is a file name that is not valid UTF-8.
  b[12] = 'L', b[13] = 'I', b[14] = 'S', b[15] = 'T';
  EXPECT_EQ(platform::ParseWav(b, "x.wav", s), "wav file 'x.wav': truncated LIST chunk");
  b[12] = '\xC3', b[13] = '\xA9', b[14] = ' ', b[15] = '\\';
  EXPECT_EQ(platform::ParseWav(b, "n\xE9.wav", s),
            "wav file 'n\\xE9.wav': truncated \\xC3\\xA9 \\ chunk");
}

TEST(WavParse, SoundsLongerThanAnHourAreRefusedBeforeTheyAreResampled) {
  // 3601 frames at 1 Hz would become 159 million frames at 44100 Hz.
  Bytes data(3601, 128);
  platform::WavSound s;
  EXPECT_EQ(platform::ParseWav(MakeWav(1, 1, 1, 8, data), "slow.wav", s),
            "wav file 'slow.wav': too long: 3601 s (at most 3600 s)");
  data.resize(10);
  EXPECT_EQ(platform::ParseWav(MakeWav(1, 1, 1, 8, data), "ok.wav", s), "");
  EXPECT_EQ(s.Frames(), 10u * 44100u);
}

TEST(WavParse, ReportsTheSpanTheSamplesCameFrom) {
  Bytes extra;
  Tag(extra, "junk");
  Put(extra, 2, 4);
  extra.insert(extra.end(), {9, 9});
  Bytes image = MakeWav(1, 2, 44100, 16, Pcm16({1, 2, 3, 4, 5}), extra);  // 2.5 frames
  platform::WavSound s;
  ASSERT_EQ(platform::ParseWav(image, "w", s), "");
  EXPECT_EQ(s.data_offset, 12u + 10u + 24u + 8u);
  EXPECT_EQ(s.data_bytes, 8u);  // whole frames only
  EXPECT_EQ(s.samples, (std::vector<std::int16_t>{1, 2, 3, 4}));
}

}  // namespace
