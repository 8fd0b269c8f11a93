// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real sound card's wave streams over ALSA PCM devices, usually a sound
// server (PipeWire, PulseAudio) behind ALSA's "default".
//
// Each direction has one AlsaPcmDevice (a PCM and its device thread) and at
// most one stream at a time. The capture PCM is opened at the first
// waveInOpen and kept running until the backend goes, so that every
// recording run starts on real audio; a stream opened later attaches to it at
// once. The playback PCM lives as long as its stream. Buffers are moved in
// order, each finished header is marked and its message posted to the
// stream's callback window, as the system would.
//
// A device that fails is reported once and reopened every second without
// blocking the caller; meanwhile an open answers the code of the failure at
// once. A capture stream whose device fails gives its queued buffers back and
// answers MMSYSERR_NODRIVER to every later call except the close, which
// succeeds; a playback stream goes on at the frame rate, unaware.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/card/alsa/alsa_pcm_device.h"
#include "platform/mm/wave_backend.h"

namespace platform {

class AlsaWaveBackend final : public WaveBackend {
 public:
  explicit AlsaWaveBackend(std::string device = "default");
  // Stops every device thread; posts nothing more.
  ~AlsaWaveBackend() override;
  AlsaWaveBackend(const AlsaWaveBackend&) = delete;
  AlsaWaveBackend& operator=(const AlsaWaveBackend&) = delete;

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
  // The device's PCM is away (reopened every second), or an output's last
  // open failed.
  bool Lost(WaveDir dir) const override;

  const std::string& DeviceName() const { return device_; }
  // The last failure told (a failed open, a lost device), empty if none.
  std::string LastError() const;
  // Called once with each distinct text of a failure, from any thread.
  void SetErrorLog(std::function<void(const std::string&)> log);

  // For the dump and for tests.
  std::size_t OpenStreams() const;
  const AlsaPcmCounters& Counters(WaveDir dir) const { return counters_[Index(dir)]; }
  std::string Describe(WaveDir dir) const;
  PcmGeometry Geometry(WaveDir dir) const;
  // The device's next PCM transfer fails with this (negative) ALSA code.
  void InjectTransferError(WaveDir dir, int alsa_error);
  // --record-input: every frame the capture PCM reads also goes to
  // `recorder`, which must outlive the backend's device threads.
  void SetInputRecorder(InputRecorder* recorder);
  // Where the next frame queued on the output will be recorded, counted as
  // the recorder's tap counts, from both PCMs' delays; `path_frames` is what
  // the way from the output to the inputs adds. Empty unless both
  // directions run and capture at the recorder's rate.
  std::optional<std::int64_t> TapFrameOfNextOutput(std::int64_t path_frames) const;

 private:
  static int Index(WaveDir dir) { return dir == WaveDir::In ? 0 : 1; }
  void Tell(const std::string& text, AlsaPcmDevice::Tell kind);
  void StopDevice(std::unique_ptr<AlsaPcmDevice>& device);
  AlsaPcmDevice* Attached(WaveDir dir, std::uintptr_t handle) const;

  std::string device_;
  AlsaPcmCounters counters_[2];
  std::unique_ptr<AlsaPcmDevice> devices_[2];
  InputRecorder* recorder_ = nullptr;
  std::uintptr_t attached_[2] = {0, 0};
  bool open_failed_[2] = {false, false};
  HWND callbacks_[2] = {};

  mutable std::mutex log_mutex_;  // the device threads tell too
  std::function<void(const std::string&)> log_;
  std::string last_error_;
  std::set<std::string> told_;
};

}  // namespace platform
