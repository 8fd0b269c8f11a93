// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/virtual_volumes.h"

#include "platform/card/virtual/virtual_card.h"

namespace platform {

VirtualVolumes::VirtualVolumes() {
  for (int d = 0; d <= kLastAuxDevice; ++d) values_[d] = InitialVirtualVolume(d);
}

MMRESULT VirtualVolumes::Get(int device, DWORD* volume) {
  if (device < 0 || device > kLastAuxDevice) return MMSYSERR_BADDEVICEID;
  if (volume == nullptr) return MMSYSERR_INVALPARAM;
  *volume = values_[device];
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualVolumes::Set(int device, DWORD volume) {
  if (device < 0 || device > kLastAuxDevice) return MMSYSERR_BADDEVICEID;
  values_[device] = volume;
  return MMSYSERR_NOERROR;
}

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
  TheVirtualCard().Volumes().Get(device, &v);
  return v;
}

void SetVirtualVolume(int device, DWORD volume) { TheVirtualCard().Volumes().Set(device, volume); }

}  // namespace platform
