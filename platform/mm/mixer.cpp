// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/mixer.h"

#include <cstring>

#include "platform/mm/mixer_backend.h"

namespace {

using platform::ActiveMixerBackend;

std::uintptr_t Raw(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// The device a query names: a device ID, or an open mixer handle.
MMRESULT ResolveObject(std::uintptr_t object, DWORD flags, UINT* device) {
  switch (flags & MIXER_OBJECTF_TYPEMASK) {
    case MIXER_OBJECTF_MIXER:
      if (object >= ActiveMixerBackend().DeviceCount()) return MMSYSERR_BADDEVICEID;
      *device = static_cast<UINT>(object);
      return MMSYSERR_NOERROR;
    case MIXER_OBJECTF_HMIXER:
      return ActiveMixerBackend().DeviceOf(object, device);
    default:
      // Wave and auxiliary handles as mixer objects are not provided here.
      return MMSYSERR_NOTSUPPORTED;
  }
}

}  // namespace

UINT mixerGetNumDevs() { return ActiveMixerBackend().DeviceCount(); }

MMRESULT mixerGetDevCapsA(UINT_PTR uMxId, MIXERCAPSA* pmxcaps, UINT cbmxcaps) {
  if (pmxcaps == nullptr || cbmxcaps < sizeof(MIXERCAPSA)) return MMSYSERR_INVALPARAM;
  UINT device = 0;
  if (MMRESULT r = ResolveObject(uMxId, MIXER_OBJECTF_MIXER, &device); r != MMSYSERR_NOERROR)
    return r;
  return ActiveMixerBackend().Caps(device, *pmxcaps);
}

MMRESULT mixerOpen(LPHMIXER phmx, UINT uMxId, DWORD_PTR dwCallback, DWORD_PTR /*dwInstance*/,
                   DWORD fdwOpen) {
  if (phmx == nullptr) return MMSYSERR_INVALPARAM;
  if (fdwOpen & ~(CALLBACK_TYPEMASK | MIXER_OBJECTF_TYPEMASK)) return MMSYSERR_INVALFLAG;
  if ((fdwOpen & MIXER_OBJECTF_TYPEMASK) != MIXER_OBJECTF_MIXER) return MMSYSERR_NOTSUPPORTED;
  const DWORD kind = fdwOpen & CALLBACK_TYPEMASK;
  if (kind != CALLBACK_NULL && kind != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
  if (kind == CALLBACK_WINDOW && dwCallback == 0) return MMSYSERR_INVALPARAM;
  if (uMxId >= ActiveMixerBackend().DeviceCount()) return MMSYSERR_BADDEVICEID;
  std::uintptr_t handle = 0;
  const HWND window = kind == CALLBACK_WINDOW ? static_cast<HWND>(dwCallback) : NullWindow;
  MMRESULT r = ActiveMixerBackend().Open(uMxId, window, &handle);
  if (r == MMSYSERR_NOERROR) *phmx = reinterpret_cast<HMIXER>(handle);
  return r;
}

MMRESULT mixerClose(HMIXER hmx) { return ActiveMixerBackend().Close(Raw(hmx)); }

MMRESULT mixerGetLineInfoA(HMIXEROBJ hmxobj, MIXERLINEA* pmxl, DWORD fdwInfo) {
  if (pmxl == nullptr || pmxl->cbStruct < sizeof(MIXERLINEA)) return MMSYSERR_INVALPARAM;
  const DWORD query = fdwInfo & MIXER_GETLINEINFOF_QUERYMASK;
  if (fdwInfo & ~(MIXER_GETLINEINFOF_QUERYMASK | MIXER_OBJECTF_TYPEMASK) ||
      query > MIXER_GETLINEINFOF_COMPONENTTYPE)
    return MMSYSERR_INVALFLAG;
  UINT device = 0;
  if (MMRESULT r = ResolveObject(Raw(hmxobj), fdwInfo, &device); r != MMSYSERR_NOERROR) return r;
  return ActiveMixerBackend().LineInfo(device, *pmxl, query);
}

MMRESULT mixerGetLineControlsA(HMIXEROBJ hmxobj, MIXERLINECONTROLSA* pmxlc, DWORD fdwControls) {
  if (pmxlc == nullptr || pmxlc->cbStruct < sizeof(MIXERLINECONTROLSA)) return MMSYSERR_INVALPARAM;
  const DWORD query = fdwControls & MIXER_GETLINECONTROLSF_QUERYMASK;
  if (fdwControls & ~(MIXER_GETLINECONTROLSF_QUERYMASK | MIXER_OBJECTF_TYPEMASK) ||
      query > MIXER_GETLINECONTROLSF_ONEBYTYPE)
    return MMSYSERR_INVALFLAG;
  if (pmxlc->pamxctrl == nullptr || pmxlc->cbmxctrl < sizeof(MIXERCONTROLA) ||
      pmxlc->cControls == 0)
    return MMSYSERR_INVALPARAM;
  if (query != MIXER_GETLINECONTROLSF_ALL && pmxlc->cControls != 1) return MMSYSERR_INVALPARAM;
  UINT device = 0;
  if (MMRESULT r = ResolveObject(Raw(hmxobj), fdwControls, &device); r != MMSYSERR_NOERROR)
    return r;
  return ActiveMixerBackend().LineControls(device, *pmxlc, query);
}

MMRESULT mixerGetControlDetailsA(HMIXEROBJ hmxobj, MIXERCONTROLDETAILS* pmxcd, DWORD fdwDetails) {
  if (pmxcd == nullptr || pmxcd->cbStruct < sizeof(MIXERCONTROLDETAILS)) return MMSYSERR_INVALPARAM;
  const DWORD query = fdwDetails & MIXER_GETCONTROLDETAILSF_QUERYMASK;
  if (fdwDetails & ~(MIXER_GETCONTROLDETAILSF_QUERYMASK | MIXER_OBJECTF_TYPEMASK))
    return MMSYSERR_INVALFLAG;
  // Item texts are not provided: nothing here asks for them.
  if (query != MIXER_GETCONTROLDETAILSF_VALUE) return MMSYSERR_NOTSUPPORTED;
  if (pmxcd->paDetails == nullptr || pmxcd->cbDetails != sizeof(MIXERCONTROLDETAILS_UNSIGNED))
    return MMSYSERR_INVALPARAM;
  UINT device = 0;
  if (MMRESULT r = ResolveObject(Raw(hmxobj), fdwDetails, &device); r != MMSYSERR_NOERROR) return r;
  return ActiveMixerBackend().ControlValues(device, *pmxcd);
}
