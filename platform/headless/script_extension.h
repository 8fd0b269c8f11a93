#pragma once
// Script commands and a dump section from a layer above the platform (the
// measuring instrument), plugged in by the program's entry. The runner asks
// `handles` first, so an extension may also take a form of a built-in
// command (`screenshot FILE measurements`).
#include <functional>
#include <string>
#include <vector>

namespace platform {

class JsonWriter;

struct ScriptExtension {
  using Words = std::vector<std::string>;
  std::function<bool(const Words&)> handles;
  // Before the script runs: empty, or what is wrong with the line.
  std::function<std::string(const Words&)> check;
  // Runs the line: empty, or why it failed.
  std::function<std::string(const Words&)> run;
  // After a line ran: while this holds, the runner lets time pass (virtual
  // time headless) before the next line, as for a command that runs to its
  // end (a sweep); empty, or why it stopped short.
  std::function<bool()> busy;
  std::function<std::string()> finish;
  // Writes its sections at the end of the dump.
  std::function<void(JsonWriter&)> dump;
};

void SetScriptExtension(ScriptExtension extension);
const ScriptExtension& TheScriptExtension();

}  // namespace platform
