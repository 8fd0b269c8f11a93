// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the application, the main window, the measuring
// instrument beside it, the message loop.
#include "instrument/Form1.h"
#include "platform/program.h"
#include "program/lab_link.h"

int main(int argc, char** argv) {
  program::OfferLab();
  return platform::RunProgram(argc, argv, [] {
    platform::Application->Initialize();
    platform::Application->CreateForm(osciloskop::Form1);
    const auto lab = program::StartLab(platform::Application->Options());
    const int status = platform::Application->Run();
    program::StopLab();
    return status;
  });
}
