// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether the display the window would open on answers, asked before Qt is
// started: Qt aborts the process when its platform cannot connect.
#include <string>

namespace platform {

// Empty, or what is wrong ("no display (DISPLAY is not set)", "display ':7'
// cannot be reached").
std::string DisplayFault();

}  // namespace platform
