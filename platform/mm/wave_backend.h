// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a sound card has to provide behind the waveIn*/waveOut* calls. The
// calls themselves check handles, header states and formats; a backend sees
// only requests that passed those checks. Handles are numbers a backend
// hands out and never reuses, in and out from one sequence.
#include <cstdint>

#include "platform/mm/mmsystem.h"

namespace platform {

enum class WaveDir { In, Out };

class WaveBackend {
 public:
  virtual ~WaveBackend() = default;

  virtual UINT DeviceCount(WaveDir dir) = 0;
  // Format already checked. With WAVE_FORMAT_QUERY nothing is opened.
  virtual MMRESULT Open(WaveDir dir, UINT device, const WAVEFORMATEX& format, HWND callback,
                        DWORD flags, std::uintptr_t* handle) = 0;
  // MMSYSERR_NOERROR for a live handle of that direction; otherwise the
  // code every call on it returns (MMSYSERR_INVALHANDLE, MMSYSERR_NODRIVER).
  virtual MMRESULT Check(WaveDir dir, std::uintptr_t handle) = 0;
  virtual MMRESULT Prepare(WaveDir dir, std::uintptr_t handle, WAVEHDR* header) = 0;
  // Input: queue for recording. Output: queue for playing (waveOutWrite).
  virtual MMRESULT Queue(WaveDir dir, std::uintptr_t handle, WAVEHDR* header) = 0;
  virtual MMRESULT Start(std::uintptr_t in_handle) = 0;
  virtual MMRESULT Pause(std::uintptr_t out_handle) = 0;
  virtual MMRESULT Restart(std::uintptr_t out_handle) = 0;
  virtual MMRESULT Reset(WaveDir dir, std::uintptr_t handle) = 0;
  // Validates the handle itself: a vanished device may still be closed.
  virtual MMRESULT Close(WaveDir dir, std::uintptr_t handle) = 0;
  // Whether that direction's device is missing now that it has been asked
  // for (a sound server gone away, a device that vanished). Asked on the GUI
  // thread; a change is told with NoteDeviceChange.
  virtual bool Lost(WaveDir) const { return false; }
};

// The backend the wave calls go to: the one a card installs here (not
// owned), or with none (nullptr) a backend without devices.
void SetWaveBackend(WaveBackend* backend);
WaveBackend& ActiveWaveBackend();

}  // namespace platform
