// SPDX-License-Identifier: GPL-3.0-or-later
// Range selection: the per-channel range step and the range lists.
#include <array>

#include "instrument/Form1.h"

namespace osciloskop {

namespace {

struct RangeRow {
  RangeFlag flag;
  const char* top;
  const char* bottom;
  double step;
  double gain;
};

// By list index 1..12; index 0 (automatic) uses the 5 V row.
constexpr std::array<RangeRow, 13> kRanges = {{
    {Range5V, "+ V", "- V", 0.5, 0.02},
    {Range50V, "+ V", "- V", 5.0, 0.002},
    {Range20V, "+ V", "- V", 2.0, 0.005},
    {Range10V, "+ V", "- V", 1.0, 0.01},
    {Range5V, "+ V", "- V", 0.5, 0.02},
    {Range2V, "+ V", "- V", 0.2, 0.05},
    {Range1V, "+ V", "- V", 0.1, 0.1},
    {Range500mV, "+mV", "-mV", 50.0, 0.2},
    {Range200mV, "+mV", "-mV", 20.0, 0.5},
    {Range100mV, "+mV", "-mV", 10.0, 1.0},
    {Range50mV, "+mV", "-mV", 5.0, 2.0},
    {Range20mV, "+mV", "-mV", 2.0, 5.0},
    {Range10mV, "+mV", "-mV", 1.0, 10.0},
}};

struct RangeChannel {
  TComboBox* list;
  std::int32_t auto_range;
  RangeLatches& latches;
  double& step;
  double& gain;
  TEdit* top_label;
  TEdit* bottom_label;
};

void Apply(TForm1& form, RangeChannel& ch, const RangeRow& row) {
  ch.step = row.step;
  ch.top_label->SetText(row.top);
  ch.bottom_label->SetText(row.bottom);
  ch.gain = row.gain;
  form.Refresh();
  ch.latches.fill(0);
  ch.latches[row.flag] = 1;
}

void RangeStep(TForm1& form, RangeChannel ch) {
  if (ch.auto_range == 1) {
    if (ch.latches[Range5V] == 1) return;
    Apply(form, ch, kRanges[4]);
    return;
  }
  const int index = ch.list->ItemIndex();
  for (int i = 12; i >= 1; --i) {
    if (index != i) continue;
    if (ch.latches[kRanges[i].flag] == 1) return;
    Apply(form, ch, kRanges[i]);
    return;
  }
}

}  // namespace

void TForm1::ApplyRangeL() {
  RangeStep(*this, {ComboBox2, AutoRangeL, RangeLatchL, RangeStepL, RangeGainL, Edit2, Edit5});
}

void TForm1::ApplyRangeR() {
  RangeStep(*this, {ComboBox9, AutoRangeR, RangeLatchR, RangeStepR, RangeGainR, Edit18, Edit19});
}

void TForm1::ComboBox2Click(TObject*) { AutoRangeL = ComboBox2->ItemIndex() == 0 ? 1 : 0; }
void TForm1::ComboBox9Click(TObject*) { AutoRangeR = ComboBox9->ItemIndex() == 0 ? 1 : 0; }
void TForm1::ComboBox3Click(TObject*) { AutoRangeR = ComboBox3->ItemIndex() == 0 ? 1 : 0; }
void TForm1::ComboBox6Click(TObject*) { AutoRangeR = ComboBox6->ItemIndex() == 0 ? 1 : 0; }
void TForm1::ComboBox5Click(TObject*) { AutoRangeL = ComboBox5->ItemIndex() == 0 ? 1 : 0; }

}  // namespace osciloskop
