#include "platform/card_setup.h"

#include <cstdio>
#include <memory>

#include "platform/card/alsa/alsa_devices.h"
#include "platform/card/alsa/alsa_mixer.h"
#include "platform/card/alsa/alsa_volume.h"
#include "platform/card/alsa/alsa_wave_backend.h"
#include "platform/card/virtual/virtual_mixer.h"
#include "platform/mm/mixer_backend.h"
#include "platform/options.h"
#include "platform/headless/headless.h"
#include "platform/headless/json.h"
#include "platform/mm/volume.h"
#include "platform/card/virtual/virtual_card.h"
#include "platform/toolkit/screen_export.h"

namespace platform {

namespace {

// The real card's backends, while --card=alsa is in use.
struct AlsaCard {
  std::unique_ptr<AlsaWaveBackend> wave;
  std::unique_ptr<AlsaVolumeBackend> volume;
  std::unique_ptr<AlsaMixerBackend> mixer;
  InputRecorder recorder;  // outlives the wave backend's threads
};

AlsaCard& Alsa() {
  static AlsaCard card;
  return card;
}

void Warn(const std::string& text) { std::fprintf(stderr, "osciloskop: %s\n", text.c_str()); }

std::string SetUpAlsa(const PlatformOptions& options) {
  // These drive the virtual card only; silently ignoring them would mislead.
  if (options.signal_r != PlatformOptions{}.signal_r)
    return "--signal-r sets a virtual card input; it cannot be combined with --card=" +
           options.card;
  if (options.signal_l != PlatformOptions{}.signal_l)
    return "--signal-l sets a virtual card input; it cannot be combined with --card=" +
           options.card;
  if (!options.output_wav.empty())
    return "--output-wav captures the virtual card's output; it cannot be combined with --card=" +
           options.card;
  if (!options.mixer_fault.empty())
    return "--mixer sets a virtual card mixer fault; it cannot be combined with --card=" +
           options.card;

  AlsaCard& card = Alsa();
  if (!options.record_input.empty())
    if (auto e = card.recorder.Create(options.record_input); !e.empty())
      return "--record-input: " + e;
  const std::string device = AlsaDeviceFromCardOption(options.card);
  card.wave = std::make_unique<AlsaWaveBackend>(device);
  card.wave->SetErrorLog(Warn);
  // Attached for good: a recorder without a file drops what it is given, so
  // a recording can start and stop from the window at any time.
  card.wave->SetInputRecorder(&card.recorder);
  SetInputRecording({[](const std::string& path) { return Alsa().recorder.Create(path); },
                     [] { Alsa().recorder.Close(); },
                     [] { return Alsa().recorder.IsOpen(); }});
  card.volume = std::make_unique<AlsaVolumeBackend>(AlsaMixerForPcm(device));
  card.volume->SetErrorLog(Warn);
  if (!card.volume->IsOpen())
    Warn(card.volume->OpenError() + " (the volumes are neither read nor restored)");
  card.mixer = AlsaMixerBackend::Discover(AlsaMixerForPcm(device));
  SetWaveBackend(card.wave.get());
  SetVolumeBackend(card.volume.get());
  SetMixerBackend(card.mixer.get());

  // A script drives a real card's inputs no more than a user could.
  SetSignalHandler([device](char, const std::string&) {
    return "signal: the inputs of --card=alsa:" + device +
           " are the sound card's own; 'signal' drives only the virtual card";
  });
  AddDumpSection("card", [](JsonWriter& w) {
    AlsaCard& c = Alsa();
    w.Value("name", "alsa");
    if (!c.wave) return;
    w.Value("device", c.wave->DeviceName());
    w.Value("openStreams", static_cast<std::int64_t>(c.wave->OpenStreams()));
    for (WaveDir dir : {WaveDir::In, WaveDir::Out}) {
      const AlsaPcmCounters& n = c.wave->Counters(dir);
      const PcmGeometry g = c.wave->Geometry(dir);
      w.BeginObject(dir == WaveDir::In ? "capture" : "playback");
      w.Value("state", c.wave->Describe(dir));
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
    w.Value("lastError", c.wave->LastError());
    if (c.recorder.IsOpen())
      w.Value("framesRecorded", static_cast<std::int64_t>(c.recorder.Frames()));
    if (c.volume) w.Value("mixer", c.volume->MixerDevice());
    if (c.mixer) {
      w.BeginArray("mixerDevices");
      for (UINT d = 0; d < c.mixer->DeviceCount(); ++d) w.Element(c.mixer->ControlDevice(d));
      w.EndArray();
    }
  });
  AddDumpSection("volumes", [](JsonWriter& w) {
    // -1 where the card has no such volume.
    auto value = [](int d) -> std::int64_t {
      DWORD v = 0;
      AlsaCard& c = Alsa();
      if (!c.volume || c.volume->Get(d, &v) != MMSYSERR_NOERROR) return -1;
      return static_cast<std::int64_t>(v);
    };
    w.Value("waveOut", value(0));
    for (int d = 1; d <= 5; ++d) w.Value("aux" + std::to_string(d), value(d));
  });
  return {};
}

}  // namespace

std::string SetUpCard(const PlatformOptions& options) {
  if (options.card != "virtual") return SetUpAlsa(options);
  VirtualCard& card = TheVirtualCard();
  if (auto e = card.SetInputSource('r', options.signal_r); !e.empty()) return "--signal-r: " + e;
  if (auto e = card.SetInputSource('l', options.signal_l); !e.empty()) return "--signal-l: " + e;
  if (!options.output_wav.empty())
    if (auto e = card.CaptureOutput(options.output_wav); !e.empty()) return "--output-wav: " + e;
  if (!options.record_input.empty())
    if (auto e = card.RecordInput(options.record_input); !e.empty()) return "--record-input: " + e;

  if (!options.mixer_fault.empty())
    if (auto e = TheVirtualMixer().SetMode(options.mixer_fault); !e.empty()) return "--mixer: " + e;

  SetSignalHandler([](char side, const std::string& source) {
    return TheVirtualCard().SetInputSource(side, source);
  });
  SetInputRecording({[](const std::string& path) { return TheVirtualCard().RecordInput(path); },
                     [] { TheVirtualCard().StopRecording(); },
                     [] { return TheVirtualCard().Recording(); }});
  SetMixerHandler(
      [](const std::string& line, const std::string& control, const std::string& value) {
        const std::string e = TheVirtualMixer().SetControlText(line, control, value);
        return e.empty() ? e : "mixer: " + e;
      });
  AddDumpSection("card", [](JsonWriter& w) {
    VirtualCard& c = TheVirtualCard();
    w.Value("name", "virtual");
    w.Value("outputFramesPlayed", c.OutputFramesPlayed());
    w.Value("inputRunsStarted", c.InputRunsStarted());
    w.Value("inputBuffersRecorded", c.InputBuffersRecorded());
    w.Value("signalR", c.InputSourceText('r'));
    w.Value("signalL", c.InputSourceText('l'));
    if (!c.RecordingPath().empty())
      w.Value("framesRecorded", static_cast<std::int64_t>(c.FramesRecorded()));
  });
  AddDumpSection("volumes", [](JsonWriter& w) {
    w.Value("waveOut", static_cast<std::int64_t>(VirtualVolume(0)));
    for (int d = 1; d <= 5; ++d)
      w.Value("aux" + std::to_string(d), static_cast<std::int64_t>(VirtualVolume(d)));
  });
  return {};
}

namespace {
void ListMixers() {
  for (UINT id = 0; id < mixerGetNumDevs(); ++id) {
    MIXERCAPSA caps{};
    if (mixerGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
      std::printf("mixer %u: %s\n", id, caps.szPname);
    else
      std::printf("mixer %u: (capabilities cannot be read)\n", id);
  }
}
}  // namespace

int ListCards(const PlatformOptions& options) {
  if (options.card == "virtual") {
    if (!options.mixer_fault.empty()) TheVirtualMixer().SetMode(options.mixer_fault);
    std::printf("pcm out 0: virtual card output\npcm in 0: virtual card input\n");
    ListMixers();
    return 0;
  }
  const std::string device = AlsaDeviceFromCardOption(options.card);
  for (const std::string& pcm : AlsaPcmDevices()) std::printf("pcm %s\n", pcm.c_str());
  std::unique_ptr<AlsaMixerBackend> mixers = AlsaMixerBackend::Discover(AlsaMixerForPcm(device));
  for (UINT id = 0; id < mixers->DeviceCount(); ++id) {
    MIXERCAPSA caps{};
    mixers->Caps(id, caps);
    std::printf("mixer %u: %s (%s)\n", id, caps.szPname, mixers->ControlDevice(id).c_str());
  }
  return 0;
}

int FinishCard(int status) {
  TheVirtualCard().StopCapture();
  TheVirtualCard().StopRecording();
  AlsaCard& alsa = Alsa();
  if (alsa.wave || alsa.volume || alsa.mixer) {
    // Joined here, while the message queue the threads post to still lives.
    SetWaveBackend(nullptr);
    SetVolumeBackend(nullptr);
    SetMixerBackend(nullptr);
    alsa.wave.reset();
    alsa.volume.reset();
    alsa.mixer.reset();
  }
  alsa.recorder.Close();
  return status;
}

}  // namespace platform
