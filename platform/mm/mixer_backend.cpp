// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/mixer_backend.h"

namespace platform {

namespace {
// Before a card is installed there is no mixer device.
class NoMixer final : public MixerBackend {
 public:
  UINT DeviceCount() override { return 0; }
  MMRESULT Caps(UINT, MIXERCAPSA&) override { return MMSYSERR_BADDEVICEID; }
  MMRESULT Open(UINT, HWND, std::uintptr_t*) override { return MMSYSERR_BADDEVICEID; }
  MMRESULT DeviceOf(std::uintptr_t, UINT*) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT Close(std::uintptr_t) override { return MMSYSERR_INVALHANDLE; }
  MMRESULT LineInfo(UINT, MIXERLINEA&, DWORD) override { return MMSYSERR_BADDEVICEID; }
  MMRESULT LineControls(UINT, MIXERLINECONTROLSA&, DWORD) override { return MMSYSERR_BADDEVICEID; }
  MMRESULT ControlValues(UINT, MIXERCONTROLDETAILS&) override { return MMSYSERR_BADDEVICEID; }
};

NoMixer none;
MixerBackend* chosen = nullptr;
}  // namespace

void SetMixerBackend(MixerBackend* backend) { chosen = backend; }

MixerBackend& ActiveMixerBackend() { return chosen ? *chosen : none; }

}  // namespace platform
