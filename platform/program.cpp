// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "platform/base/files_in_use.h"
#include "platform/base/printable.h"
#include "platform/base/timebase.h"
#include "platform/card/cards.h"
#include "platform/headless/headless.h"
#include "platform/options.h"
#include "platform/toolkit/application.h"
#include "platform/toolkit/close_signals.h"
#include "platform/toolkit/display_check.h"
#include "platform/toolkit/fonts.h"
#include "platform/toolkit/translations.h"

namespace platform {

namespace {
// Qt wants a private runtime directory; a headless run on a bare machine
// has none, so give it one of its own.
void EnsureRuntimeDir() {
  const char* existing = std::getenv("XDG_RUNTIME_DIR");
  if (existing && *existing && access(existing, W_OK) == 0) return;
  std::string dir = "/tmp/osciloskop-runtime-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  chmod(dir.c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

// Qt's own diagnostics (such as the offscreen platform's notes on window
// hints) are not the instrument's messages; they are shown only on request.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& msg) {
  static const bool verbose = std::getenv("OSCILOSKOP_QT_DEBUG") != nullptr;
  if (verbose || type == QtFatalMsg)
    std::fprintf(stderr, "qt: %s\n", msg.toLocal8Bit().constData());
}

// Every file the options read and write, before any is created or
// truncated: empty, or the message.
std::string CheckOptionFiles(const PlatformOptions& options) {
  SetFileRead("--script", options.script);
  SetFileRead("--signal-r", FileOfSource(options.signal_r));
  SetFileRead("--signal-l", FileOfSource(options.signal_l));
  for (const auto& [option, path] :
       {std::pair<std::string, std::string>{"--output-wav", options.output_wav},
        {"--record-input", options.record_input}}) {
    if (path.empty()) continue;
    const std::string quoted = option + ": cannot write '" + path + "': ";
    if (int error = CheckOutputPath(path)) return quoted + OutputPathReason(error);
    if (FileRead input = InputThatIs(path))
      return quoted + "it is the file read by " + input.role + " ('" + input.path + "')";
    if (FileRead output = OutputThatIs(path))
      return quoted + "it is the file written by " + output.role + " ('" + output.path + "')";
    SetFileWritten(option, path);
  }
  return {};
}
}  // namespace

int RunProgram(int argc, char** argv, const std::function<int()>& body) {
  std::vector<std::string> args(argv + 1, argv + argc);
  PlatformOptions options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    std::fprintf(stderr, "osciloskop: %s\n%s", PrintableText(error).c_str(), UsageText().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  if (options.list_cards) return ListCards(options);
  if (std::string e = CheckOptionFiles(options); !e.empty()) {
    std::fprintf(stderr, "osciloskop: %s\n", PrintableText(e).c_str());
    return 2;
  }
  // Set up before the script is checked, which asks it about its lines.
  if (std::string card_error = ChooseCard(options); !card_error.empty()) {
    std::fprintf(stderr, "osciloskop: %s\n", PrintableText(card_error).c_str());
    return 2;
  }
  Script script;
  if (!options.script.empty()) {
    if (std::string e = LoadScript(options.script, script); !e.empty()) {
      std::fprintf(stderr, "%s\n", e.c_str());
      return FinishCard(2);
    }
  }
  if (options.headless) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  } else if (std::string e = DisplayFault(); !e.empty()) {
    std::fprintf(stderr,
                 "osciloskop: %s; run it on a desktop, or headless with --headless --script=FILE\n",
                 PrintableText(e).c_str());
    return FinishCard(2);
  }
  EnsureRuntimeDir();
  qInstallMessageHandler(QtMessages);
  int qt_argc = 1;
  QApplication qt(qt_argc, argv);
  // The instrument speaks Czech, so Qt's own dialogs and buttons do too.
  LoadQtTranslations();
  // Readouts always use a decimal point, whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
  // A blinking text cursor would make a screenshot depend on the real time.
  if (options.headless) QApplication::setCursorFlashTime(0);
  if (std::string font_error = LoadUiFont(); !font_error.empty()) {
    // Told where the user looks: a desktop launch has no terminal.
    std::fprintf(stderr, "osciloskop: %s\n", font_error.c_str());
    if (!options.headless)
      QMessageBox::critical(nullptr, QStringLiteral("osciloskop"),
                            QString::fromStdString(font_error));
    return FinishCard(1);
  }
  // A real card keeps real time, headless or not; so does an instrument
  // that serves remote clients.
  UseVirtualClock(options.headless && options.card == "virtual" && !options.remote);
  InstallCard();
  // Ctrl+C, kill or a logout close the window as its user would.
  CloseSignals close_on_signals([] {
    if (!Application) return;
    TForm* form = Application->MainForm();
    if (form && !form->Closed())
      Application->Guard([form] { form->Close(); });
    else
      Application->Terminate();
  });
  int status = 0;
  {
    TApplication app(options);
    // The files are created once the whole run has been checked.
    const auto open_outputs = [&options] { return OpenCardOutputs(options); };
    if (!options.script.empty())
      app.SetLoop([&](TApplication& a) { return RunScript(a, script, open_outputs); });
    else
      app.SetLoop([&](TApplication& a) {
        if (std::string e = open_outputs(); !e.empty()) {
          std::fprintf(stderr, "osciloskop: %s\n", PrintableText(e).c_str());
          return 2;
        }
        a.RunUntil(std::nullopt);
        return 0;
      });
    try {
      status = body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "osciloskop: %s\n", e.what());
      status = 1;
    }
  }
  status = FinishCard(status);
  // Ended by a signal, after a close that put everything back.
  CloseSignals::FinishAsSignalled();
  return status;
}

}  // namespace platform
