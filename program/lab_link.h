// SPDX-License-Identifier: GPL-3.0-or-later
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

// Before the program starts (its script is checked before anything runs):
// the lab's script commands and dump section, the screen menu's entry and
// its key, which reach the lab once it runs.
void OfferLab();
// After the form is made: the instrument, started; its notes on stderr.
std::unique_ptr<lab::Lab> StartLab(const platform::PlatformOptions& options);
// Before it goes: scripts and the menu no longer reach it.
void StopLab();

}  // namespace program
