// SPDX-License-Identifier: GPL-3.0-or-later
// Commands that act on the screen itself.
#include "instrument/Form1.h"

namespace osciloskop {

void TForm1::file1Click(TObject*) {
  Refresh();
  RedrawScreen();
}

void TForm1::ScrollBar3Change(TObject*) {
  TraceShift = nearest(ScrollBar3->Position() / 10.0);
  Refresh();
  RedrawScreen();
}

void TForm1::Button2Click(TObject*) {
  SampleCount = 22100;
  ApplyStandardGeometry();
}

void TForm1::FormResize(TObject*) { Refresh(); }

void TForm1::UpDown2Changing(TObject*, bool&) {
  GridBrightness = static_cast<std::int16_t>(5 * UpDown2->Position());
  DrawGraticule();
}

}  // namespace osciloskop
