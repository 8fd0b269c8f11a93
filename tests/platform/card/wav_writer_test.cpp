#include "platform/card/wav_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("osciloskop-wav-writer-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto Path = [&](const std::string& name) { return (dir / name).string(); };
  platform::WavWriter writer(10 * 4);  // a header that counts 10 stereo frames
  ASSERT_EQ(writer.Create(Path("w.wav"), 2, 44100), "");
  Samples frames;
  for (int i = 0; i < 2 * 13; ++i) frames.push_back(static_cast<std::int16_t>(i * 1000 - 9000));
  writer.Append(frames.data(), 6);
  platform::Sound left, right;
  ASSERT_EQ(platform::ReadSoundFile(Path("w.wav"), 1, right), "") << "readable while open";
  EXPECT_EQ(right.samples, (Samples{-8000, -6000, -4000, -2000, 0, 2000}));
  writer.Append(frames.data() + 12, 7);
  EXPECT_EQ(writer.FramesWritten(), 13u);
  ASSERT_EQ(platform::ReadSoundFile(Path("w.wav"), 0, left), "");
  EXPECT_EQ(left.samples.size(), 10u) << "what the header counts";
  writer.Close();
  std::ifstream in(Path("w.wav"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 44u + 13 * 4);
  EXPECT_EQ(bytes.substr(40, 4), std::string("\x28\0\0\0", 4)) << "data: 40 bytes";
  for (int i = 20; i < 26; ++i)  // the frames past the count, as 16-bit little-endian
    EXPECT_EQ(static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[44 + 2 * i]) |
                                        static_cast<std::uint8_t>(bytes[45 + 2 * i]) << 8),
              frames[i]);

  ASSERT_EQ(::mkfifo(Path("fifo.wav").c_str(), 0600), 0);
  for (const std::string& bad : {Path("none/w.wav"), Path("fifo.wav"), dir.string()})
    EXPECT_EQ(writer.Create(bad, 2, 44100).rfind("cannot write '" + bad + "': ", 0), 0u) << bad;
  EXPECT_FALSE(writer.IsOpen());
  std::filesystem::remove_all(dir);
}

}  // namespace
