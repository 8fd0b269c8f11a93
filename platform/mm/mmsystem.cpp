// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/mmsystem.h"

#include <cstdint>
#include <cstring>

#include "platform/mm/device_changes.h"
#include "platform/mm/wave_backend.h"

namespace platform {

const char* WaveErrorText(MMRESULT code) {
  switch (code) {
    case MMSYSERR_NOERROR: return "The operation completed successfully.";
    case MMSYSERR_ERROR: return "An unspecified error occurred in the sound device.";
    case MMSYSERR_BADDEVICEID: return "The device identifier is out of range.";
    case MMSYSERR_NOTENABLED: return "The sound driver could not be enabled.";
    case MMSYSERR_ALLOCATED: return "The device is already in use by another handle.";
    case MMSYSERR_INVALHANDLE: return "The device handle is not valid.";
    case MMSYSERR_NODRIVER: return "No sound driver is present for the device.";
    case MMSYSERR_NOMEM: return "Not enough memory for the sound operation.";
    case MMSYSERR_NOTSUPPORTED: return "The sound device does not support this function.";
    case MMSYSERR_BADERRNUM: return "The error number is out of range.";
    case MMSYSERR_INVALFLAG: return "An invalid flag was passed to the sound device.";
    case MMSYSERR_INVALPARAM: return "An invalid parameter was passed to the sound device.";
    case WAVERR_BADFORMAT: return "The wave format is not supported by the device.";
    case WAVERR_STILLPLAYING: return "Buffers are still queued on the wave device.";
    case WAVERR_UNPREPARED: return "The wave header has not been prepared.";
    case WAVERR_SYNC: return "The wave device is synchronous and cannot be opened this way.";
    default: return "";
  }
}

bool IsSupportedPcmFormat(const WAVEFORMATEX& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f.nChannels != 1 && f.nChannels != 2) return false;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
  if (f.nBlockAlign != f.nChannels * (f.wBitsPerSample / 8)) return false;
  if (f.nSamplesPerSec < 1000 || f.nSamplesPerSec > 192000) return false;
  return f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

}  // namespace platform

