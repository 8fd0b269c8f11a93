// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Playback volumes: the wave output (device 0) and the auxiliary devices 1
// to 5. A volume is a DWORD with the left channel in the low word and the
// right channel in the high word. The calls go to the volume backend a card
// installs; before one is installed there is no volume.
#include "platform/mm/mmsystem.h"

MMRESULT waveOutGetVolume(HWAVEOUT hwo, DWORD* pdwVolume);
MMRESULT waveOutSetVolume(HWAVEOUT hwo, DWORD dwVolume);
MMRESULT auxGetVolume(UINT uDeviceID, DWORD* pdwVolume);
MMRESULT auxSetVolume(UINT uDeviceID, DWORD dwVolume);

namespace platform {

inline constexpr int kFirstAuxDevice = 1;
inline constexpr int kLastAuxDevice = 5;

class VolumeBackend {
 public:
  virtual ~VolumeBackend() = default;
  // `device` 0 is the wave output, 1..5 the auxiliary devices.
  virtual MMRESULT Get(int device, DWORD* volume) = 0;
  virtual MMRESULT Set(int device, DWORD volume) = 0;
};

// Not owned; nullptr: none.
void SetVolumeBackend(VolumeBackend* backend);

}  // namespace platform
