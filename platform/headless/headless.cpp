#include "platform/headless/headless.h"

#include <QCoreApplication>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/base/json.h"
#include "platform/base/messages.h"
#include "platform/base/platform_options.h"
#include "platform/base/printable.h"
#include "platform/base/timebase.h"
#include "platform/card/cards.h"
#include "platform/headless/script_extension.h"
#include "platform/mm/volume.h"
#include "platform/toolkit/application.h"
#include "platform/toolkit/form_window.h"
#include "platform/toolkit/screen_export.h"
#include "platform/toolkit/screen_menu.h"
#include "platform/toolkit/user_input.h"

namespace platform {

namespace {

ScriptExtension& Extension() {
  static ScriptExtension extension;
  return extension;
}

struct ScriptError {
  std::string message;
};

bool ParseInt(const std::string& s, int& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseSeconds(const std::string& s, double& out) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

class Runner {
 public:
  explicit Runner(TApplication& app)
      : app_(app), quantum_(Nanos{app.Options().idle_quantum_ms} * 1'000'000) {}

  void Execute(const std::vector<std::string>& words);
  bool closed() const { return closed_; }

 private:
  TForm& Form() {
    if (!app_.MainForm()) throw ScriptError{"no window"};
    return *app_.MainForm();
  }
  TControl& ControlNamed(const std::string& name) {
    TControl* c = Form().Control(name);
    if (!c) throw ScriptError{"unknown control '" + name + "'"};
    return *c;
  }
  static void Check(const std::string& error) {
    if (!error.empty()) throw ScriptError{error};
  }
  // An action done with a press on the control: it takes the focus, unless
  // the action was refused.
  static std::string Pressed(TControl& c, std::string error) {
    if (error.empty()) FocusAsPressed(c);
    return error;
  }
  void Need(const std::vector<std::string>& w, std::size_t n, const char* usage) {
    if (w.size() != n) throw ScriptError{std::string("usage: ") + usage};
  }
  void Wait(Nanos duration);
  void WaitWhileBusy(const ScriptExtension& ext);
  void Act(const std::function<std::string()>& action) {
    std::string error;
    app_.Guard([&] { error = action(); });
    Check(error);
    Settle();
  }
  // Messages posted by an action are handled before the next line, as they
  // would be before a user's next action.
  void Settle() {
    app_.Guard([] { QCoreApplication::processEvents(); });
  }

  TApplication& app_;
  Nanos quantum_;
  bool closed_ = false;
};

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

void Runner::Wait(Nanos duration) {
  if (TheVirtualClock() == nullptr)
    app_.RunUntil(DeviceClock().Now() + duration);
  else
    AdvanceFor(app_, duration, quantum_);
}

// A line that runs on (a sweep) ends when its extension says so, within an
// hour of the clock it runs on.
void Runner::WaitWhileBusy(const ScriptExtension& ext) {
  if (!ext.busy || !ext.busy()) return;
  constexpr Nanos kStep = 50'000'000;
  constexpr int kLimit = 72'000;  // steps: an hour
  for (int i = 0; i < kLimit && ext.busy() && !app_.Terminated(); ++i) Wait(kStep);
  if (app_.Terminated()) throw ScriptError{"the program ended before the command finished"};
  if (ext.busy()) throw ScriptError{"the command did not finish within an hour"};
  if (ext.finish) Check(ext.finish());
}

void Runner::Execute(const std::vector<std::string>& w) {
  const std::string& cmd = w[0];
  // A dump may follow: it shows what the close handler left behind.
  if (closed_ && cmd != "dump")
    throw ScriptError{"the window is closed; only 'dump' can follow 'close'"};
  if (const ScriptExtension& ext = Extension(); ext.handles && ext.handles(w)) {
    if (ext.check) Check(ext.check(w));
    std::string error;
    app_.Guard([&] { error = ext.run(w); });
    Check(error);
    Settle();
    WaitWhileBusy(ext);
  } else if (cmd == "wait") {
    Need(w, 2, "wait SECONDS");
    double s = 0;
    if (!ParseSeconds(w[1], s) || s < 0 || s > 1e6)
      throw ScriptError{"wait: '" + w[1] + "' is not a number of seconds from 0 to 1000000"};
    Wait(static_cast<Nanos>(std::llround(s * 1e9)));
  } else if (cmd == "select") {
    Need(w, 3, "select CONTROL INDEX");
    TControl& c = ControlNamed(w[1]);
    int i = 0;
    if (!ParseInt(w[2], i)) throw ScriptError{"select: '" + w[2] + "' is not an item index"};
    // The press that opens the list gives it the focus, as it would.
    Act([&] { return Pressed(c, c.UserSelect(i)); });
  } else if (cmd == "position") {
    Need(w, 3, "position CONTROL VALUE");
    TControl& c = ControlNamed(w[1]);
    int v = 0;
    if (!ParseInt(w[2], v)) throw ScriptError{"position: '" + w[2] + "' is not a whole number"};
    Act([&] { return Pressed(c, c.UserPosition(v)); });
  } else if (cmd == "click") {
    if (w.size() != 2 && !(w.size() == 3 && w[2] == "right"))
      throw ScriptError{"usage: click CONTROL [right]"};
    TControl& c = ControlNamed(w[1]);
    Act([&] { return ClickControl(Form(), c, w.size() == 3); });
  } else if (cmd == "focus") {
    Need(w, 2, "focus CONTROL");
    TControl& c = ControlNamed(w[1]);
    Act([&] { return Form().FocusControl(&c); });
  } else if (cmd == "key") {
    Need(w, 2, "key NAME");
    Act([&] { return PressKey(Form(), w[1]); });
  } else if (cmd == "type") {
    if (w.size() < 2) throw ScriptError{"usage: type TEXT"};
    std::string text = w[1];
    for (std::size_t i = 2; i < w.size(); ++i) text += " " + w[i];
    if (!IsValidUtf8(text)) throw ScriptError{"type: the text is not UTF-8"};
    Act([&] { return TypeText(Form(), text); });
  } else if (cmd == "wheel") {
    Need(w, 3, "wheel CONTROL STEPS");
    TControl& c = ControlNamed(w[1]);
    int steps = 0;
    if (!ParseInt(w[2], steps) || steps < -100 || steps > 100)
      throw ScriptError{"wheel: '" + w[2] + "' is not a number of steps from -100 to 100"};
    Act([&] { return TurnWheel(Form(), c, steps); });
  } else if (cmd == "resize") {
    Need(w, 3, "resize WIDTH HEIGHT");
    int cw = 0, ch = 0;
    if (!ParseInt(w[1], cw) || !ParseInt(w[2], ch) || cw < 1 || ch < 1 || cw > 8192 || ch > 8192)
      throw ScriptError{"resize: the client size must be two whole numbers from 1 to 8192"};
    Act([&] {
      Form().SetClientSize(cw, ch);
      return std::string();
    });
  } else if (cmd == "signal") {
    Need(w, 3, "signal r|l SOURCE");
    if (w[1] != "r" && w[1] != "l")
      throw ScriptError{"signal: the input is 'r' or 'l', not '" + w[1] + "'"};
    Check(TheCard().SetSignal(w[1][0], w[2]));
  } else if (cmd == "mixer") {
    Need(w, 4, "mixer LINE CONTROL VALUE[,RIGHT]");
    Check(TheCard().ChangeMixer(w[1], w[2], w[3]));
    Settle();
  } else if (cmd == "screenshot") {
    if (w.size() != 2 && !(w.size() == 3 && w[2] == "window"))
      throw ScriptError{"usage: screenshot FILE.png [window]"};
    if (w[1].size() < 5 || w[1].substr(w[1].size() - 4) != ".png")
      throw ScriptError{"screenshot: the file name must end in .png"};
    // The client area, or with "window" the menu bar above it as well.
    if (WriteResult failed = SavePicture(Form(), w[1], w.size() == 3))
      throw ScriptError{failed->Text()};
  } else if (cmd == "menu") {
    Need(w, 3, "menu X Y");
    int x = 0, y = 0;
    if (!ParseInt(w[1], x) || !ParseInt(w[2], y))
      throw ScriptError{"menu: the point is two whole numbers of the client area"};
    Act([&] { return RightClickScreen(Form(), x, y); });
  } else if (cmd == "save-picture") {
    Need(w, 2, "save-picture FILE.png");
    if (WriteResult failed = SavePicture(Form(), w[1])) throw ScriptError{failed->Text()};
  } else if (cmd == "save-data") {
    Need(w, 2, "save-data FILE.csv");
    if (WriteResult failed = SaveData(Form(), w[1])) throw ScriptError{failed->Text()};
  } else if (cmd == "record-input") {
    Need(w, 2, "record-input FILE.wav|off");
    if (w[1] == "off")
      StopInputRecording();
    else if (WriteResult failed = StartInputRecording(w[1]))
      throw ScriptError{failed->Text()};
  } else if (cmd == "dump") {
    Need(w, 2, "dump FILE.json");
    if (WriteResult failed = WriteFile(w[1], DumpText(app_))) throw ScriptError{failed->Text()};
  } else if (cmd == "close") {
    Need(w, 1, "close");
    app_.Guard([&] { Form().Close(); });
    closed_ = Form().Closed();
    if (!closed_) throw ScriptError{"close: the window refused to close"};
  } else {
    throw ScriptError{"unknown command '" + cmd + "'"};
  }
}

}  // namespace

void SetScriptExtension(ScriptExtension extension) { Extension() = std::move(extension); }
const ScriptExtension& TheScriptExtension() { return Extension(); }

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
  if (const ScriptExtension& ext = Extension(); ext.dump) ext.dump(w);
  w.EndObject();
  return w.Text();
}

int RunScript(TApplication& app, const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "osciloskop: cannot read script '%s'\n", PrintableText(path).c_str());
    return 2;
  }
  Runner runner(app);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty()) continue;
    // A window closed from outside the script (its user, a signal) ends it.
    if (app.Terminated() && !runner.closed()) return 0;
    try {
      runner.Execute(w);
    } catch (const ScriptError& e) {
      // The message may quote the script's own bytes; it is printed as text.
      std::fprintf(stderr, "%s:%d: %s\n", PrintableText(path).c_str(), number,
                   PrintableText(e.message).c_str());
      return 2;
    }
  }
  return 0;
}

}  // namespace platform
