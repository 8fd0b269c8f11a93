// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The platform's own command line, consumed before the instrument starts.
#include <string>
#include <vector>

#include "platform/base/platform_options.h"

namespace platform {

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
