// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/card/alsa/alsa_card.h"

#include <cstdio>

#include "platform/base/json.h"
#include "platform/base/platform_options.h"
#include "platform/card/alsa/alsa_devices.h"
#include "platform/card/alsa/alsa_mixer.h"
#include "platform/card/alsa/alsa_pcm.h"
#include "platform/card/alsa/alsa_volume.h"
#include "platform/card/alsa/alsa_wave_backend.h"
#include "platform/mm/mixer_backend.h"
#include "platform/mm/volume.h"
#include "platform/mm/wave_backend.h"

namespace platform {

namespace {
void Warn(const std::string& text) { std::fprintf(stderr, "osciloskop: %s\n", text.c_str()); }
}  // namespace

AlsaCard::AlsaCard(const std::string& option) : device_(AlsaDeviceFromCardOption(option)) {}

AlsaCard::~AlsaCard() { Finish(); }

std::string AlsaCard::SetUp(const PlatformOptions& options) {
  const PlatformOptions defaults;
  auto refused = [&](const std::string& what) {
    return what + "; it cannot be combined with --card=" + options.card;
  };
  if (options.signal_r != defaults.signal_r) return refused("--signal-r sets a virtual card input");
  if (options.signal_l != defaults.signal_l) return refused("--signal-l sets a virtual card input");
  if (!options.circuit.empty()) return refused("--circuit simulates a circuit on the virtual card");
  if (!options.output_wav.empty())
    return refused("--output-wav captures the virtual card's output");
  if (!options.mixer_fault.empty()) return refused("--mixer sets a virtual card mixer fault");
  return {};
}

std::string AlsaCard::OpenOutputs(const PlatformOptions& options) {
  if (!options.record_input.empty())
    if (auto e = recorder_.Create(options.record_input); !e.empty()) return "--record-input: " + e;
  return {};
}

void AlsaCard::Install() {
  wave_ = std::make_unique<AlsaWaveBackend>(device_);
  wave_->SetErrorLog(Warn);
  // Attached for good: a recorder without a file drops what it is given, so
  // a recording can start and stop from the window at any time.
  wave_->SetInputRecorder(&recorder_);
  volume_ = std::make_unique<AlsaVolumeBackend>(AlsaMixerForPcm(device_));
  volume_->SetErrorLog(Warn);
  if (!volume_->IsOpen())
    Warn(volume_->OpenError() + " (the volumes are neither read nor restored)");
  mixer_ = AlsaMixerBackend::Discover(AlsaMixerForPcm(device_));
  SetWaveBackend(wave_.get());
  SetVolumeBackend(volume_.get());
  SetMixerBackend(mixer_.get());
}

void AlsaCard::Finish() {
  if (wave_ || volume_ || mixer_) {
    // Joined here, while the message queue the threads post to still lives.
    SetWaveBackend(nullptr);
    SetVolumeBackend(nullptr);
    SetMixerBackend(nullptr);
    wave_.reset();
    volume_.reset();
    mixer_.reset();
  }
  recorder_.Close();
}

void AlsaCard::List(const PlatformOptions&) {
  for (const std::string& pcm : AlsaPcmDevices()) std::printf("pcm %s\n", pcm.c_str());
  std::unique_ptr<AlsaMixerBackend> mixers = AlsaMixerBackend::Discover(AlsaMixerForPcm(device_));
  for (UINT id = 0; id < mixers->DeviceCount(); ++id) {
    MIXERCAPSA caps{};
    mixers->Caps(id, caps);
    std::printf("mixer %u: %s (%s)\n", id, caps.szPname, mixers->ControlDevice(id).c_str());
  }
}

void AlsaCard::DumpCard(JsonWriter& w) {
  w.Value("name", "alsa");
  if (!wave_) return;
  w.Value("device", wave_->DeviceName());
  w.Value("openStreams", static_cast<std::int64_t>(wave_->OpenStreams()));
  for (WaveDir dir : {WaveDir::In, WaveDir::Out}) {
    const AlsaPcmCounters& n = wave_->Counters(dir);
    const PcmGeometry g = wave_->Geometry(dir);
    w.BeginObject(dir == WaveDir::In ? "capture" : "playback");
    w.Value("state", wave_->Describe(dir));
    w.Value("pcmOpens", static_cast<std::int64_t>(n.opens.load()));
    w.Value("xruns", static_cast<std::int64_t>(n.xruns.load()));
    w.Value("recovered", static_cast<std::int64_t>(n.recovered.load()));
    w.Value("failures", static_cast<std::int64_t>(n.failures.load()));
    w.Value("frames", n.frames.load());
    w.Value(dir == WaveDir::In ? "framesLost" : "framesBridged",
            dir == WaveDir::In ? n.framesLost.load() : n.framesBridged.load());
    w.Value("ringFrames", static_cast<std::int64_t>(g.ring));
    w.Value("periodFrames", static_cast<std::int64_t>(g.period));
    w.EndObject();
  }
  w.Value("lastError", wave_->LastError());
  if (recorder_.IsOpen()) w.Value("framesRecorded", static_cast<std::int64_t>(recorder_.Frames()));
  if (volume_) w.Value("mixer", volume_->MixerDevice());
  if (mixer_) {
    w.BeginArray("mixerDevices");
    for (UINT d = 0; d < mixer_->DeviceCount(); ++d) w.Element(mixer_->ControlDevice(d));
    w.EndArray();
  }
}

// The PCMs' delays tell where a frame is at the converters. The way from
// the output to the inputs adds the converters' and a sound server's
// resampling filters: 1.8 ms through PipeWire's two at 48 kHz, a few
// milliseconds at most elsewhere.
std::optional<std::int64_t> AlsaCard::TapFrameOfNextOutput() const {
  constexpr std::int64_t kPathFrames = InputRecorder::kRate / 200;  // 5 ms
  return wave_ ? wave_->TapFrameOfNextOutput(kPathFrames) : std::nullopt;
}

std::int64_t AlsaCard::OutputBreaks() const {
  if (!wave_) return 0;
  const AlsaPcmCounters& n = wave_->Counters(WaveDir::Out);
  return n.xruns.load() + n.failures.load();
}

std::string AlsaCard::SetSignal(char side, const std::string& source) {
  return CheckSignal(side, source);
}

std::string AlsaCard::ChangeMixer(const std::string& line, const std::string& control,
                                  const std::string& value) {
  return CheckMixer(line, control, value);
}

std::string AlsaCard::CheckSignal(char, const std::string&) {
  // A script drives a real card's inputs no more than a user could.
  return "signal: the inputs of --card=alsa:" + device_ +
         " are the sound card's own; 'signal' drives only the virtual card";
}

std::string AlsaCard::CheckMixer(const std::string&, const std::string&, const std::string&) {
  return "mixer: this card's mixer cannot be changed from here";
}

}  // namespace platform
