// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The headless script runner: drives the application on the virtual clock
// from a script of user actions, dumps and screenshots. The whole script is
// checked before its first line runs: each command has a check of its words
// (and the files it will write or read), apart from its action, in a table
// that other layers add their commands to.
#include <functional>
#include <string>
#include <vector>

#include "platform/base/timebase.h"

namespace platform {

class TApplication;
class TControl;
class TForm;

// A line's fault: the runner prints it as SCRIPT:LINE: message.
struct ScriptError {
  std::string message;
};

// What a line needs, noted by its check: the files it writes and reads and
// the controls it names (known only once the window is made).
struct ScriptNeeds {
  std::vector<std::string> writes, reads, controls;
};

// What an action can do to the running application.
class ScriptRun {
 public:
  explicit ScriptRun(TApplication& app);
  TApplication& App() { return app_; }
  TForm& Form();
  TControl& ControlNamed(const std::string& name);
  // Runs a user action under the application's guard; a non-empty answer
  // is the line's fault. Messages it posted are handled before the next line.
  void Act(const std::function<std::string()>& action);
  void Settle();
  // Runs the instrument for that much (virtual) time.
  void Wait(Nanos duration);
  bool closed = false;

 private:
  TApplication& app_;
  Nanos quantum_;
};

struct ScriptCommand {
  // Empty, or what is wrong with the line's words; notes what the line needs.
  std::function<std::string(const std::vector<std::string>& words, ScriptNeeds& needs)> check;
  // Throws ScriptError with what went wrong at run time.
  std::function<void(ScriptRun& run, const std::vector<std::string>& words)> act;
};

// Adds (or replaces) the command `name`.
void AddScriptCommand(const std::string& name, ScriptCommand command);
// The command as it is now (empty functions for none), for a layer above
// that takes over one form of it.
ScriptCommand ScriptCommandNamed(const std::string& name);

class JsonWriter;
// Sections of a layer above (the measuring instrument), written at the end
// of every dump in the order added.
void AddDumpSection(std::function<void(JsonWriter&)> section);
std::vector<std::function<void(JsonWriter&)>>& DumpSections();

struct ScriptLine {
  int number = 0;
  std::vector<std::string> words;
  std::vector<std::string> controls;  // named by the line, as its check noted
};
struct Script {
  std::string path;
  std::vector<ScriptLine> lines;
  ScriptNeeds needs;
};

// Reads and checks the whole script, its files against those the options
// read and write (files_in_use.h) and against each other, touching none:
// empty, or the message to print ("SCRIPT:LINE: ...").
std::string LoadScript(const std::string& path, Script& out);

// Checks the controls the script names, calls `ready` (which may refuse the
// run with a message), then runs the lines; returns the exit status (2 for
// a bad line).
int RunScript(TApplication& app, const Script& script, const std::function<std::string()>& ready);
// LoadScript, then RunScript with nothing to do before the first line.
int RunScript(TApplication& app, const std::string& path);

// Runs the application for `seconds` of virtual time: every idle step that
// leaves Done false costs `quantum_ms`; otherwise time jumps to the next
// device event. The virtual clock must be in use.
void RunFor(TApplication& app, double seconds, int quantum_ms = 1);

// The whole dump of the running application, as `dump` writes it.
std::string DumpText(TApplication& app);

}  // namespace platform
