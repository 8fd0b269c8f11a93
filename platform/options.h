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
  bool headless = false;
  std::string script;
  int idle_quantum_ms = 1;
  std::string mixer_fault;  // "", "none", "fail-caps" or "fail-open" (virtual card)
  bool list_cards = false;
};

// Parses argv[1..]; on a bad option returns false with a message in `error`.
bool ParseOptions(const std::vector<std::string>& args, PlatformOptions& out, std::string& error);

std::string UsageText();

}  // namespace platform
