// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ALSA PCM devices this machine names (its device hints), for
// --list-cards: "NAME: DESCRIPTION (playback|capture|playback, capture)".
#include <string>
#include <vector>

namespace platform {

std::vector<std::string> AlsaPcmDevices();

}  // namespace platform
