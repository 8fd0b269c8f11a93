// SPDX-License-Identifier: GPL-3.0-or-later
// Capture buffers of any content and any SampleCount 0..44100 through the
// measurement, the ranges, the trigger search and the drawing, in both
// display modes, with any time base and range lists and any client size
// from 100 x 100 to 2000 x 1500.
//
// Input: a header of 14 bytes, then the samples (16-bit little-endian,
// repeated to fill all 44100 entries of CaptureBuffer).
//   0      mode: bit 0 single-shot, bit 1 a second redraw of the same buffer
//   1      time base (ComboBox1 item, modulo 9)
//   2, 3   range lists of L and R (ComboBox2, ComboBox9, modulo 13)
//   4      hidden range lists ComboBox3, 5, 6 (bits 0-1, 2-3, 4-5: none, 0, 1, 10)
//   5, 6   client width 100..2000;  7, 8 client height 100..1500
//   9, 10  SampleCount, modulo 44101
//   11     trace shift (ScrollBar3 position / 10, 0..100)
//   12, 13 generator frequency (ScrollBar5 position, 100..10000)
//
// Checked: the address sanitizer (a poisoned gap follows every sample array),
// undefined behaviour, every pixel inside the client area (the canvas checks
// each write in this build), SampleCount as set, the trace start inside the
// arrays, and every readout one of the instrument's own formats.
#include <cstdint>
#include <cstring>
#include <string>

#include "audio/AudioIn.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/readout_formats.h"

namespace {

using osciloskop::TForm1;

int U16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }

void SelectHidden(osciloskop::TComboBox* list, int code, void (TForm1::*handler)(platform::TObject*),
                  TForm1& f) {
  static const int kItems[] = {-1, 0, 1, 10};
  const int item = kItems[code & 3];
  if (item >= static_cast<int>(list->Items().size())) return;
  list->SetItemIndex(item);
  (f.*handler)(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitQt();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeader = 14;
  if (size < kHeader) return -1;
  // Each input meets an instrument just started and one idle step on: the
  // controls of an earlier input (a readout that a list turned off left
  // standing) must not pass for this one's.
  fuzz::Instrument instrument;
  TForm1& f = instrument.Form();
  bool done = false;
  f.MyIdleEvent(nullptr, done);

  const int width = 100 + U16(data + 5) % 1901;
  const int height = 100 + U16(data + 7) % 1401;
  f.SetClientSize(width, height);

  f.ComboBox1->SetItemIndex(data[1] % 9);
  f.ComboBox1Click(nullptr);
  f.ComboBox2->SetItemIndex(data[2] % 13);
  f.ComboBox2Click(nullptr);
  f.ComboBox9->SetItemIndex(data[3] % 13);
  f.ComboBox9Click(nullptr);
  SelectHidden(f.ComboBox3, data[4], &TForm1::ComboBox3Click, f);
  SelectHidden(f.ComboBox5, data[4] >> 2, &TForm1::ComboBox5Click, f);
  SelectHidden(f.ComboBox6, data[4] >> 4, &TForm1::ComboBox6Click, f);
  f.ScrollBar3->SetPosition(10 * (data[11] % 101));
  f.ScrollBar5->SetPosition(100 + U16(data + 12) % 9901);

  const std::int32_t count = U16(data + 9) % 44101;
  const std::uint8_t* samples = data + kHeader;
  const std::size_t n = (size - kHeader) / 2;
  for (std::size_t i = 0; i < f.CaptureBuffer.size(); ++i)
    f.CaptureBuffer[i] = n == 0 ? 0 : static_cast<std::int16_t>(U16(samples + 2 * (i % n)));
  f.SampleCount = count;

  if (data[0] & 1) {
    f.RadioButton2Click(nullptr);  // one single shot
  } else {
    f.RadioButton1Click(nullptr);
  }
  f.MyIdleEvent(nullptr, done);
  if (data[0] & 2) f.MyIdleEvent(nullptr, done);

  fuzz::Expect(f.SampleCount == count, "SampleCount changed to " + std::to_string(f.SampleCount));
  fuzz::Expect(f.TraceStartR < osciloskop::kSampleArraySize,
               "TraceStartR " + std::to_string(f.TraceStartR) + " outside the arrays");
  fuzz::Expect(f.Canvas.Width() == f.ClientWidth() && f.Canvas.Height() == f.ClientHeight(),
               "canvas and client area differ in size");
  const bool follow = f.FollowGenerator == 1;
  for (auto* edit : {f.Edit12, f.Edit8})
    fuzz::Expect(readouts::IsFrequency(edit->Text(), follow),
                 "frequency readout '" + edit->Text() + "'");
  for (auto* edit : {f.Edit4, f.Edit1})
    fuzz::Expect(readouts::IsAmplitude(edit->Text()), "amplitude readout '" + edit->Text() + "'");
  fuzz::Expect(readouts::IsPeaks(f.Edit11->Text()), "peak readout '" + f.Edit11->Text() + "'");
  int latches = 0;
  for (int v : {f.BandLatch1, f.BandLatch2, f.BandLatch3, f.BandLatch4, f.BandLatch5, f.BandLatch6,
                f.BandLatch7})
    latches += v;
  fuzz::Expect(latches == 1, "sweep band latches not one-hot");
  return 0;
}
