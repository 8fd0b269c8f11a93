// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/options.h"

#include <charconv>
#include <optional>
#include <string>

#include "platform/card/cards.h"

namespace platform {

namespace {
// A positive finite number up to `max`, else the message.
std::string PositiveNumber(const char* option, const std::string& v, double max,
                           std::optional<double>& out) {
  double x = 0;
  auto r = std::from_chars(v.data(), v.data() + v.size(), x);
  if (r.ec != std::errc() || r.ptr != v.data() + v.size() || !(x > 0) || !(x <= max))
    return std::string(option) + " must be a number above 0 and at most " +
           std::to_string(static_cast<long>(max)) + ", not '" + v + "'";
  out = x;
  return {};
}

// ADDRESS:PORT, or a port alone on the loopback; the address itself is
// read when the server starts.
bool RemoteAddress(const std::string& v, std::optional<std::string>& out, std::string& error) {
  const std::size_t colon = v.rfind(':');
  const std::string port = colon == std::string::npos ? v : v.substr(colon + 1);
  int n = -1;
  auto r = std::from_chars(port.data(), port.data() + port.size(), n);
  if (r.ec != std::errc() || r.ptr != port.data() + port.size() || n < 0 || n > 65535 ||
      colon == 0) {
    error = "--remote wants ADDRESS:PORT (a port from 0 to 65535), not '" + v + "'";
    return false;
  }
  out = colon == std::string::npos ? "127.0.0.1:" + port : v;
  return true;
}
}  // namespace

#ifndef OSCILOSKOP_VERSION
#define OSCILOSKOP_VERSION "unknown"
#endif

std::string UsageText() {
  return R"(usage: osciloskop [--card=alsa[:DEVICE]|virtual] [--signal-r=SRC] [--signal-l=SRC]
                  [--circuit=SPEC] [--output-wav=FILE] [--record-input=FILE] [--headless]
                  [--script=FILE] [--idle-quantum-ms=N] [--busy-idle]
                  [--mixer=none|fail-caps|fail-open] [--measurements] [--settings=FILE|none]
                  [--cal-ur=VOLTS] [--cal-il=VOLTS] [--shunt=OHMS] [--remote[=ADDRESS:PORT]]
                  [--list-cards] [--help] [--version]
SRC: silence | sine:HZ[:PEAK] | square:HZ[:PEAK] | file:FILE[:CHANNEL] | generator
)";
}

std::string VersionText() { return std::string("osciloskop ") + OSCILOSKOP_VERSION + "\n"; }

