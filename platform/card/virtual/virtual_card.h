// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The built-in virtual sound card: one wave output and one wave input
// device, run on the device clock and scheduler (virtual time in headless
// runs, real time otherwise; never a thread of its own), its playback
// volumes and its mixer. It is a card as card.h has one: the skeleton to
// copy for a new card (see this folder's README).
//
// Inputs: the card's left input (first sample of a frame, the instrument's
// channel R) takes the source of side 'r', its right input (second sample,
// channel L) the source of side 'l'; see input_source.h for the sources.
// The output can be captured into a 16-bit WAV file in the channel count and
// frame rate of the first output opened after the capture was set.
//
// Faults for tests: opens, starts, prepares and queue calls that fail with
// a chosen code, and a device that vanishes: its queued buffers come back at
// once (recorded data so far, DONE/DATA posted), every later call on its
// handle fails with MMSYSERR_NODRIVER except the close, which succeeds so
// the stream can release itself, and new opens of it fail with
// MMSYSERR_NODRIVER until RestoreDevice.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/card/card.h"
#include "platform/card/input_recorder.h"
#include "platform/card/virtual/circuit_input.h"
#include "platform/card/virtual/input_source.h"
#include "platform/card/virtual/output_history.h"
#include "platform/card/virtual/virtual_in_device.h"
#include "platform/card/virtual/virtual_mixer.h"
#include "platform/card/virtual/virtual_out_device.h"
#include "platform/card/virtual/virtual_volumes.h"
#include "platform/card/wav_writer.h"
#include "platform/mm/wave_backend.h"

namespace platform {

class VirtualCard final : public Card, public WaveBackend {
 public:
  VirtualCard();
  ~VirtualCard() override;

  // Card: --signal-r, --signal-l, --circuit, --output-wav, --record-input, --mixer.
  std::string SetUp(const PlatformOptions& options) override;
  std::string OpenOutputs(const PlatformOptions& options) override;
  void Install() override;
  void Finish() override;
  void List(const PlatformOptions& options) override;
  void DumpCard(JsonWriter& w) override;
  std::string SetSignal(char side, const std::string& source) override;
  std::string ChangeMixer(const std::string& line, const std::string& control,
                          const std::string& value) override;
  std::string CheckSignal(char side, const std::string& source) override;
  std::string CheckMixer(const std::string& line, const std::string& control,
                         const std::string& value) override;
  std::string StartRecording(const std::string& path) override { return RecordInput(path); }
  void StopRecording() override;
  bool Recording() const override { return recorder_.IsOpen(); }
  std::string Name() const override { return "virtual"; }
  void SetCaptureTap(CaptureTap tap) override { recorder_.SetTap(std::move(tap)); }
  std::string CircuitText() const override { return circuit_ ? circuit_->Description().text : ""; }
  std::optional<std::int64_t> TapFrameOfNextOutput() const override;

  VirtualVolumes& Volumes() { return volumes_; }
  VirtualMixer& Mixer() { return mixer_; }

  // WaveBackend
  UINT DeviceCount(WaveDir dir) override;
  MMRESULT Open(WaveDir dir, UINT device, const WAVEFORMATEX& format, HWND callback, DWORD flags,
                std::uintptr_t* handle) override;
  MMRESULT Check(WaveDir dir, std::uintptr_t handle) override;
  MMRESULT Prepare(WaveDir dir, std::uintptr_t handle, WAVEHDR* header) override;
  MMRESULT Queue(WaveDir dir, std::uintptr_t handle, WAVEHDR* header) override;
  MMRESULT Start(std::uintptr_t in_handle) override;
  MMRESULT Pause(std::uintptr_t out_handle) override;
  MMRESULT Restart(std::uintptr_t out_handle) override;
  MMRESULT Reset(WaveDir dir, std::uintptr_t handle) override;
  MMRESULT Close(WaveDir dir, std::uintptr_t handle) override;
  bool Lost(WaveDir dir) const override;

