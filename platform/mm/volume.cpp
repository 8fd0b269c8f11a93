// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/volume.h"

namespace platform {

namespace {

// Before a card is installed there is no volume to read or set.
class NoVolumes final : public VolumeBackend {
 public:
  MMRESULT Get(int, DWORD*) override { return MMSYSERR_NODRIVER; }
  MMRESULT Set(int, DWORD) override { return MMSYSERR_NODRIVER; }
};

NoVolumes none;
VolumeBackend* chosen = nullptr;

VolumeBackend& Active() { return chosen ? *chosen : none; }

}  // namespace

void SetVolumeBackend(VolumeBackend* backend) { chosen = backend; }

}  // namespace platform

MMRESULT waveOutGetVolume(HWAVEOUT hwo, DWORD* pdwVolume) {
  // The null handle names device 0, as does an open handle of it.
  (void)hwo;
  return platform::Active().Get(0, pdwVolume);
}

MMRESULT waveOutSetVolume(HWAVEOUT hwo, DWORD dwVolume) {
  (void)hwo;
  return platform::Active().Set(0, dwVolume);
}

MMRESULT auxGetVolume(UINT uDeviceID, DWORD* pdwVolume) {
  if (uDeviceID < platform::kFirstAuxDevice || uDeviceID > platform::kLastAuxDevice)
    return MMSYSERR_BADDEVICEID;
  return platform::Active().Get(static_cast<int>(uDeviceID), pdwVolume);
}

MMRESULT auxSetVolume(UINT uDeviceID, DWORD dwVolume) {
  if (uDeviceID < platform::kFirstAuxDevice || uDeviceID > platform::kLastAuxDevice)
    return MMSYSERR_BADDEVICEID;
  return platform::Active().Set(static_cast<int>(uDeviceID), dwVolume);
}
