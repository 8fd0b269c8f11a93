// SPDX-License-Identifier: GPL-3.0-or-later
// Program entry: the application, the main window, the message loop.
#include "instrument/Form1.h"
#include "platform/program.h"

int main(int argc, char** argv) {
  return platform::RunProgram(argc, argv, [] {
    platform::Application->Initialize();
    platform::Application->CreateForm(osciloskop::Form1);
    return platform::Application->Run();
  });
}
