// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a sound card has to provide behind the mixer* calls. The calls check
// the records (cbStruct, sizes, pointers), the flags and the device IDs,
// and turn a handle into its device; a backend sees only requests that
// passed those checks. Handles are numbers a backend hands out and never
// reuses.
//
// A backend posts MM_MIXM_LINE_CHANGE and MM_MIXM_CONTROL_CHANGE (wParam the
// handle, lParam the line or control ID) to the callback window of every
// open handle of the device whose line or control changed; it may post
// from any thread.
#include <cstdint>

#include "platform/mm/mixer.h"

namespace platform {

class MixerBackend {
 public:
  virtual ~MixerBackend() = default;

  virtual UINT DeviceCount() = 0;
  // `device` is below DeviceCount().
  virtual MMRESULT Caps(UINT device, MIXERCAPSA& caps) = 0;
  // `callback` is a window or NullWindow (no notifications).
  virtual MMRESULT Open(UINT device, HWND callback, std::uintptr_t* handle) = 0;
  // The device of a live handle, or MMSYSERR_INVALHANDLE.
  virtual MMRESULT DeviceOf(std::uintptr_t handle, UINT* device) = 0;
  virtual MMRESULT Close(std::uintptr_t handle) = 0;
  // `query` is the MIXER_GETLINEINFOF_ query; the record is checked.
  virtual MMRESULT LineInfo(UINT device, MIXERLINEA& line, DWORD query) = 0;
  // `query` is the MIXER_GETLINECONTROLSF_ query; cbmxctrl and pamxctrl are
  // checked, cControls is what the caller's array holds.
  virtual MMRESULT LineControls(UINT device, MIXERLINECONTROLSA& controls, DWORD query) = 0;
  // Values only; cbDetails is 4 and paDetails holds cChannels times
  // (cMultipleItems, or 1) details.
  virtual MMRESULT ControlValues(UINT device, MIXERCONTROLDETAILS& details) = 0;
};

// The backend the mixer calls go to: the one a card installs here (not
// owned), or with none (nullptr) a backend without devices.
void SetMixerBackend(MixerBackend* backend);
MixerBackend& ActiveMixerBackend();

}  // namespace platform
