// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The headless script runner: drives the application on the virtual clock
// from a script of user actions, dumps and screenshots.
#include <string>

namespace platform {

class TApplication;
class JsonWriter;

// Runs the script; returns the exit status (2 for a bad line).
int RunScript(TApplication& app, const std::string& path);

// Runs the application for `seconds` of virtual time: every idle step that
// leaves Done false costs `quantum_ms`; otherwise time jumps to the next
// device event. The virtual clock must be in use.
void RunFor(TApplication& app, double seconds, int quantum_ms = 1);

// The whole dump of the running application, as `dump` writes it.
std::string DumpText(TApplication& app);

}  // namespace platform
