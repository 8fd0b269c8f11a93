#pragma once
// The platform's own command line, consumed before the instrument starts.
#include <string>
#include <vector>

namespace platform {

struct PlatformOptions {
  std::string card = "virtual";  // "virtual" or "alsa[:DEVICE]"
  std::string signal_r = "silence";
  std::string signal_l = "silence";
  std::string output_wav;
  std::string record_input;  // --record-input=FILE.wav
  bool headless = false;
  std::string script;
  int idle_quantum_ms = 1;
  bool busy_idle = false;  // idle steps back to back, also those that change nothing
  std::string mixer_fault;  // "", "none", "fail-caps" or "fail-open" (virtual card)
  bool list_cards = false;
  bool help = false;     // --help: print HelpText() and exit
  bool version = false;  // --version: print VersionText() and exit
};

// Parses argv[1..]; on a bad option returns false with a message in `error`.
// With --help or --version the other options are not checked.
bool ParseOptions(const std::vector<std::string>& args, PlatformOptions& out, std::string& error);

// The usage lines printed with a bad option.
std::string UsageText();
// --help: every option, one a line, the signal sources and the script
// commands.
std::string HelpText();
// --version: "osciloskop VERSION".
std::string VersionText();

}  // namespace platform