std::string HelpText() {
  return R"(usage: osciloskop [OPTION]...
A two-channel sound-card oscilloscope, frequency meter and sine generator (Czech
interface). Its channel R (voltage UR) is the card's left line input, channel L
(current IL) the right one; the generator's sine comes out of the card's output.

Options (of the platform; the instrument itself reads none):
  --card=virtual            the built-in virtual sound card (the default)
  --card=alsa[:DEVICE]      the real sound card through ALSA (DEVICE: default)
  --signal-r=SRC            the virtual card's left input: channel R, voltage UR
  --signal-l=SRC            the virtual card's right input: channel L, current IL
  --circuit=SPEC            wire the virtual inputs to a simulated circuit driven by
                            the card's output (the generator); SPEC below
  --output-wav=FILE         also write the virtual card's output to a 16-bit WAV file
  --record-input=FILE       write every frame the card records to FILE (WAV, see below)
  --mixer=none|fail-caps|fail-open  the virtual card without a mixer, or one that fails
  --headless                run without a display, driven by --script (see below)
  --script=FILE             run a script of user actions (see below): headless with
                            --headless, else in the window on the wall clock
  --idle-quantum-ms=N       time one idle step costs in a headless run: 1 to 1000 (1)
  --busy-idle               run the idle steps back to back even when they change
                            nothing (by default the window rests until something does)
  --measurements            open the measuring window ("Měření") at start
  --settings=FILE|none      keep the calibration in FILE (INI), or nowhere (by default in
                            the user's configuration folder, osciloskop/osciloskop.ini)
  --cal-ur=VOLTS            full scale of the UR input (peak volts at 32767) for this run
  --cal-il=VOLTS            full scale of the IL input for this run
  --shunt=OHMS              the current-sense resistor for this run
  --remote[=ADDRESS:PORT]   serve SCPI commands over TCP (PyVISA: TCPIP::HOST::PORT::SOCKET)
                            on 127.0.0.1:5025, or where named (port 0: any free one);
                            with --headless and no script: serve on the wall clock until
                            a signal ends the run
  --list-cards              print the chosen card's PCM and mixer devices and exit
  --help                    print this help and exit
  --version                 print the version and exit

Sources SRC of the virtual inputs:
  silence                   zeros (the default)
  sine:HZ[:PEAK]            a sine of HZ hertz, peak PEAK of 32767 (16000)
  square:HZ[:PEAK]          a square wave
  file:FILE[:CHANNEL]       a sound file (WAV, FLAC, Ogg, AIFF, MP3: what libsndfile
                            reads), played in a loop; CHANNEL 0 or 1 of a stereo file;
                            other rates converted to 44100 Hz (libsoxr); wav: is the same
  generator                 the card's own output looped back

Circuits SPEC (key=value, comma-separated):
  dut=EXPR[,shunt=OHMS]     generator -> EXPR -> shunt (100) -> ground; R: the voltage
                            across EXPR, L: across the shunt (the current times it)
  top=EXPR,bottom=EXPR      a divider; R: the voltage across bottom, L: the generator's
  noise=DBFS                white noise of that RMS on both inputs (fixed seed)
  skew=SECONDS              channel L lags channel R by that time
  EXPR: R<ohm>, C<farad>, L<henry>, D (a silicon diode), + in series, | in parallel
  (binds tighter), parentheses; numbers take p n u m k M G: dut=R10+L10m+C1u,
  top=R1k,bottom=C100n. 32767 is 1.1 V peak on the output and on the inputs; the
  inputs lag the output by about 1.1 ms. Not with --signal-r/--signal-l.

The recording is 16-bit stereo at 44100 Hz, channel R first; it stays readable if
the run is interrupted. Replay it: --signal-r=file:FILE:0 --signal-l=file:FILE:1

A headless run on the virtual card runs on a virtual clock (the same script gives
the same result, byte for byte); on --card=alsa, with --remote and in the window,
it runs on the wall clock. Script commands, one a line, # starts a comment:
  wait SECONDS              run the instrument for that much (virtual) time
  select CONTROL INDEX      choose a list item as a user would (the list takes the focus)
  position CONTROL VALUE    move a slider as a user would (it takes the focus)
  click CONTROL [right]     click a control (its form name) with the left or right button:
                            a button, radio button, menu item, or a list to open it
  focus CONTROL             give a control the keyboard focus
  key NAME                  Enter, Tab, Shift+Tab, Left, Right, Up, Down, PageUp, PageDown,
                            Home, End, Space, Escape, Backspace, Delete, F4
  type TEXT                 type the text (the rest of the line, words one blank apart)
  wheel CONTROL STEPS       turn the wheel over a control, STEPS notches towards the user
                            (away when negative): it steps the focused list or slider
  resize WIDTH HEIGHT       set the client size
  signal r|l SRC            change a virtual input source
  mixer LINE CONTROL VALUE[,RIGHT]  change a virtual mixer control as another program would
  screenshot FILE.png [window]  the client area (with window: and the menu bar)
  menu X Y                  right-click the screen at X Y of the client area: its menu
  save-picture FILE.png     save the client area as shown (the menu's "Uložit obrázek…")
  save-data FILE.csv        save the quarter second the screen shows ("Uložit data…")
  record-input FILE.wav|off start or stop recording the input ("Nahrávat vstup…")
  show|hide measurements    open or close the measuring window "Měření"
  generator HZ [PEAK_VOLTS] set the generator: 10 to 20000 Hz, 0 to 1.1 V peak
  calibrate ur|il VOLTS_RMS what a voltmeter reads on that input now
  calibrate clock HZ        the true frequency of the tone on UR (or IL)
  calibrate skew            the same tone on both inputs: the lag of L behind R
  shunt OHMS                the current-sense resistor across the IL input
  log-measurements FILE.csv|off  a CSV row of every reading a quarter second
  screenshot FILE.png measurements  the measuring window
  dump FILE.json            the observable state
  close                     close the window as a user would (only dump may follow)
The whole script is checked before its first line runs: a bad line stops the run with
exit status 2 and SCRIPT:LINE: message on stderr, and no file is written.
An option's value may also follow it as the next argument: --script FILE.

Exit status: 0 done, 1 the program failed (a missing font), 2 a bad option or script.
Fonts: Liberation Sans from fonts-liberation2 (OSCILOSKOP_FONT_DIR: another folder).
)";
}

namespace {

// One option: its name, whether it takes a value, and what it sets (an
// error message, or empty).
struct Option {
  const char* name;
  bool takes_value;
  std::string (*take)(const std::string& value, PlatformOptions& out);
  // Without a value of its own, but one may follow '=' (--remote=ADDRESS:PORT).
  bool optional_value = false;
};

std::string NeedsFile(const char* option, const std::string& v, std::string& into) {
  if (v.empty()) return std::string(option) + " needs a file name";
  into = v;
  return {};
}

const Option kOptions[] = {
    {"--headless", false,
     [](const std::string&, PlatformOptions& o) {
       o.headless = true;
       return std::string();
     }},
    {"--busy-idle", false,
     [](const std::string&, PlatformOptions& o) {
       o.busy_idle = true;
       return std::string();
     }},
    {"--list-cards", false,
     [](const std::string&, PlatformOptions& o) {
       o.list_cards = true;
       return std::string();
     }},
    {"--card", true,
     [](const std::string& v, PlatformOptions& o) {
       std::string e = CheckCardOption(v);
       if (e.empty()) o.card = v;
       return e;
     }},
    {"--signal-r", true,
     [](const std::string& v, PlatformOptions& o) {
       o.signal_r = v;
       return std::string();
     }},
    {"--signal-l", true,
     [](const std::string& v, PlatformOptions& o) {
       o.signal_l = v;
       return std::string();
     }},
    {"--output-wav", true,
     [](const std::string& v, PlatformOptions& o) {
       return NeedsFile("--output-wav", v, o.output_wav);
     }},
    {"--record-input", true,
     [](const std::string& v, PlatformOptions& o) {
       return NeedsFile("--record-input", v, o.record_input);
     }},
    {"--script", true,
     [](const std::string& v, PlatformOptions& o) { return NeedsFile("--script", v, o.script); }},
    {"--mixer", true,
     [](const std::string& v, PlatformOptions& o) {
       if (v != "none" && v != "fail-caps" && v != "fail-open")
         return "unknown mixer fault '" + v + "' (use --mixer=none, fail-caps or fail-open)";
       o.mixer_fault = v;
       return std::string();
     }},
    {"--circuit", true,
     [](const std::string& v, PlatformOptions& o) {
       if (v.empty())
         return std::string(
             "--circuit needs a circuit, e.g. --circuit=dut=C1u or --circuit=top=R1k,bottom=C100n");
       o.circuit = v;
       return std::string();
     }},
    {"--measurements", false,
     [](const std::string&, PlatformOptions& o) {
       o.measurements = true;
       return std::string();
     }},
    {"--settings", true,
     [](const std::string& v, PlatformOptions& o) {
       if (v.empty()) return std::string("--settings needs a file name or 'none'");
       o.settings = v;
       return std::string();
     }},
    {"--cal-ur", true,
     [](const std::string& v, PlatformOptions& o) { return PositiveNumber("--cal-ur", v, 1000, o.cal_ur); }},
    {"--cal-il", true,
     [](const std::string& v, PlatformOptions& o) { return PositiveNumber("--cal-il", v, 1000, o.cal_il); }},
    {"--shunt", true,
     [](const std::string& v, PlatformOptions& o) { return PositiveNumber("--shunt", v, 1e9, o.shunt); }},
    {"--remote", false,
     [](const std::string& v, PlatformOptions& o) {
       if (v.empty()) {
         o.remote = "127.0.0.1:5025";
         return std::string();
       }
       std::string error;
       RemoteAddress(v, o.remote, error);
       return error;
     },
     true},
    {"--idle-quantum-ms", true,
     [](const std::string& v, PlatformOptions& o) {
       int n = 0;
       auto r = std::from_chars(v.data(), v.data() + v.size(), n);
       if (r.ec != std::errc() || r.ptr != v.data() + v.size() || n < 1 || n > 1000)
         return "--idle-quantum-ms must be a whole number of milliseconds from 1 to 1000, not '" +
                v + "'";
       o.idle_quantum_ms = n;
       return std::string();
     }},
};

const Option* OptionNamed(const std::string& name) {
  for (const Option& o : kOptions)
    if (name == o.name) return &o;
  return nullptr;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, PlatformOptions& out, std::string& error) {
  for (const std::string& a : args) {
    if (a == "--help") out.help = true;
    if (a == "--version") out.version = true;
  }
  if (out.help || out.version) return true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const std::size_t eq = a.find('=');
    const Option* option = OptionNamed(a.substr(0, eq));
    if (!option) {
      error = "unknown option '" + a + "'";
      return false;
    }
    std::string value;
    if (!option->takes_value) {
      if (eq != std::string::npos && !option->optional_value) {
        error = std::string(option->name) + " takes no value";
        return false;
      }
      if (eq != std::string::npos) value = a.substr(eq + 1);
    } else if (eq != std::string::npos) {
      value = a.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      // "--option value", as most command lines take it.
      value = args[++i];
    } else {
      error = std::string(option->name) + " needs a value: " + option->name + "=VALUE";
      return false;
    }
    if (error = option->take(value, out); !error.empty()) return false;
  }
  if (out.headless && out.script.empty() && !out.remote) {
    error = "--headless needs --script=FILE or --remote";
    return false;
  }
  return true;
}

}  // namespace platform
