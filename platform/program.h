// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Process start-up of the platform: options, Qt, font, clock and card,
// then the program body (which builds its forms and runs the loop).
#include <functional>

namespace platform {

int RunProgram(int argc, char** argv, const std::function<int()>& body);

}  // namespace platform
