// SPDX-License-Identifier: GPL-3.0-or-later
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
#include "platform/base/json.h"
#include "platform/base/platform_options.h"
#include "platform/card/cards.h"
#include "platform/headless/headless.h"
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
  link.output_breaks = [] { return platform::TheCard().OutputBreaks(); };
  return link;
}

// The lab's lines in the runner's table, checked with the rest of the
// script before it runs; `screenshot FILE measurements` is the lab's form of
// the runner's own screenshot.
void AddScriptCommands() {
  using Words = std::vector<std::string>;
  const auto check = [](const Words& w, platform::ScriptNeeds& needs) {
    const bool writes = (w[0] == "log-measurements" && w.size() == 2 && w[1] != "off") ||
                        (w[0] == "save-view" && w.size() == 2) ||
                        (w[0] == "screenshot" && w.size() == 3);
    if (writes) needs.writes.push_back(w[1]);
    return lab::Lab::Check(w);
  };
  const auto act = [](platform::ScriptRun& run, const Words& w) {
    run.Act([&] { return the_lab ? the_lab->Run(w) : std::string("no measuring instrument"); });
    // A sweep runs to its end before the next line, within an hour of the
    // clock it runs on (virtual time headless).
    constexpr platform::Nanos kStep = 50'000'000;
    for (int i = 0; i < 72'000 && the_lab && the_lab->Busy() && !run.App().Terminated(); ++i)
      run.Wait(kStep);
    if (w[0] != "response" || !the_lab) return;
    if (the_lab->Busy()) throw platform::ScriptError{"the sweep did not finish within an hour"};
    if (std::string e = the_lab->Finished(); !e.empty()) throw platform::ScriptError{e};
  };
  for (const std::string& name : lab::Lab::Commands())
    platform::AddScriptCommand(name, {check, act});
  const platform::ScriptCommand form = platform::ScriptCommandNamed("screenshot");
  platform::AddScriptCommand(
      "screenshot", {[form, check](const Words& w, platform::ScriptNeeds& needs) {
                       return lab::Lab::Handles(w) ? check(w, needs) : form.check(w, needs);
                     },
                     [form, act](platform::ScriptRun& run, const Words& w) {
                       if (lab::Lab::Handles(w))
                         act(run, w);
                       else
                         form.act(run, w);
                     }});
}

}  // namespace

void OfferLab() {
  AddScriptCommands();
  platform::AddDumpSection([](platform::JsonWriter& w) {
    if (the_lab) the_lab->Dump(w);
  });
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
  return lab;
}

void StopLab() {
  if (the_lab) the_lab->StopRemote();
  the_lab = nullptr;
}

}  // namespace program
