#pragma once
// The virtual card's output: plays the written buffers one after another at
// the output's frame rate on the device clock and returns each, in order,
// when its last frame has played. Playing begins on the next frame boundary
// of the output's frame grid and runs on without a gap while buffers are
// queued. What plays goes into the loopback history and, when set, the
// capture file.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/base/timebase.h"
#include "platform/card/virtual/output_history.h"
#include "platform/card/virtual/virtual_device.h"
#include "platform/card/wav_writer.h"
#include "platform/mm/mmsystem.h"

namespace platform {

class VirtualOutDevice final : public VirtualDevice {
 public:
  VirtualOutDevice(OutputHistory& history, WavWriter& capture);

  void Open(std::uintptr_t handle, const WAVEFORMATEX& format, HWND callback);
  MMRESULT Close();
  void Write(WAVEHDR* header);
  void Pause();
  void Restart();
  // Returns every queued buffer at once, the one playing cut where it is.
  void Reset();

  bool Paused() const { return paused_; }
  bool Playing() const { return stretch_; }
  std::int64_t FramesPlayed() const { return frames_played_; }
  // The grid frame at which the next frame written will play, if the
  // output has played since it was opened and keeps playing without a gap.
  std::optional<std::int64_t> GridFrameOfNextWrite() const;

 private:
  void Begin(Nanos now);
  void Finish();
  void Cut(Nanos now);
  void Played(const WAVEHDR* h, std::int64_t from, std::int64_t to);

  OutputHistory& history_;
  WavWriter& capture_;
  bool paused_ = false;
  bool stretch_ = false;            // the head buffer is playing
  std::int64_t head_pos_ = 0;       // head frames played before this stretch
  std::int64_t stretch_start_ = 0;  // grid frame at which head frame head_pos_ plays
  std::int64_t frames_played_ = 0;
  std::int64_t written_ = 0;                      // frames written since the open
  std::int64_t head_index_ = 0;                   // the head buffer's first frame among them
  std::optional<std::int64_t> grid_minus_index_;  // of the frames of the present stretch
  std::vector<std::int16_t> convert_;             // capture scratch, grows to the largest buffer
};

}  // namespace platform
