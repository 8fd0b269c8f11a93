// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration walk-through and the auxiliary commands.
#include "instrument/Form1.h"
#include "platform/mm/exec.h"

namespace osciloskop {

void TForm1::test2Click(TObject*) {
  CalibrationActive = 1;
  Panel4->SetVisible(true);
}

void TForm1::ScrollBar1Change(TObject*) {
  Edit7->SetText("kmru = " + std::to_string(nearest(ScrollBar1->Position())));
}

void TForm1::Button1Click(TObject*) {
  Panel4->SetVisible(false);
  CalibrationActive = 0;
}

void TForm1::Panel4Click(TObject*) { Panel4->SetVisible(false); }

void TForm1::mixer1Click(TObject*) { WinExec("ctmxcm.exe", 1); }

void TForm1::Panel6Click(TObject*) { Panel6->SetVisible(false); }

}  // namespace osciloskop
