// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The platform's own command line as parsed (platform/options.h parses it):
// what every layer of the platform may be set up from.
#include <optional>
#include <string>

namespace platform {

struct PlatformOptions {
  std::string card = "virtual";  // "virtual" or "alsa[:DEVICE]"
  std::string signal_r = "silence";
  std::string signal_l = "silence";
  std::string circuit;  // --circuit=SPEC: the virtual inputs across a simulated circuit
  std::string output_wav;
  std::string record_input;  // --record-input=FILE.wav
  bool headless = false;
  std::string script;
  int idle_quantum_ms = 1;
  bool busy_idle = false;   // idle steps back to back, also those that change nothing
  std::string mixer_fault;  // "", "none", "fail-caps" or "fail-open" (virtual card)
  bool list_cards = false;
  // The measuring instrument: its window open from the start, where its
  // calibration is kept ("" the user's configuration, "none" nowhere), and
  // values that override the kept calibration for one run.
  bool measurements = false;
  std::string settings;
  std::optional<double> cal_ur;  // full scale of the UR input, volts peak
  std::optional<double> cal_il;  // full scale of the IL input, volts peak
  std::optional<double> shunt;   // ohms
  // --remote[=ADDRESS:PORT]: the SCPI server, "HOST:PORT".
  std::optional<std::string> remote;
  bool help = false;     // --help: print HelpText() and exit
  bool version = false;  // --version: print VersionText() and exit
};

}  // namespace platform
