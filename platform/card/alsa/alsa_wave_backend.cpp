// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_wave_backend.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/base/messages.h"
#include "platform/card/input_recorder.h"
#include "platform/mm/device_changes.h"

namespace platform {

namespace {
// Handles of every ALSA backend of this process, apart from the virtual
// card's range: never reused.
std::atomic<std::uintptr_t> next_handle{0x40000000};

// How long an open waits for a device that does not answer at once.
constexpr std::chrono::milliseconds kOpenAnswer{2000};

bool SameFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
  return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels &&
         a.nSamplesPerSec == b.nSamplesPerSec && a.wBitsPerSample == b.wBitsPerSample &&
         a.nBlockAlign == b.nBlockAlign;
}
}  // namespace

AlsaWaveBackend::AlsaWaveBackend(std::string device) : device_(std::move(device)) {
  if (device_.empty()) device_ = "default";
}

AlsaWaveBackend::~AlsaWaveBackend() {
  for (auto& d : devices_) StopDevice(d);
}

void AlsaWaveBackend::SetErrorLog(std::function<void(const std::string&)> log) {
  std::lock_guard lock(log_mutex_);
  log_ = std::move(log);
}

void AlsaWaveBackend::Tell(const std::string& text, AlsaPcmDevice::Tell kind) {
  using K = AlsaPcmDevice::Tell;
  std::function<void(const std::string&)> log;
  {
    std::lock_guard lock(log_mutex_);
    if (kind != K::Note) last_error_ = text;
    // A retried open says the same again: such texts are told once.
    if (kind == K::OpenFailed && !told_.insert(text).second) return;
    log = log_;
  }
  if (log) log(text);
}

std::string AlsaWaveBackend::LastError() const {
  std::lock_guard lock(log_mutex_);
  return last_error_;
}

void AlsaWaveBackend::StopDevice(std::unique_ptr<AlsaPcmDevice>& device) {
  if (!device) return;
  // A thread stuck inside a device that stopped answering cannot be joined;
  // it is left to the end of the process rather than hang the caller.
  if (!device->Stop(std::chrono::milliseconds(3000))) {
    [[maybe_unused]] AlsaPcmDevice* stuck = device.release();
    Tell("ALSA device '" + device_ + "' does not answer; its thread is abandoned",
         AlsaPcmDevice::Tell::Lost);
    return;
  }
  device.reset();
}

UINT AlsaWaveBackend::DeviceCount(WaveDir) { return 1; }

MMRESULT AlsaWaveBackend::Open(WaveDir dir, UINT, const WAVEFORMATEX& format, HWND callback,
                               DWORD flags, std::uintptr_t* handle) {
  const int i = Index(dir);
  std::unique_ptr<AlsaPcmDevice>& device = devices_[i];
  if (flags & WAVE_FORMAT_QUERY) {
    if (device && device->Up() && SameFormat(device->Format(), format)) return MMSYSERR_NOERROR;
    PcmPtr pcm;
    PcmGeometry geometry;
    std::string why;
    const MMRESULT r = OpenAlsaPcm(device_, dir, format, pcm, geometry, why);
    if (r != MMSYSERR_NOERROR) Tell(why, AlsaPcmDevice::Tell::OpenFailed);
    return r;
  }
  if (attached_[i] != 0) return MMSYSERR_ALLOCATED;
  // The capture PCM outlives its streams, unless a stream wants another format.
  if (device && !SameFormat(device->Format(), format)) StopDevice(device);
  if (!device) {
    try {
      device = std::make_unique<AlsaPcmDevice>(
          device_, dir, format, counters_[i],
          [this](const std::string& t, AlsaPcmDevice::Tell k) { Tell(t, k); });
    } catch (const std::exception&) {
      return MMSYSERR_NOMEM;
    }
    if (dir == WaveDir::In) device->SetRecorder(recorder_);
    std::string why;
    const MMRESULT r = device->AwaitFirstOpen(kOpenAnswer, why);
    if (r != MMSYSERR_NOERROR) {
      Tell(why, AlsaPcmDevice::Tell::OpenFailed);
      // An output device is tried again by the next open; capture keeps trying.
      if (dir == WaveDir::Out) {
        StopDevice(device);
        if (!open_failed_[i]) NoteDeviceChange();
        open_failed_[i] = true;
      }
      return r;
    }
    open_failed_[i] = false;
  } else if (!device->Up()) {
    return device->DownCode();
  }
  const std::uintptr_t h = next_handle.fetch_add(1);
  device->Attach(h, callback);
  attached_[i] = h;
  callbacks_[i] = callback;
  // Posted before the device thread can post anything of this stream.
  PostMessage(callback, dir == WaveDir::In ? MM_WIM_OPEN : MM_WOM_OPEN, h, 0);
  *handle = h;
  return MMSYSERR_NOERROR;
}

