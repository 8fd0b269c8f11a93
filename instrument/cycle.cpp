// SPDX-License-Identifier: GPL-3.0-or-later
// The idle-driven acquisition and display cycle.
#include <cstring>

#include "audio/AudioIn.h"
#include "instrument/Form1.h"
#include "instrument/envelope_pass.h"

namespace osciloskop {

void TForm1::MyIdleEvent(TObject*, bool& Done) {
  // Fails harmlessly while a recording run is in progress.
  if (!AudioIn1->OpenAndStart(AudioIn1)) AudioIn1->OpenAndStart(AudioIn1);
  FixedReadoutL = 1;
  FixedReadoutR = 1;
  EdgeIndexR = 1;
  if (PeriodicMode == 1) {
    DrawGraticule();
    RedrawScreen();
  } else {
    MeasureChannelL();
    ShowFrequencyL();
    MeasureChannelR();
    ShowFrequencyR();
  }
  Done = false;
}

bool TForm1::AudioIn1BufferFilled(void* Buffer, std::int32_t& Size) {
  // Never more samples than the capture buffer holds, whatever the size.
  SampleCount = std::min(Size / 2, kSampleArraySize);
  const auto* bytes = static_cast<const unsigned char*>(Buffer);
  SampleCursor = 0;
  for (std::int32_t k = 0; k < SampleCount; ++k) {
    std::int16_t sample;
    std::memcpy(&sample, bytes + 2 * k, sizeof sample);  // little-endian, as recorded
    CapturedSample = sample;
    CaptureBuffer[SampleCursor] = CapturedSample;
    ++SampleCursor;
  }
  return false;
}

void TForm1::RadioButton1Click(TObject*) { PeriodicMode = 1; }

void TForm1::RadioButton2Click(TObject*) {
  PeriodicMode = 0;
  Refresh();
  RedrawScreen();
  // Neither button stays marked, so every click on it is a new single shot.
  RadioButton2->SetChecked(false);
  RadioButton1->SetChecked(false);
}

void TForm1::ComboBox1Click(TObject*) {
  AutoTimeBase = ComboBox1->ItemIndex() == 0 ? 1 : 0;
  if (ComboBox1->ItemIndex() == 8) {
    FollowGenerator = 1;
    AutoTimeBase = 1;
  } else {
    FollowGenerator = 0;
  }
}

void TForm1::ComboBox4Click(TObject*) { Refresh(); }

void TForm1::TrackBar1Change(TObject*) { TrackBar1->SetPosition(0); }

void TForm1::FindTriggerR() {
  FindFirstNegativeR();
  const std::int32_t divisor = EnvelopeDivisorR;
  // The envelope pass writes up to SampleCount inclusive, never past the array.
  const std::int32_t last = std::min(SampleCount, kSampleArraySize - 1);
  if (divisor == 16) {
    // s/16 + e - e/16 is exact in doubles, so it equals (s + 15e)/16 in
    // integers, truncated toward zero alike. The envelope is never positive
    // where s < 0 (it starts at the first negative sample), so that quotient
    // is e - floor((e - s)/16). A 0 envelope stays 0 on samples >= 0.
    EnvelopePass(
        SamplesR.data(), EnvelopeR.data(), EdgeIndexR + 1, last,
        [](std::int32_t v) { return v >= 0; },
        [](std::int64_t v, std::int64_t prev) { return v >= 0 ? 0 : prev - ((prev - v) >> 4); });
  } else {
    for (std::int32_t i = EdgeIndexR + 1; i <= last; ++i) {
      const auto k = static_cast<std::size_t>(i);
      if (SamplesR[k] >= 0)
        EnvelopeR[k] = 0;
      else
        EnvelopeR[k] = static_cast<std::int32_t>(static_cast<double>(SamplesR[k]) / divisor +
                                                 EnvelopeR[k - 1] -
                                                 static_cast<double>(EnvelopeR[k - 1]) / divisor);
    }
  }
  std::int32_t c = EdgeIndexR + 1;
  if (c >= 20000) {
    // A search that would start at or past its bound ends at the sample count.
    TraceStartR = static_cast<std::uint16_t>(std::max(0, std::min(SampleCount, 20000) - 2));
    return;
  }
  for (;;) {
    ProbeR0 = static_cast<std::uint16_t>(-static_cast<std::uint16_t>(EnvelopeR[c] & 0xFFFF));
    ProbeR1 = static_cast<std::uint16_t>(-static_cast<std::uint16_t>(EnvelopeR[c + 1] & 0xFFFF));
    c = c + 1;
    if ((ProbeR0 == 0 && ProbeR1 > ProbeR0) || c == 20000) break;
  }
  TraceStartR = static_cast<std::uint16_t>(c - 2);
}

}  // namespace osciloskop
