// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/virtual/virtual_card.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "platform/base/json.h"
#include "platform/base/platform_options.h"
#include "platform/card/virtual/frame_grid.h"
#include "platform/mm/device_changes.h"
#include "platform/mm/mixer.h"
#include "platform/mm/mixer_backend.h"

namespace platform {

namespace {

// Handles of every card this process has had: never reused.
std::atomic<std::uintptr_t> next_handle{0x1000};

std::unique_ptr<VirtualCard>& CardSlot() {
  static std::unique_ptr<VirtualCard> card;
  return card;
}

int SideIndex(char side) {
  if (side == 'r' || side == 'R') return 0;
  if (side == 'l' || side == 'L') return 1;
  return -1;
}

}  // namespace

// A fault that counts down changes the answer of a later call with every
// call it counts, so each is a change of the device.
MMRESULT VirtualCard::Countdown::Next() {
  if (nth <= 0) return MMSYSERR_NOERROR;
  NoteDeviceChange();
  if (--nth > 0) return MMSYSERR_NOERROR;
  return code;
}

VirtualCard::VirtualCard() : out_(history_, capture_), in_(sources_, history_) {}
VirtualCard::~VirtualCard() = default;

UINT VirtualCard::DeviceCount(WaveDir) { return 1; }

std::uintptr_t VirtualCard::HandleOf(WaveDir dir) const {
  return dir == WaveDir::In ? in_.Handle() : out_.Handle();
}

bool VirtualCard::IsOpen(WaveDir dir) const { return HandleOf(dir) != 0; }

std::size_t VirtualCard::QueuedBuffers(WaveDir dir) const {
  return dir == WaveDir::In ? in_.Queued() : out_.Queued();
}

MMRESULT VirtualCard::Open(WaveDir dir, UINT, const WAVEFORMATEX& format, HWND callback,
                           DWORD flags, std::uintptr_t* handle) {
  Faults& f = FaultsOf(dir);
  if (f.vanished) return MMSYSERR_NODRIVER;
  if (f.open_times > 0) {
    --f.open_times;
    NoteDeviceChange();
    return f.open_code;
  }
  if (flags & WAVE_FORMAT_QUERY) return MMSYSERR_NOERROR;
  if (IsOpen(dir)) return MMSYSERR_ALLOCATED;
  *handle = next_handle.fetch_add(1);
  if (dir == WaveDir::In) {
    in_.Open(*handle, format, callback);
  } else {
    if (!capture_path_.empty() && !capture_format_fixed_) {
      capture_format_fixed_ = true;
      capture_.Create(capture_path_, format.nChannels, static_cast<int>(format.nSamplesPerSec));
    }
    out_.Open(*handle, format, callback);
  }
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCard::Check(WaveDir dir, std::uintptr_t handle) {
  if (handle == 0 || handle != HandleOf(dir)) return MMSYSERR_INVALHANDLE;
  return FaultsOf(dir).vanished ? MMSYSERR_NODRIVER : MMSYSERR_NOERROR;
}

MMRESULT VirtualCard::Prepare(WaveDir dir, std::uintptr_t, WAVEHDR*) {
  return FaultsOf(dir).prepare.Next();
}

MMRESULT VirtualCard::Queue(WaveDir dir, std::uintptr_t, WAVEHDR* header) {
  MMRESULT r = FaultsOf(dir).queue.Next();
  if (r != MMSYSERR_NOERROR) return r;
  if (dir == WaveDir::In)
    in_.Add(header);
  else
    out_.Write(header);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCard::Start(std::uintptr_t) {
  if (start_fail_times_ > 0) {
    --start_fail_times_;
    NoteDeviceChange();
    return start_fail_code_;
  }
  in_.Start();
  ++runs_started_;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCard::Pause(std::uintptr_t) {
  out_.Pause();
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCard::Restart(std::uintptr_t) {
  out_.Restart();
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCard::Reset(WaveDir dir, std::uintptr_t) {
  if (dir == WaveDir::In)
    in_.Reset();
  else
    out_.Reset();
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualCard::Close(WaveDir dir, std::uintptr_t handle) {
  if (handle == 0 || handle != HandleOf(dir)) return MMSYSERR_INVALHANDLE;
  return dir == WaveDir::In ? in_.Close() : out_.Close();
}

bool VirtualCard::Lost(WaveDir dir) const { return FaultsOf(dir).vanished; }

std::string VirtualCard::SetInputSource(char side, const std::string& source) {
  if (std::string e = InputFault(side); !e.empty()) return e;
  return sources_[SideIndex(side)].Parse(source);
}

std::string VirtualCard::InputFault(char side) const {
  if (SideIndex(side) < 0)
    return std::string("unknown input side '") + side + "' (expected r or l)";
  if (circuit_)
    return "signal: the inputs are across the circuit '" + circuit_->Description().text +
           "' (--circuit) and take no other source";
  return {};
}

std::string VirtualCard::InputSourceText(char side) const {
  const int i = SideIndex(side);
  return i < 0 ? std::string() : sources_[i].Text();
}

std::string VirtualCard::SetCircuit(const std::string& description) {
  CircuitDescription parsed;
  if (std::string error = ParseCircuit(description, parsed); !error.empty()) return error;
  circuit_ = std::make_unique<CircuitInput>(std::move(parsed));
  in_.SetCircuit(circuit_.get());
  return {};
}

std::string VirtualCard::CaptureOutput(const std::string& path) {
  // Created now so that an unwritable path is reported at once; written
  // again with the real format when the output opens.
  std::string error = capture_.Create(path, 1, 44100);
  if (!error.empty()) return error;
  capture_path_ = path;
  capture_format_fixed_ = false;
  if (out_.IsOpen()) {
    capture_format_fixed_ = true;
    capture_.Create(path, out_.Format().nChannels, static_cast<int>(out_.Format().nSamplesPerSec));
  }
  return {};
}

void VirtualCard::StopCapture() {
  capture_.Close();
  capture_path_.clear();
}

std::string VirtualCard::RecordInput(const std::string& path) {
  // From the frame under way: frame 0 at the start of a program.
  const std::int64_t now = FrameAt(DeviceClock().Now(), InputRecorder::kRate);
  return recorder_.Create(
      path, static_cast<std::uint64_t>(std::max<std::int64_t>(0, now - recorder_base_)));
}

std::string VirtualCard::SetUp(const PlatformOptions& options) {
  if (auto e = SetInputSource('r', options.signal_r); !e.empty()) return "--signal-r: " + e;
  if (auto e = SetInputSource('l', options.signal_l); !e.empty()) return "--signal-l: " + e;
  if (!options.circuit.empty()) {
    const PlatformOptions defaults;
    for (const char* side : {"r", "l"})
      if ((side[0] == 'r' ? options.signal_r : options.signal_l) != defaults.signal_r)
        return std::string("--circuit cannot be combined with --signal-") + side +
               ": the circuit drives both inputs";
    if (auto e = SetCircuit(options.circuit); !e.empty()) return "--circuit: " + e;
  }
  if (!options.mixer_fault.empty())
    if (auto e = mixer_.SetMode(options.mixer_fault); !e.empty()) return "--mixer: " + e;
  return {};
}

std::string VirtualCard::OpenOutputs(const PlatformOptions& options) {
  if (!options.output_wav.empty())
    if (auto e = CaptureOutput(options.output_wav); !e.empty()) return "--output-wav: " + e;
  if (!options.record_input.empty())
    if (auto e = RecordInput(options.record_input); !e.empty()) return "--record-input: " + e;
  return {};
}

void VirtualCard::Install() {
  // Attached for good, so the capture tap sees every frame from the start;
  // a file takes its part of them (RecordInput).
  recorder_base_ = FrameAt(DeviceClock().Now(), InputRecorder::kRate);
  in_.SetRecorder(&recorder_, recorder_base_);
  SetWaveBackend(this);
  SetVolumeBackend(&volumes_);
  SetMixerBackend(&mixer_);
}

// The output and the inputs share the grid; the circuit's interpolator
// delays what the inputs see of the output.
std::optional<std::int64_t> VirtualCard::TapFrameOfNextOutput() const {
  const std::optional<std::int64_t> grid = out_.GridFrameOfNextWrite();
  if (!grid || out_.Format().nSamplesPerSec != static_cast<DWORD>(InputRecorder::kRate))
    return std::nullopt;
  const std::int64_t latency = circuit_ ? circuit_->Latency() : 0;
  return *grid + latency - recorder_base_ - static_cast<std::int64_t>(recorder_.TapFrom());
}

void VirtualCard::Finish() {
  StopCapture();
  StopRecording();
}

void VirtualCard::List(const PlatformOptions& options) {
  if (!options.mixer_fault.empty()) mixer_.SetMode(options.mixer_fault);
  std::printf("pcm out 0: virtual card output\npcm in 0: virtual card input\n");
  for (UINT id = 0; id < mixer_.DeviceCount(); ++id) {
    MIXERCAPSA caps{};
    if (mixer_.Caps(id, caps) == MMSYSERR_NOERROR)
      std::printf("mixer %u: %s\n", id, caps.szPname);
    else
      std::printf("mixer %u: (capabilities cannot be read)\n", id);
  }
}

void VirtualCard::DumpCard(JsonWriter& w) {
  w.Value("name", "virtual");
  w.Value("outputFramesPlayed", OutputFramesPlayed());
  w.Value("inputRunsStarted", InputRunsStarted());
  w.Value("inputBuffersRecorded", InputBuffersRecorded());
  w.Value("signalR", InputSourceText('r'));
  w.Value("signalL", InputSourceText('l'));
  if (!RecordingPath().empty())
    w.Value("framesRecorded", static_cast<std::int64_t>(FramesRecorded()));
}

std::string VirtualCard::SetSignal(char side, const std::string& source) {
  return SetInputSource(side, source);
}

std::string VirtualCard::ChangeMixer(const std::string& line, const std::string& control,
                                     const std::string& value) {
  const std::string e = mixer_.SetControlText(line, control, value);
  return e.empty() ? e : "mixer: " + e;
}

std::string VirtualCard::CheckSignal(char side, const std::string& source) {
  if (std::string e = InputFault(side); !e.empty()) return e;
  return InputSource::Check(source);
}

std::string VirtualCard::CheckMixer(const std::string& line, const std::string& control,
                                    const std::string& value) {
  const std::string e = mixer_.CheckControlText(line, control, value);
  return e.empty() ? e : "mixer: " + e;
}

void VirtualCard::StopRecording() {
  if (!recorder_.IsOpen()) return;
  in_.RecordUpTo(FrameAt(DeviceClock().Now(), InputRecorder::kRate));
  recorder_.Close();
}

void VirtualCard::FailOpens(WaveDir dir, MMRESULT code, int times) {
  FaultsOf(dir).open_times = times;
  FaultsOf(dir).open_code = code;
  NoteDeviceChange();
}

void VirtualCard::FailStarts(MMRESULT code, int times) {
  start_fail_times_ = times;
  start_fail_code_ = code;
  NoteDeviceChange();
}

void VirtualCard::FailPrepare(WaveDir dir, int nth, MMRESULT code) {
  FaultsOf(dir).prepare = {nth, code};
  NoteDeviceChange();
}

void VirtualCard::FailQueue(WaveDir dir, int nth, MMRESULT code) {
  FaultsOf(dir).queue = {nth, code};
  NoteDeviceChange();
}

void VirtualCard::VanishDevice(WaveDir dir) {
  Faults& f = FaultsOf(dir);
  if (f.vanished) return;
  f.vanished = true;
  NoteDeviceChange();
  if (dir == WaveDir::In)
    in_.Reset();
  else
    out_.Reset();
}

void VirtualCard::RestoreDevice(WaveDir dir) {
  FaultsOf(dir).vanished = false;
  NoteDeviceChange();
}

std::string VirtualCard::Describe() const {
  auto state = [](bool open, bool vanished) {
    return std::string(vanished ? "vanished" : open ? "open" : "closed");
  };
  std::string s = "output: " + state(out_.IsOpen(), out_faults_.vanished);
  if (out_.IsOpen()) s += out_.Paused() ? ", paused" : out_.Playing() ? ", playing" : ", idle";
  s += ", " + std::to_string(out_.Queued()) + " queued, " + std::to_string(out_.FramesPlayed()) +
       " frames played; input: " + state(in_.IsOpen(), in_faults_.vanished);
  if (in_.IsOpen()) s += in_.Recording() ? ", recording" : ", stopped";
  s += ", " + std::to_string(in_.Queued()) + " queued, " + std::to_string(runs_started_) +
       " runs started; sources: r=" + sources_[0].Text() + " l=" + sources_[1].Text() +
       "; capture: " + (capture_path_.empty() ? std::string("none") : capture_path_);
  return s;
}

VirtualCard& TheVirtualCard() {
  auto& card = CardSlot();
  if (!card) card = std::make_unique<VirtualCard>();
  return *card;
}

VirtualMixer& TheVirtualMixer() { return TheVirtualCard().Mixer(); }

void ResetVirtualCard() {
  // Out of mm before it goes: nothing may reach the old card's backends.
  SetWaveBackend(nullptr);
  SetVolumeBackend(nullptr);
  SetMixerBackend(nullptr);
  CardSlot().reset();
  CardSlot() = std::make_unique<VirtualCard>();
  CardSlot()->Install();
}

std::string SetInputSource(char side, const std::string& source) {
  return TheVirtualCard().SetInputSource(side, source);
}
std::string InputSourceText(char side) { return TheVirtualCard().InputSourceText(side); }
std::string CaptureOutputToWav(const std::string& path) {
  return TheVirtualCard().CaptureOutput(path);
}

}  // namespace platform