AlsaPcmDevice* AlsaWaveBackend::Attached(WaveDir dir, std::uintptr_t handle) const {
  const int i = Index(dir);
  if (handle == 0 || attached_[i] != handle) return nullptr;
  return devices_[i].get();
}

MMRESULT AlsaWaveBackend::Check(WaveDir dir, std::uintptr_t handle) {
  AlsaPcmDevice* d = Attached(dir, handle);
  if (d == nullptr) return MMSYSERR_INVALHANDLE;
  return d->StreamFailed() ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
}

MMRESULT AlsaWaveBackend::Prepare(WaveDir dir, std::uintptr_t handle, WAVEHDR*) {
  return Check(dir, handle);
}

MMRESULT AlsaWaveBackend::Queue(WaveDir dir, std::uintptr_t handle, WAVEHDR* header) {
  AlsaPcmDevice* d = Attached(dir, handle);
  return d == nullptr ? MMSYSERR_INVALHANDLE : d->Queue(header);
}

MMRESULT AlsaWaveBackend::Start(std::uintptr_t in_handle) {
  AlsaPcmDevice* d = Attached(WaveDir::In, in_handle);
  return d == nullptr ? MMSYSERR_INVALHANDLE : d->Start();
}

MMRESULT AlsaWaveBackend::Pause(std::uintptr_t out_handle) {
  AlsaPcmDevice* d = Attached(WaveDir::Out, out_handle);
  return d == nullptr ? MMSYSERR_INVALHANDLE : d->SetPaused(true);
}

MMRESULT AlsaWaveBackend::Restart(std::uintptr_t out_handle) {
  AlsaPcmDevice* d = Attached(WaveDir::Out, out_handle);
  return d == nullptr ? MMSYSERR_INVALHANDLE : d->SetPaused(false);
}

MMRESULT AlsaWaveBackend::Reset(WaveDir dir, std::uintptr_t handle) {
  AlsaPcmDevice* d = Attached(dir, handle);
  return d == nullptr ? MMSYSERR_INVALHANDLE : d->Reset();
}

MMRESULT AlsaWaveBackend::Close(WaveDir dir, std::uintptr_t handle) {
  AlsaPcmDevice* d = Attached(dir, handle);
  if (d == nullptr) return MMSYSERR_INVALHANDLE;
  if (!d->StreamFailed() && d->HasQueued()) return WAVERR_STILLPLAYING;
  const int i = Index(dir);
  d->Detach();
  attached_[i] = 0;
  if (dir == WaveDir::Out) StopDevice(devices_[i]);  // joined: it posts nothing more
  PostMessage(callbacks_[i], dir == WaveDir::In ? MM_WIM_CLOSE : MM_WOM_CLOSE, handle, 0);
  return MMSYSERR_NOERROR;
}

bool AlsaWaveBackend::Lost(WaveDir dir) const {
  const int i = Index(dir);
  return devices_[i] ? !devices_[i]->Up() : open_failed_[i];
}

std::size_t AlsaWaveBackend::OpenStreams() const {
  return (attached_[0] != 0 ? 1 : 0) + (attached_[1] != 0 ? 1 : 0);
}

std::string AlsaWaveBackend::Describe(WaveDir dir) const {
  const auto& d = devices_[Index(dir)];
  return d ? d->Describe() : "closed";
}

PcmGeometry AlsaWaveBackend::Geometry(WaveDir dir) const {
  const auto& d = devices_[Index(dir)];
  return d ? d->Geometry() : PcmGeometry{};
}

void AlsaWaveBackend::SetInputRecorder(InputRecorder* recorder) {
  recorder_ = recorder;
  if (auto& d = devices_[Index(WaveDir::In)]) d->SetRecorder(recorder);
}

std::optional<std::int64_t> AlsaWaveBackend::TapFrameOfNextOutput(
    std::int64_t path_frames) const {
  const auto& in = devices_[Index(WaveDir::In)];
  const auto& out = devices_[Index(WaveDir::Out)];
  if (!in || !out || attached_[Index(WaveDir::Out)] == 0 ||
      in->Format().nSamplesPerSec != static_cast<DWORD>(InputRecorder::kRate))
    return std::nullopt;
  const auto recorded = in->Timing();
  const auto played = out->Timing();
  if (!recorded || !played) return std::nullopt;
  const double ahead = std::chrono::duration<double>(played->at - recorded->at).count();
  return recorded->frame + std::llround(ahead * InputRecorder::kRate) + path_frames;
}

void AlsaWaveBackend::InjectTransferError(WaveDir dir, int alsa_error) {
  if (auto& d = devices_[Index(dir)]) d->InjectError(alsa_error);
}

}  // namespace platform
