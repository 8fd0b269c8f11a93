#pragma once
// The real sound card: wave streams over an ALSA PCM device. Each open
// stream has a device thread of its own that moves the queued buffers, in
// order, between the buffers and the PCM (non-blocking I/O, woken through
// an event descriptor), marks each finished header and posts the stream's
// messages to its callback window. A header is done for output when all its
// frames are in the PCM's ring, for input when it is full.
//
// Start, reset, pause and restart are handed to the device thread and
// waited for, so that when Reset returns every buffer is back (DONE/DATA
// posted) and the thread no longer touches any of them. A device that fails while
// running (an error snd_pcm_recover cannot mend) gives its queued buffers
// back; every later call on its handle answers MMSYSERR_NODRIVER except the
// close, which succeeds.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/wave/wave_backend.h"

namespace platform {

// What an ALSA error code means for an open of a wave device.
MMRESULT OpenErrorToMmresult(int alsa_error);

// The PCM name that --card=alsa[:DEVICE] names ("alsa" alone: "default").
std::string AlsaDeviceFromCardOption(const std::string& card);

class AlsaWaveBackend final : public WaveBackend {
 public:
  explicit AlsaWaveBackend(std::string device = "default");
  // Stops and joins every stream still open; posts nothing.
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

  const std::string& DeviceName() const { return device_; }
  // The ALSA text of the last failed open, or of a failed stream once it is
  // closed; empty if none.
  std::string LastError() const;
  // Called (on the calling thread of Open) once with each distinct failure text.
  void SetErrorLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

  // Counters and state, for the dump and for tests.
  std::size_t OpenStreams() const;
  std::int64_t FramesTransferred(std::uintptr_t handle) const;
  int XrunsRecovered(std::uintptr_t handle) const;
  std::string Describe() const;

  // Fault injection for tests: the stream's next PCM transfer fails with
  // this (negative) ALSA error code instead of reaching the device.
  void InjectTransferError(std::uintptr_t handle, int alsa_error);

  class Stream;

 private:
  Stream* Find(WaveDir dir, std::uintptr_t handle) const;
  void NoteError(const std::string& text);

  std::string device_;
  std::function<void(const std::string&)> log_;
  mutable std::mutex mutex_;  // guards streams_ and last_error_
  std::map<std::uintptr_t, std::unique_ptr<Stream>> streams_;
  std::string last_error_;
  std::set<std::string> told_;
};

// True when the named PCM can be opened for that direction with that
// format right now (opened and closed again at once).
bool AlsaPcmUsable(const std::string& device, WaveDir dir, const WAVEFORMATEX& format);

}  // namespace platform
