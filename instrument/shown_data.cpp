// SPDX-License-Identifier: GPL-3.0-or-later
// What a saved copy of the screen's data is made of: the capture buffer the
// picture is drawn from, and the readouts, time base and ranges as shown.
#include <algorithm>

#include "audio/AudioIn.h"
#include "instrument/Form1.h"

namespace osciloskop {

platform::CaptureView TForm1::Capture() const {
  // The stream exists once the form is built; the buffer is recorded at its rate.
  const int rate = AudioIn1 ? AudioIn1->FrameRate() : 44100;
  return {CaptureBuffer.data(), std::min(SampleCount, kSampleArraySize), rate};
}

std::vector<platform::ShownReadout> TForm1::Readouts() const {
  return {{"napětí UR amplituda", Edit1->Text()}, {"napětí UR frekvence", Edit8->Text()},
          {"proud IL amplituda", Edit4->Text()},  {"proud IL frekvence", Edit12->Text()},
          {"generátor amplituda", Edit13->Text()}, {"generátor frekvence", Edit14->Text()},
          {"časová osa", ComboBox1->Text()},      {"rozsah UR", ComboBox9->Text()},
          {"rozsah IL", ComboBox2->Text()}};
}

}  // namespace osciloskop
