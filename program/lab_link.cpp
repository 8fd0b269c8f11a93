#include "program/lab_link.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "instrument/Form1.h"
#include "lab/lab.h"
#include "lab/remote_server.h"
#include "platform/base/platform_options.h"
#include "platform/card/cards.h"
#include "platform/headless/headless.h"
#include "platform/headless/script_extension.h"
#include "platform/mm/mixer.h"
#include "platform/toolkit/application.h"
#include "platform/toolkit/form_window.h"
#include "platform/toolkit/screen_menu.h"

namespace program {

namespace {

lab::Lab* the_lab = nullptr;

// The recording volume of mixer 0's wave-in line, left channel.
std::optional<int> CaptureVolume() {
  HMIXER mixer = nullptr;
  if (mixerOpen(&mixer, 0, 0, 0, 0) != MMSYSERR_NOERROR) return std::nullopt;
  std::optional<int> volume;
  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
  const auto obj = reinterpret_cast<HMIXEROBJ>(mixer);
  if (mixerGetLineInfoA(obj, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) ==
      MMSYSERR_NOERROR) {
    MIXERCONTROLA control{};
    control.cbStruct = sizeof control;
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    if (mixerGetLineControlsA(obj, &controls,
                              MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) ==
        MMSYSERR_NOERROR) {
      MIXERCONTROLDETAILS_UNSIGNED value[8]{};
      MIXERCONTROLDETAILS details{};
      details.cbStruct = sizeof details;
      details.dwControlID = control.dwControlID;
      details.cChannels = std::min<DWORD>(line.cChannels ? line.cChannels : 1, 8);
      details.cbDetails = sizeof value[0];
      details.paDetails = value;
      if (mixerGetControlDetailsA(obj, &details,
                                  MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) ==
          MMSYSERR_NOERROR)
        volume = static_cast<int>(value[0].dwValue);
    }
  }
  mixerClose(mixer);
  return volume;
}

lab::ProgramLink Link() {
  lab::ProgramLink link;
  link.set_capture_tap = [](lab::ProgramLink::Frames frames) {
    platform::TheCard().SetCaptureTap(std::move(frames));
  };
  link.generator = [] {
    osciloskop::TForm1* form = osciloskop::Form1;
    return form ? lab::GeneratorSetting{form->GenFrequency, form->GenAmplitude}
                : lab::GeneratorSetting{};
  };
  link.set_generator = [](lab::GeneratorSetting g) {
    if (osciloskop::Form1) osciloskop::Form1->SetGenerator(g.frequency_hz, g.amplitude);
  };
  link.card_name = [] { return platform::TheCard().Name(); };
  link.capture_volume = CaptureVolume;
  link.form_picture = [] {
    platform::TForm* form = platform::Application ? platform::Application->MainForm() : nullptr;
    if (!form || form->Closed()) return std::string();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(platform::ClientPicture(*form, true)))
      return std::string();
    return bytes.toStdString();
  };
  link.dump = [] {
    return platform::Application ? platform::DumpText(*platform::Application) : std::string();
  };
  // The form fills and writes each output buffer at once, so its next sample
  // is the card's next written frame.
  link.generator_arrival = [] { return platform::TheCard().TapFrameOfNextOutput(); };
  return link;
}

}  // namespace

void OfferMeasuringWindow() {
  platform::AddScreenMenuEntry("Měření…", "Ctrl+M", [] {
    if (the_lab) the_lab->ShowWindow();
  });
}

std::unique_ptr<lab::Lab> StartLab(const platform::PlatformOptions& options) {
  lab::LabOptions o;
  o.open_window = options.measurements;
  o.settings = options.settings;
  o.cal_ur = options.cal_ur;
  o.cal_il = options.cal_il;
  o.shunt = options.shunt;
  auto lab = std::make_unique<lab::Lab>(Link(), o);
  if (std::string note = lab->Start(); !note.empty())
    std::fprintf(stderr, "osciloskop: %s\n", note.c_str());
  if (options.remote) {
    if (std::string e = lab->StartRemote(*options.remote); !e.empty()) {
      // A headless server that cannot serve has nothing to do.
      if (options.headless) throw std::runtime_error("--remote: " + e);
      std::fprintf(stderr, "osciloskop: --remote: %s\n", e.c_str());
    } else {
      std::fprintf(stderr, "osciloskop: SCPI server listening on %s\n",
                   lab->Remote()->Address().c_str());
      if (lab->Remote()->OpenToNetwork())
        std::fprintf(stderr,
                     "osciloskop: warning: %s is reachable from the network, and the server "
                     "has no password: anyone there can drive the generator\n",
                     lab->Remote()->Address().c_str());
    }
  }
  the_lab = lab.get();
  platform::ScriptExtension ext;
  ext.handles = &lab::Lab::Handles;
  ext.check = &lab::Lab::Check;
  ext.run = [](const platform::ScriptExtension::Words& w) {
    return the_lab ? the_lab->Run(w) : std::string("the measuring instrument is not running");
  };
  ext.busy = [] { return the_lab && the_lab->Busy(); };
  ext.finish = [] { return the_lab ? the_lab->Finished() : std::string(); };
  ext.dump = [](platform::JsonWriter& w) {
    if (the_lab) the_lab->Dump(w);
  };
  platform::SetScriptExtension(std::move(ext));
  return lab;
}

void StopLab() {
  if (the_lab) the_lab->StopRemote();
  the_lab = nullptr;
}

}  // namespace program
