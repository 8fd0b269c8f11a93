// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual card's input: records continuously from waveInStart on the
// device clock. Frame j of a run is recorded during
// [start + FrameTime(j), start + FrameTime(j + 1)); queued buffers are
// filled in queue order from the recording position and each is returned
// when its last frame has been recorded. Frames recorded while no buffer is
// queued are lost, as on a real card. The first sample of a frame is the
// card's left input (source 0), the second its right input (source 1).
#include <cstdint>
#include <vector>

#include "platform/base/timebase.h"
#include "platform/card/input_recorder.h"
#include "platform/card/virtual/circuit_input.h"
#include "platform/card/virtual/input_source.h"
#include "platform/card/virtual/output_history.h"
#include "platform/card/virtual/virtual_device.h"
#include "platform/mm/mmsystem.h"

namespace platform {

class VirtualInDevice final : public VirtualDevice {
 public:
  VirtualInDevice(const InputSource* sources /* [2] */, const OutputHistory& loopback);

  void Open(std::uintptr_t handle, const WAVEFORMATEX& format, HWND callback);
  MMRESULT Close();
  void Add(WAVEHDR* header);
  void Start();
  // Stops recording and returns every queued buffer, the one being
  // recorded with the frames it holds so far.
  void Reset();

  // Buffers returned whole (not cut short by a reset), since the device was made.
  std::int64_t BuffersRecorded() const { return buffers_recorded_; }
  bool Recording() const { return recording_; }

  // --record-input: frames from absolute frame `from` on go to `recorder`
  // (or to none). A run's frames are recorded as its buffers are filled,
  // exactly as delivered; the frames before and between runs as the inputs
  // had them, so that frame n of the file is absolute frame from + n
  // (input_recorder.h).
  void SetRecorder(InputRecorder* recorder, std::int64_t from = 0);
  // Both inputs across a circuit driven by the output, instead of their
  // sources (or not, with none).
  void SetCircuit(CircuitInput* circuit) { circuit_ = circuit; }
  // Records the inputs up to absolute frame `end` (exclusive), at 44100.
  void RecordUpTo(std::int64_t end);

 private:
  // Relative frame j's sample of one input.
  std::int16_t Sample(int input, std::int64_t j) const;
  // Absolute frame n's sample of one input at the recorder's rate, as the
  // input had it whether or not a run recorded it.
  std::int16_t InputAt(int input, std::int64_t n) const;
  void Fill(WAVEHDR* h, std::int64_t count);
  void ScheduleHead();
  void CompleteHead();
  void Return(WAVEHDR* h, std::int64_t frames);

  const InputSource* sources_;
  const OutputHistory& loopback_;
  CircuitInput* circuit_ = nullptr;
  bool recording_ = false;
  Nanos start_time_ = 0;
  std::int64_t start_frame_ = 0;  // absolute frame index of the run's frame 0
  std::int64_t cursor_ = 0;       // next run frame not yet given to a buffer
  std::int64_t head_first_ = 0;   // run frame the head buffer begins with
  std::int64_t buffers_recorded_ = 0;
  InputRecorder* recorder_ = nullptr;
  std::int64_t recorded_ = 0;             // absolute frames recorded so far
  std::vector<std::int16_t> record_buf_;  // reused
};

}  // namespace platform
