// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/wave_backend.h"

namespace platform {

namespace {
// Before a card is installed there is no device.
class NoWave final : public WaveBackend {
 public:
  UINT DeviceCount(WaveDir) override { return 0; }
  MMRESULT Open(WaveDir, UINT, const WAVEFORMATEX&, HWND, DWORD, std::uintptr_t*) override {
    return MMSYSERR_NODRIVER;
  }
  MMRESULT Check(WaveDir, std::uintptr_t) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Prepare(WaveDir, std::uintptr_t, WAVEHDR*) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Queue(WaveDir, std::uintptr_t, WAVEHDR*) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Start(std::uintptr_t) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Pause(std::uintptr_t) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Restart(std::uintptr_t) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Reset(WaveDir, std::uintptr_t) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Close(WaveDir, std::uintptr_t) override { return MMSYSERR_INVALHANDLE; }
};

NoWave none;
WaveBackend* chosen = nullptr;
}  // namespace

void SetWaveBackend(WaveBackend* backend) { chosen = backend; }

WaveBackend& ActiveWaveBackend() { return chosen ? *chosen : none; }

}  // namespace platform
