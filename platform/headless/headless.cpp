// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/headless/headless.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/base/files_in_use.h"
#include "platform/base/json.h"
#include "platform/base/messages.h"
#include "platform/base/platform_options.h"
#include "platform/base/printable.h"
#include "platform/base/timebase.h"
#include "platform/card/cards.h"
#include "platform/mm/volume.h"
#include "platform/toolkit/application.h"
#include "platform/toolkit/form_window.h"
#include "platform/toolkit/keys.h"
#include "platform/toolkit/screen_export.h"
#include "platform/toolkit/screen_menu.h"
#include "platform/toolkit/user_input.h"

namespace platform {

namespace {

bool ParseInt(const std::string& s, int& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseSeconds(const std::string& s, double& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

void Check(const std::string& error) {
  if (!error.empty()) throw ScriptError{error};
}

// An action done with a press on the control: it takes the focus, unless
// the action was refused.
std::string Pressed(TControl& c, std::string error) {
  if (error.empty()) FocusAsPressed(c);
  return error;
}

// Every idle step that runs costs a quantum of virtual time. A step at rest
// would only repeat itself on every quantum until a device event changes
// something, so time jumps to the quantum at which the busy loop would have
// met that event: the same steps see the same state at the same times.
void AdvanceFor(TApplication& app, Nanos duration, Nanos quantum) {
  VirtualClock* clock = TheVirtualClock();
  const Nanos target = clock->Now() + duration;
  while (!app.Terminated()) {
    const TApplication::Turn turn = app.Step();
    const Nanos now = clock->Now();
    if (now >= target) break;
    const auto next = DeviceScheduler().NextTime();
    Nanos to = target;
    if (turn == TApplication::Turn::Again) {
      to = now + quantum;
    } else if (turn == TApplication::Turn::AtRest) {
      // A message still queued is met on the next quantum.
      if (PendingMessageCount() > 0)
        to = now + quantum;
      else if (next)
        to = now + std::max<Nanos>(1, (*next - now + quantum - 1) / quantum) * quantum;
    } else if (next) {
      // Waiting for a message: jump to the next device event.
      to = std::max(*next, now);
    }
    clock->AdvanceTo(std::min(target, to));
  }
}

std::string Usage(const std::vector<std::string>& w, std::size_t n, const char* usage) {
  return w.size() == n ? std::string() : std::string("usage: ") + usage;
}

std::string PngName(const std::string& command, const std::string& file) {
  if (file.size() < 5 || file.substr(file.size() - 4) != ".png")
    return command + ": the file name must end in .png";
  return {};
}

using Words = std::vector<std::string>;

// The commands every run has; other layers add theirs.
std::map<std::string, ScriptCommand>& Commands() {
  static std::map<std::string, ScriptCommand> table = {
      {"wait",
       {[](const Words& w, ScriptNeeds&) {
          double s = 0;
          if (auto e = Usage(w, 2, "wait SECONDS"); !e.empty()) return e;
          if (!ParseSeconds(w[1], s) || s < 0 || s > 1e6)
            return "wait: '" + w[1] + "' is not a number of seconds from 0 to 1000000";
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          double s = 0;
          ParseSeconds(w[1], s);
          run.Wait(static_cast<Nanos>(std::llround(s * 1e9)));
        }}},
      {"select",
       {[](const Words& w, ScriptNeeds& needs) {
          int i = 0;
          if (auto e = Usage(w, 3, "select CONTROL INDEX"); !e.empty()) return e;
          if (!ParseInt(w[2], i)) return "select: '" + w[2] + "' is not an item index";
          needs.controls.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          TControl& c = run.ControlNamed(w[1]);
          int i = 0;
          ParseInt(w[2], i);
          // The press that opens the list gives it the focus, as it would.
          run.Act([&] { return Pressed(c, c.UserSelect(i)); });
        }}},
      {"position",
       {[](const Words& w, ScriptNeeds& needs) {
          int v = 0;
          if (auto e = Usage(w, 3, "position CONTROL VALUE"); !e.empty()) return e;
          if (!ParseInt(w[2], v)) return "position: '" + w[2] + "' is not a whole number";
          needs.controls.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          TControl& c = run.ControlNamed(w[1]);
          int v = 0;
          ParseInt(w[2], v);
          run.Act([&] { return Pressed(c, c.UserPosition(v)); });
        }}},
      {"click",
       {[](const Words& w, ScriptNeeds& needs) {
          if (w.size() != 2 && !(w.size() == 3 && w[2] == "right"))
            return std::string("usage: click CONTROL [right]");
          needs.controls.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          TControl& c = run.ControlNamed(w[1]);
          run.Act([&] { return ClickControl(run.Form(), c, w.size() == 3); });
        }}},
      {"focus",
       {[](const Words& w, ScriptNeeds& needs) {
          if (auto e = Usage(w, 2, "focus CONTROL"); !e.empty()) return e;
          needs.controls.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          TControl& c = run.ControlNamed(w[1]);
          run.Act([&] { return run.Form().FocusControl(&c); });
        }}},
      {"key",
       {[](const Words& w, ScriptNeeds&) {
          if (auto e = Usage(w, 2, "key NAME"); !e.empty()) return e;
          if (!KeyNamed(w[1]))
            return "unknown key '" + w[1] + "' (keys: " + std::string(KeyNames()) + ")";
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          run.Act([&] { return PressKey(run.Form(), w[1]); });
        }}},
      {"type",
       {[](const Words& w, ScriptNeeds&) {
          if (w.size() < 2) return std::string("usage: type TEXT");
          std::string text = w[1];
          for (std::size_t i = 2; i < w.size(); ++i) text += " " + w[i];
          if (!IsValidUtf8(text)) return std::string("type: the text is not UTF-8");
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          std::string text = w[1];
          for (std::size_t i = 2; i < w.size(); ++i) text += " " + w[i];
          run.Act([&] { return TypeText(run.Form(), text); });
        }}},
      {"wheel",
       {[](const Words& w, ScriptNeeds& needs) {
          int steps = 0;
          if (auto e = Usage(w, 3, "wheel CONTROL STEPS"); !e.empty()) return e;
          if (!ParseInt(w[2], steps) || steps < -100 || steps > 100)
            return "wheel: '" + w[2] + "' is not a number of steps from -100 to 100";
          needs.controls.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          TControl& c = run.ControlNamed(w[1]);
          int steps = 0;
          ParseInt(w[2], steps);
          run.Act([&] { return TurnWheel(run.Form(), c, steps); });
        }}},
      {"resize",
       {[](const Words& w, ScriptNeeds&) {
          int cw = 0, ch = 0;
          if (auto e = Usage(w, 3, "resize WIDTH HEIGHT"); !e.empty()) return e;
          if (!ParseInt(w[1], cw) || !ParseInt(w[2], ch) || cw < 1 || ch < 1 || cw > 8192 ||
              ch > 8192)
            return std::string("resize: the client size must be two whole numbers from 1 to 8192");
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          int cw = 0, ch = 0;
          ParseInt(w[1], cw);
          ParseInt(w[2], ch);
          run.Act([&] {
            run.Form().SetClientSize(cw, ch);
            return std::string();
          });
        }}},
      {"signal",
       {[](const Words& w, ScriptNeeds& needs) {
          if (auto e = Usage(w, 3, "signal r|l SOURCE"); !e.empty()) return e;
          if (w[1] != "r" && w[1] != "l")
            return "signal: the input is 'r' or 'l', not '" + w[1] + "'";
          if (std::string file = FileOfSource(w[2]); !file.empty()) needs.reads.push_back(file);
          return TheCard().CheckSignal(w[1][0], w[2]);
        },
        [](ScriptRun&, const Words& w) { Check(TheCard().SetSignal(w[1][0], w[2])); }}},
      {"mixer",
       {[](const Words& w, ScriptNeeds&) {
          if (auto e = Usage(w, 4, "mixer LINE CONTROL VALUE[,RIGHT]"); !e.empty()) return e;
          return TheCard().CheckMixer(w[1], w[2], w[3]);
        },
        [](ScriptRun& run, const Words& w) {
          Check(TheCard().ChangeMixer(w[1], w[2], w[3]));
          run.Settle();
        }}},
      {"screenshot",
       {[](const Words& w, ScriptNeeds& needs) {
          if (w.size() != 2 && !(w.size() == 3 && w[2] == "window"))
            return std::string("usage: screenshot FILE.png [window]");
          needs.writes.push_back(w[1]);
          return PngName("screenshot", w[1]);
        },
        [](ScriptRun& run, const Words& w) {
          // The client area, or with "window" the menu bar above it as well.
          if (WriteResult failed = SavePicture(run.Form(), w[1], w.size() == 3))
            throw ScriptError{failed->Text()};
        }}},
      {"menu",
       {[](const Words& w, ScriptNeeds&) {
          int x = 0, y = 0;
          if (auto e = Usage(w, 3, "menu X Y"); !e.empty()) return e;
          if (!ParseInt(w[1], x) || !ParseInt(w[2], y))
            return std::string("menu: the point is two whole numbers of the client area");
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          int x = 0, y = 0;
          ParseInt(w[1], x);
          ParseInt(w[2], y);
          run.Act([&] { return RightClickScreen(run.Form(), x, y); });
        }}},
      {"save-picture",
       {[](const Words& w, ScriptNeeds& needs) {
          if (auto e = Usage(w, 2, "save-picture FILE.png"); !e.empty()) return e;
          needs.writes.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          if (WriteResult failed = SavePicture(run.Form(), w[1])) throw ScriptError{failed->Text()};
        }}},
      {"save-data",
       {[](const Words& w, ScriptNeeds& needs) {
          if (auto e = Usage(w, 2, "save-data FILE.csv"); !e.empty()) return e;
          needs.writes.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          if (WriteResult failed = SaveData(run.Form(), w[1])) throw ScriptError{failed->Text()};
        }}},
      {"record-input",
       {[](const Words& w, ScriptNeeds& needs) {
          if (auto e = Usage(w, 2, "record-input FILE.wav|off"); !e.empty()) return e;
          if (w[1] != "off") needs.writes.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun&, const Words& w) {
          if (w[1] == "off")
            StopInputRecording();
          else if (WriteResult failed = StartInputRecording(w[1]))
            throw ScriptError{failed->Text()};
        }}},
      {"dump",
       {[](const Words& w, ScriptNeeds& needs) {
          if (auto e = Usage(w, 2, "dump FILE.json"); !e.empty()) return e;
          needs.writes.push_back(w[1]);
          return std::string();
        },
        [](ScriptRun& run, const Words& w) {
          if (WriteResult failed = WriteFile(w[1], DumpText(run.App())))
            throw ScriptError{failed->Text()};
        }}},
      {"close",
       {[](const Words& w, ScriptNeeds&) { return Usage(w, 1, "close"); },
        [](ScriptRun& run, const Words&) {
          run.App().Guard([&] { run.Form().Close(); });
          run.closed = run.Form().Closed();
          if (!run.closed) throw ScriptError{"close: the window refused to close"};
        }}},
  };
  return table;
}

// What is wrong with writing `path`, checked before anything is written:
// empty, or the message.
std::string OutputFault(const std::string& path, const std::vector<std::string>& reads) {
  const std::string quoted = "cannot write '" + PrintableText(path) + "': ";
  if (int error = CheckOutputPath(path)) return quoted + OutputPathReason(error);
  if (FileRead input = InputThatIs(path))
    return quoted + "it is the file read by " + input.role + " ('" + PrintableText(input.path) +
           "')";
  for (const std::string& read : reads)
    if (SameFile(read, path))
      return quoted + "it is the file the script reads as a signal ('" + PrintableText(read) + "')";
  return {};
}

std::string InputFault(const std::string& path, const std::vector<std::string>& writes) {
  if (FileRead output = OutputThatIs(path))
    return "cannot read '" + PrintableText(path) + "': it is the file written by " + output.role +
           " ('" + PrintableText(output.path) + "')";
  for (const std::string& write : writes)
    if (SameFile(path, write))
      return "cannot read '" + PrintableText(path) + "': the script writes it ('" +
             PrintableText(write) + "')";
  return {};
}

}  // namespace

ScriptRun::ScriptRun(TApplication& app)
    : app_(app), quantum_(Nanos{app.Options().idle_quantum_ms} * 1'000'000) {}

TForm& ScriptRun::Form() {
  if (!app_.MainForm()) throw ScriptError{"no window"};
  return *app_.MainForm();
}

TControl& ScriptRun::ControlNamed(const std::string& name) {
  TControl* c = Form().Control(name);
  if (!c) throw ScriptError{"unknown control '" + name + "'"};
  return *c;
}

void ScriptRun::Act(const std::function<std::string()>& action) {
  std::string error;
  app_.Guard([&] { error = action(); });
  Check(error);
  Settle();
}

void ScriptRun::Settle() {
  app_.Guard([] { QCoreApplication::processEvents(); });
}

void ScriptRun::Wait(Nanos duration) {
  if (TheVirtualClock() == nullptr)
    app_.RunUntil(DeviceClock().Now() + duration);
  else
    AdvanceFor(app_, duration, quantum_);
}

ScriptCommand ScriptCommandNamed(const std::string& name) {
  const auto it = Commands().find(name);
  return it == Commands().end() ? ScriptCommand{} : it->second;
}

std::vector<std::function<void(JsonWriter&)>>& DumpSections() {
  static std::vector<std::function<void(JsonWriter&)>> sections;
  return sections;
}

void AddDumpSection(std::function<void(JsonWriter&)> section) {
  DumpSections().push_back(std::move(section));
}

void AddScriptCommand(const std::string& name, ScriptCommand command) {
  Commands()[name] = std::move(command);
}

namespace {  // The title, labels and buttons of a dialog shown, or nothing.
std::vector<std::string> OpenDialogWords() {
  std::vector<std::string> words;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QDialog*>(top);
    if (!dialog || !dialog->isVisible()) continue;
    words.push_back(dialog->windowTitle().toStdString());
    for (const QWidget* part : dialog->findChildren<QWidget*>()) {
      if (!part->isVisibleTo(dialog)) continue;
      QString text;
      if (auto* label = qobject_cast<const QLabel*>(part)) text = label->text();
      if (auto* button = qobject_cast<const QAbstractButton*>(part)) text = button->text();
      if (!text.isEmpty()) words.push_back(text.toStdString());
    }
  }
  return words;
}

}  // namespace

void RunFor(TApplication& app, double seconds, int quantum_ms) {
  AdvanceFor(app, static_cast<Nanos>(std::llround(seconds * 1e9)), Nanos{quantum_ms} * 1'000'000);
}

std::string DumpText(TApplication& app) {
  JsonWriter w;
  w.BeginObject();
  w.Value("time", static_cast<double>(DeviceClock().Now()) / 1e9);
  // Differs between a resting and a busy loop, unlike everything else.
  w.Value("idleSteps", static_cast<std::int64_t>(app.IdleSteps()));
  if (TForm* f = app.MainForm()) {
    w.Value("caption", f->Caption());
    w.Value("title", f->Title());
    w.BeginObject("client")
        .Value("width", f->ClientWidth())
        .Value("height", f->ClientHeight())
        .EndObject();
    w.BeginObject("window")
        .Value("left", f->Left())
        .Value("top", f->Top())
        .Value("width", f->Width())
        .Value("height", f->Height())
        .EndObject();
    w.BeginObject("controls");
    for (TControl* c : f->Controls()) {
      w.BeginObject(c->Name());
      c->DumpProperties(w);
      w.EndObject();
    }
    w.EndObject();
    w.Value("focus", f->ActiveControl() ? f->ActiveControl()->Name() : std::string());
    // A drop-down list or a menu open over the window.
    const OpenPopup open = OpenPopupNow();
    w.Value("popup", open.list);
    w.List("menu", open.menu);
    // The screen's own menu, while it is open.
    w.List("contextMenu", f->Window()->Menu()->OpenEntries());
    // A dialog open over the window (a file dialog, a message): its words.
    if (const std::vector<std::string> words = OpenDialogWords(); !words.empty())
      w.List("dialog", words);
    // Paints of a window on a display; none off screen.
    const PaintStats& p = f->Window()->Client()->Stats();
    w.BeginObject("view")
        .Value("paints", p.paints)
        .Value("messageToPaintMeanMs", p.timed ? p.sum_ms / p.timed : 0.0)
        .Value("messageToPaintMaxMs", p.max_ms)
        .EndObject();
    // Every live window, hidden ones included: callback windows must not pile up.
    w.Value("windows", LiveWindowCount());
    f->DumpState(w);
  }
  w.BeginObject("card");
  TheCard().DumpCard(w);
  w.EndObject();
  // Only with a circuit, so that other dumps stay as they were.
  if (const std::string circuit = TheCard().CircuitText(); !circuit.empty())
    w.Value("circuit", circuit);
  // The playback volumes as the program's own calls read them; -1 where
  // the card has no such volume.
  const auto volume = [](auto read) {
    DWORD v = 0;
    return read(&v) == MMSYSERR_NOERROR ? std::int64_t{v} : std::int64_t{-1};
  };
  w.BeginObject("volumes");
  w.Value("waveOut", volume([](DWORD* v) { return waveOutGetVolume(HWAVEOUT{}, v); }));
  for (UINT d = kFirstAuxDevice; d <= kLastAuxDevice; ++d)
    w.Value("aux" + std::to_string(d), volume([d](DWORD* v) { return auxGetVolume(d, v); }));
  w.EndObject();
  w.List("errors", app.Errors());
  for (const auto& section : DumpSections()) section(w);
  w.EndObject();
  return w.Text();
}

std::string LoadScript(const std::string& path, Script& out) {
  out = Script{path, {}, {}};
  const std::string name = PrintableText(path);
  if (std::string why = CheckInputPath(path); !why.empty())
    return "osciloskop: cannot read script '" + name + "': " + why;
  std::ifstream in(path);
  if (!in) return "osciloskop: cannot read script '" + name + "'";
  struct Noted {
    int line;
    std::string path;
  };
  std::vector<Noted> writes, reads;
  // The message may quote the script's own bytes; it is printed as text.
  const auto fault = [&](int line, const std::string& message) {
    return name + ":" + std::to_string(line) + ": " + PrintableText(message);
  };
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    ScriptLine l{number, {}, {}};
    for (std::string s; words >> s;) l.words.push_back(s);
    if (l.words.empty()) continue;
    const auto command = Commands().find(l.words[0]);
    if (command == Commands().end()) return fault(number, "unknown command '" + l.words[0] + "'");
    ScriptNeeds needs;
    if (std::string e = command->second.check(l.words, needs); !e.empty()) return fault(number, e);
    for (const std::string& w : needs.writes) writes.push_back({number, w});
    for (const std::string& r : needs.reads) reads.push_back({number, r});
    l.controls = needs.controls;
    for (std::string& c : needs.controls) out.needs.controls.push_back(std::move(c));
    out.lines.push_back(std::move(l));
  }
  if (in.bad()) return "osciloskop: cannot read script '" + name + "'";
  for (const Noted& r : reads) out.needs.reads.push_back(r.path);
  for (const Noted& w : writes) out.needs.writes.push_back(w.path);
  for (const Noted& w : writes)
    if (std::string e = OutputFault(w.path, out.needs.reads); !e.empty()) return fault(w.line, e);
  for (const Noted& r : reads) {
    if (std::string why = CheckInputPath(r.path); !why.empty())
      return fault(r.line, "cannot read '" + r.path + "': " + why);
    if (std::string e = InputFault(r.path, out.needs.writes); !e.empty()) return fault(r.line, e);
  }
  return {};
}

int RunScript(TApplication& app, const Script& script, const std::function<std::string()>& ready) {
  const std::string name = PrintableText(script.path);
  if (TForm* form = app.MainForm()) {
    for (const ScriptLine& l : script.lines) {
      for (const std::string& c : l.controls)
        if (!form->Control(c)) {
          std::fprintf(stderr, "%s:%d: unknown control '%s'\n", name.c_str(), l.number,
                       PrintableText(c).c_str());
          return 2;
        }
    }
  }
  if (ready) {
    if (std::string e = ready(); !e.empty()) {
      std::fprintf(stderr, "osciloskop: %s\n", PrintableText(e).c_str());
      return 2;
    }
  }
  ScriptRun run(app);
  for (const ScriptLine& l : script.lines) {
    // A window closed from outside the script (its user, a signal) ends it.
    if (app.Terminated() && !run.closed) return 0;
    try {
      // A dump may follow: it shows what the close handler left behind.
      if (run.closed && l.words[0] != "dump")
        throw ScriptError{"the window is closed; only 'dump' can follow 'close'"};
      Commands().at(l.words[0]).act(run, l.words);
    } catch (const ScriptError& e) {
      std::fprintf(stderr, "%s:%d: %s\n", name.c_str(), l.number, PrintableText(e.message).c_str());
      return 2;
    }
  }
  return 0;
}

int RunScript(TApplication& app, const std::string& path) {
  Script script;
  if (std::string e = LoadScript(path, script); !e.empty()) {
    std::fprintf(stderr, "%s\n", e.c_str());
    return 2;
  }
  return RunScript(app, script, nullptr);
}

}  // namespace platform