namespace {

using platform::WaveDir;

template <typename H>
std::uintptr_t Raw(H handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// A call that changed a device (it succeeded and was not a query) is counted:
// the answer to a later call may differ.
MMRESULT Counted(MMRESULT r) {
  if (r == MMSYSERR_NOERROR) platform::NoteDeviceChange();
  return r;
}

MMRESULT CopyText(MMRESULT code, LPSTR text, UINT cch) {
  if (text == nullptr || cch == 0) return MMSYSERR_INVALPARAM;
  const char* message = platform::WaveErrorText(code);
  MMRESULT result = MMSYSERR_NOERROR;
  if (*message == '\0') {
    message = "Unknown wave error code.";
    result = MMSYSERR_BADERRNUM;
  }
  std::size_t n = std::strlen(message);
  if (n > cch - 1) n = cch - 1;
  std::memcpy(text, message, n);
  text[n] = '\0';
  return result;
}

MMRESULT Open(WaveDir dir, std::uintptr_t* handle, UINT device, const WAVEFORMATEX* format,
              DWORD_PTR callback, DWORD flags) {
  const bool query = (flags & WAVE_FORMAT_QUERY) != 0;
  if (format == nullptr || (handle == nullptr && !query)) return MMSYSERR_INVALPARAM;
  if (flags & ~(CALLBACK_TYPEMASK | WAVE_FORMAT_QUERY | WAVE_ALLOWSYNC)) return MMSYSERR_INVALFLAG;
  const DWORD kind = flags & CALLBACK_TYPEMASK;
  if (kind != CALLBACK_NULL && kind != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
  if (kind == CALLBACK_WINDOW && callback == 0) return MMSYSERR_INVALPARAM;
  platform::WaveBackend& backend = platform::ActiveWaveBackend();
  if (device != WAVE_MAPPER && device >= backend.DeviceCount(dir)) return MMSYSERR_BADDEVICEID;
  if (!platform::IsSupportedPcmFormat(*format)) return WAVERR_BADFORMAT;
  std::uintptr_t opened = 0;
  const HWND window = kind == CALLBACK_WINDOW ? static_cast<HWND>(callback) : NullWindow;
  MMRESULT r = backend.Open(dir, device, *format, window, flags, &opened);
  if (query) return r;
  if (r == MMSYSERR_NOERROR) *handle = opened;
  return Counted(r);
}

MMRESULT CheckHeader(WaveDir dir, std::uintptr_t handle, WAVEHDR* header, UINT size) {
  MMRESULT r = platform::ActiveWaveBackend().Check(dir, handle);
  if (r != MMSYSERR_NOERROR) return r;
  if (header == nullptr || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

MMRESULT Prepare(WaveDir dir, std::uintptr_t handle, WAVEHDR* header, UINT size) {
  MMRESULT r = CheckHeader(dir, handle, header, size);
  if (r != MMSYSERR_NOERROR) return r;
  if (header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & WHDR_PREPARED) return MMSYSERR_NOERROR;
  r = platform::ActiveWaveBackend().Prepare(dir, handle, header);
  if (r == MMSYSERR_NOERROR) header->dwFlags |= WHDR_PREPARED;
  return Counted(r);
}

MMRESULT Unprepare(WaveDir dir, std::uintptr_t handle, WAVEHDR* header, UINT size) {
  MMRESULT r = CheckHeader(dir, handle, header, size);
  if (r != MMSYSERR_NOERROR) return r;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (!(header->dwFlags & WHDR_PREPARED)) return MMSYSERR_NOERROR;
  header->dwFlags &= ~WHDR_PREPARED;
  return Counted(MMSYSERR_NOERROR);
}

MMRESULT Queue(WaveDir dir, std::uintptr_t handle, WAVEHDR* header, UINT size) {
  MMRESULT r = CheckHeader(dir, handle, header, size);
  if (r != MMSYSERR_NOERROR) return r;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  return Counted(platform::ActiveWaveBackend().Queue(dir, handle, header));
}

MMRESULT Plain(WaveDir dir, std::uintptr_t handle) {
  return platform::ActiveWaveBackend().Check(dir, handle);
}

}  // namespace

UINT waveInGetNumDevs() { return platform::ActiveWaveBackend().DeviceCount(WaveDir::In); }

MMRESULT waveInOpen(LPHWAVEIN phwi, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                    DWORD_PTR /*dwInstance*/, DWORD fdwOpen) {
  std::uintptr_t h = 0;
  MMRESULT r = Open(WaveDir::In, phwi ? &h : nullptr, uDeviceID, pwfx, dwCallback, fdwOpen);
  if (r == MMSYSERR_NOERROR && phwi && !(fdwOpen & WAVE_FORMAT_QUERY))
    *phwi = reinterpret_cast<HWAVEIN>(h);
  return r;
}

MMRESULT waveInPrepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
  return Prepare(WaveDir::In, Raw(hwi), pwh, cbwh);
}
MMRESULT waveInUnprepareHeader(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
  return Unprepare(WaveDir::In, Raw(hwi), pwh, cbwh);
}
MMRESULT waveInAddBuffer(HWAVEIN hwi, LPWAVEHDR pwh, UINT cbwh) {
  return Queue(WaveDir::In, Raw(hwi), pwh, cbwh);
}
MMRESULT waveInStart(HWAVEIN hwi) {
  MMRESULT r = Plain(WaveDir::In, Raw(hwi));
  return r != MMSYSERR_NOERROR ? r : Counted(platform::ActiveWaveBackend().Start(Raw(hwi)));
}
MMRESULT waveInReset(HWAVEIN hwi) {
  MMRESULT r = Plain(WaveDir::In, Raw(hwi));
  return r != MMSYSERR_NOERROR ? r : Counted(platform::ActiveWaveBackend().Reset(WaveDir::In, Raw(hwi)));
}
MMRESULT waveInClose(HWAVEIN hwi) {
  return Counted(platform::ActiveWaveBackend().Close(WaveDir::In, Raw(hwi)));
}
MMRESULT waveInGetErrorTextA(MMRESULT mmrError, LPSTR pszText, UINT cchText) {
  return CopyText(mmrError, pszText, cchText);
}

UINT waveOutGetNumDevs() { return platform::ActiveWaveBackend().DeviceCount(WaveDir::Out); }

MMRESULT waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, const WAVEFORMATEX* pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR /*dwInstance*/, DWORD fdwOpen) {
  std::uintptr_t h = 0;
  MMRESULT r = Open(WaveDir::Out, phwo ? &h : nullptr, uDeviceID, pwfx, dwCallback, fdwOpen);
  if (r == MMSYSERR_NOERROR && phwo && !(fdwOpen & WAVE_FORMAT_QUERY))
    *phwo = reinterpret_cast<HWAVEOUT>(h);
  return r;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
  return Prepare(WaveDir::Out, Raw(hwo), pwh, cbwh);
}
MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
  return Unprepare(WaveDir::Out, Raw(hwo), pwh, cbwh);
}
MMRESULT waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
  return Queue(WaveDir::Out, Raw(hwo), pwh, cbwh);
}
MMRESULT waveOutPause(HWAVEOUT hwo) {
  MMRESULT r = Plain(WaveDir::Out, Raw(hwo));
  return r != MMSYSERR_NOERROR ? r : Counted(platform::ActiveWaveBackend().Pause(Raw(hwo)));
}
MMRESULT waveOutRestart(HWAVEOUT hwo) {
  MMRESULT r = Plain(WaveDir::Out, Raw(hwo));
  return r != MMSYSERR_NOERROR ? r : Counted(platform::ActiveWaveBackend().Restart(Raw(hwo)));
}
MMRESULT waveOutReset(HWAVEOUT hwo) {
  MMRESULT r = Plain(WaveDir::Out, Raw(hwo));
  return r != MMSYSERR_NOERROR ? r : Counted(platform::ActiveWaveBackend().Reset(WaveDir::Out, Raw(hwo)));
}
MMRESULT waveOutClose(HWAVEOUT hwo) {
  return Counted(platform::ActiveWaveBackend().Close(WaveDir::Out, Raw(hwo)));
}
MMRESULT waveOutGetErrorTextA(MMRESULT mmrError, LPSTR pszText, UINT cchText) {
  return CopyText(mmrError, pszText, cchText);
}
