// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The virtual card's playback volumes: the wave output (device 0) and the
// auxiliary devices 1 to 5. They start with distinct values (and distinct
// left and right words), so a restore that mixes devices or channels up
// shows. Its mixer shows them as the volumes of its sources.
#include "platform/mm/volume.h"

namespace platform {

class VirtualVolumes final : public VolumeBackend {
 public:
  VirtualVolumes();
  MMRESULT Get(int device, DWORD* volume) override;
  MMRESULT Set(int device, DWORD volume) override;

 private:
  DWORD values_[kLastAuxDevice + 1];
};

// A device's start-up volume.
DWORD InitialVirtualVolume(int device);

// The volumes of this process's virtual card, for tests.
DWORD VirtualVolume(int device);
void SetVirtualVolume(int device, DWORD volume);

}  // namespace platform
