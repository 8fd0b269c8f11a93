#include "platform/mm/volume.h"

namespace platform {

namespace {

constexpr int kDevices = kLastAuxDevice + 1;

class VirtualVolumes final : public VolumeBackend {
 public:
  VirtualVolumes() { Reset(); }
  MMRESULT Get(int device, DWORD* volume) override {
    if (device < 0 || device >= kDevices) return MMSYSERR_BADDEVICEID;
    if (volume == nullptr) return MMSYSERR_INVALPARAM;
    *volume = values_[device];
    return MMSYSERR_NOERROR;
  }
  MMRESULT Set(int device, DWORD volume) override {
    if (device < 0 || device >= kDevices) return MMSYSERR_BADDEVICEID;
    values_[device] = volume;
    return MMSYSERR_NOERROR;
  }
  void Reset() {
    for (int d = 0; d < kDevices; ++d) values_[d] = InitialVirtualVolume(d);
  }

 private:
  DWORD values_[kDevices];
};

VirtualVolumes& Virtual() {
  static VirtualVolumes volumes;
  return volumes;
}

VolumeBackend* chosen = nullptr;

VolumeBackend& Active() { return chosen ? *chosen : Virtual(); }

}  // namespace

void SetVolumeBackend(VolumeBackend* backend) { chosen = backend; }

DWORD InitialVirtualVolume(int device) {
  // Wave output: right 0xC000, left 0xB000; aux n: right 0x4000 + n * 0x1000,
  // left 0x1000 lower.
  if (device == 0) return 0xC000B000u;
  const DWORD right = 0x4000u + 0x1000u * static_cast<DWORD>(device);
  const DWORD left = 0x3000u + 0x1000u * static_cast<DWORD>(device);
  return (right << 16) | left;
}

DWORD VirtualVolume(int device) {
  DWORD v = 0;
  Virtual().Get(device, &v);
  return v;
}

void SetVirtualVolume(int device, DWORD volume) { Virtual().Set(device, volume); }

void ResetVirtualVolumes() { Virtual().Reset(); }

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