  // Both inputs across the circuit `text` describes (circuit_parser.h), for
  // good: empty on success, else where its description is wrong.
  std::string SetCircuit(const std::string& text);
  // Sources: side 'r' or 'l' (either case). Empty on success, else why not
  // (also while a circuit drives the inputs).
  std::string SetInputSource(char side, const std::string& source);
  std::string InputSourceText(char side) const;
  // Empty on success, else why the file cannot be written.
  std::string CaptureOutput(const std::string& path);
  void StopCapture();
  // --record-input: the inputs from the frame under way on (frame 0 at the
  // start of a program) into a WAV file (input_recorder.h); empty on
  // success, else why the file cannot be written. StopRecording records up
  // to the present and closes it.
  std::string RecordInput(const std::string& path);
  std::uint64_t FramesRecorded() const { return recorder_.Frames(); }
  const std::string& RecordingPath() const { return recorder_.Path(); }

  // Fault injection. `times` opens/starts from now fail; the n-th prepare or
  // queue call (waveInAddBuffer / waveOutWrite) from now fails (1 = next).
  void FailOpens(WaveDir dir, MMRESULT code, int times = 1);
  void FailStarts(MMRESULT code, int times = 1);
  void FailPrepare(WaveDir dir, int nth, MMRESULT code);
  void FailQueue(WaveDir dir, int nth, MMRESULT code);
  void VanishDevice(WaveDir dir);
  void RestoreDevice(WaveDir dir);

  // Counters and state, for the dump and for tests.
  std::int64_t OutputFramesPlayed() const { return out_.FramesPlayed(); }
  int InputRunsStarted() const { return runs_started_; }
  std::int64_t InputBuffersRecorded() const { return in_.BuffersRecorded(); }
  bool IsOpen(WaveDir dir) const;
  std::size_t QueuedBuffers(WaveDir dir) const;
  bool OutputPaused() const { return out_.Paused(); }
  std::string Describe() const;

 private:
  // Why side `side` takes no source now: empty, or the message.
  std::string InputFault(char side) const;
  struct Countdown {
    int nth = 0;  // 0: not armed
    MMRESULT code = MMSYSERR_NOERROR;
    MMRESULT Next();
  };
  struct Faults {
    int open_times = 0;
    MMRESULT open_code = MMSYSERR_NOERROR;
    Countdown prepare, queue;
    bool vanished = false;
  };
  Faults& FaultsOf(WaveDir dir) { return dir == WaveDir::In ? in_faults_ : out_faults_; }
  const Faults& FaultsOf(WaveDir dir) const {
    return dir == WaveDir::In ? in_faults_ : out_faults_;
  }
  std::uintptr_t HandleOf(WaveDir dir) const;

  VirtualVolumes volumes_;
  VirtualMixer mixer_{volumes_};
  InputSource sources_[2];  // [0] left input (side 'r'), [1] right input (side 'l')
  OutputHistory history_;
  std::unique_ptr<CircuitInput> circuit_;
  WavWriter capture_;
  std::string capture_path_;
  InputRecorder recorder_;
  std::int64_t recorder_base_ = 0;  // absolute frame of the recorder's first
  bool capture_format_fixed_ = false;
  VirtualOutDevice out_;
  VirtualInDevice in_;
  Faults in_faults_, out_faults_;
  int start_fail_times_ = 0;
  MMRESULT start_fail_code_ = MMSYSERR_NOERROR;
  int runs_started_ = 0;
};

// The virtual card of this process. ResetVirtualCard replaces it with a
// fresh one (silent inputs, no faults, counters 0, volumes at their start
// values, its mixer present) and installs it; handles of the old card are
// invalid afterwards.
VirtualCard& TheVirtualCard();
void ResetVirtualCard();

// Shorthands for the platform's command line and the headless script.
std::string SetInputSource(char side, const std::string& source);
std::string InputSourceText(char side);
std::string CaptureOutputToWav(const std::string& path);

}  // namespace platform
