// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/wav_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/card/virtual/sound_file.h"

namespace {

using Samples = std::vector<std::int16_t>;

// The writer behind --record-input and --output-wav: a WAV file that
// libsndfile reads at any moment, and past the most a header can count, a
// header that stays at its largest with the further frames after it.
TEST(WavWriter, KeepsTheHeaderValidAndStopsItsCountAtTheLimit) {
  char folder[] = "/tmp/osciloskop-wav-writer-XXXXXX";
  const std::string dir = ::mkdtemp(folder), file = dir + "/w.wav";
  platform::WavWriter writer(10 * 4);  // a header that counts 10 stereo frames
  ASSERT_EQ(writer.Create(file, 2, 44100), "");
  Samples frames;
  for (int i = 0; i < 2 * 13; ++i) frames.push_back(static_cast<std::int16_t>(i * 1000 - 9000));
  writer.Append(frames.data(), 6);
  platform::Sound left, right;
  ASSERT_EQ(platform::ReadSoundFile(file, 1, right), "") << "readable while open";
  EXPECT_EQ(right.samples, (Samples{-8000, -6000, -4000, -2000, 0, 2000}));
  writer.Append(frames.data() + 12, 7);
  EXPECT_EQ(writer.FramesWritten(), 13u);
  ASSERT_EQ(platform::ReadSoundFile(file, 0, left), "");
  EXPECT_EQ(left.samples.size(), 10u) << "what the header counts";
  writer.Close();
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(bytes.size(), 44u + 13 * 4);
  EXPECT_EQ(bytes.substr(40, 4), std::string("\x28\0\0\0", 4)) << "data: 40 bytes";
  // The frames past the count (16-bit little-endian, as this machine's).
  EXPECT_EQ(std::memcmp(bytes.data() + 44 + 40, frames.data() + 20, 12), 0);

  ASSERT_EQ(::mkfifo((dir + "/fifo.wav").c_str(), 0600), 0);
  for (const std::string& bad : {dir + "/none/w.wav", dir + "/fifo.wav", dir})
    EXPECT_EQ(writer.Create(bad, 2, 44100).rfind("cannot write '" + bad + "': ", 0), 0u) << bad;
  EXPECT_FALSE(writer.IsOpen());
  std::filesystem::remove_all(dir);
}

}  // namespace
