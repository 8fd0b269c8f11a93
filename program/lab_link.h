#pragma once
// The program's entry wires the measuring instrument (lab/) to the form and
// the platform: the card's frames and name, the form's generator, the
// capture volume, the script commands, the dump and the screen's menu.
#include <memory>

#include "lab/lab.h"

namespace platform {
struct PlatformOptions;
}

namespace program {

// Before the form is made: the screen menu's entry and its key, which open
// the measuring window once it exists.
void OfferMeasuringWindow();
// After the form is made: the instrument, started; its notes on stderr.
std::unique_ptr<lab::Lab> StartLab(const platform::PlatformOptions& options);
// Before it goes: scripts and the menu no longer reach it.
void StopLab();

}  // namespace program
