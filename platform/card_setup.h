#pragma once
// Chooses and configures the sound card backend from the options, and
// registers what a headless dump shows of it.
#include <string>

namespace platform {

struct PlatformOptions;

// Returns an empty string, or a message naming the bad option.
std::string SetUpCard(const PlatformOptions& options);
// --list-cards: the PCM and mixer devices of the chosen card, one a line,
// on stdout; returns the exit status.
int ListCards(const PlatformOptions& options);
// After the program body: flushes outputs (a WAV capture); returns the status.
int FinishCard(int status);

}  // namespace platform
