#pragma once
// Writes 16-bit PCM WAV files as they grow: the header's sizes are brought
// up to date after every append, so the file is complete at any moment.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

class WavWriter {
 public:
  // Empty on success, else a message naming the file.
  std::string Create(const std::string& path, int channels, int rate);
  bool IsOpen() const { return file_ != nullptr; }
  int Channels() const { return channels_; }
  void Append(const std::int16_t* interleaved, std::size_t frames);
  std::uint64_t FramesWritten() const { return frames_; }
  void Close() { file_.reset(); }

 private:
  void WriteHeader();
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  int channels_ = 0;
  int rate_ = 0;
  std::uint64_t frames_ = 0;
};

}  // namespace platform
