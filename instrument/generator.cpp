// SPDX-License-Identifier: GPL-3.0-or-later
// The sine generator on the sound card's output.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "instrument/Form1.h"
#include "instrument/sine_samples.h"

namespace osciloskop {

bool TForm1::AudioOut1FillBuffer(void* Buffer, std::int32_t& Size) {
  const std::int32_t n = Size / 2;
  // 64-bit, so the phase stays continuous however long the output plays.
  const std::int64_t start = static_cast<std::int64_t>(AudioOut1->FilledCount()) * n;
  auto* out = static_cast<unsigned char*>(Buffer);
  if (GeneratorSilenced)
    std::memset(out, 0, 2 * static_cast<std::size_t>(std::max(n, 0)));
  else
    FillSineSamples(out, n, start, AudioOut1->FrameRate(), GenFrequency, GenAmplitude);
  return true;
}

void TForm1::AudioOut1Start(TObject*) {}

void TForm1::ScrollBar4Change(TObject*) {
  GenAmplitude = ScrollBar4->Position();
  Edit13->SetText(std::to_string(nearest(GenAmplitude / 32.767 * 1.1)) + " mV");
}

void TForm1::ComboBox7Click(TObject*) {
  struct Row {
    int max, position;
  };
  static constexpr Row kRows[] = {{32767, 16384}, {16384, 8192}, {8200, 4100}, {3280, 164},
                                  {1640, 164},    {820, 164},    {328, 164}};
  const int index = ComboBox7->ItemIndex();
  // "vypnuto" silences the output until another range is chosen; the
  // slider and its readout keep their values.
  GeneratorSilenced = index == 7;
  if (index < 0 || index > 6) return;
  ScrollBar4->SetMin(0);
  ScrollBar4->SetMax(kRows[index].max);
  ScrollBar4->SetPosition(kRows[index].position);
  if (index <= 1) {
    GenAmplitude = ScrollBar4->Position();
    Edit13->SetText(std::to_string(nearest(GenAmplitude / 32.767 * 1.1)) + " mV");
  }
}

void TForm1::ScrollBar5Change(TObject*) {
  const int p = ScrollBar5->Position();
  if (p < 1000) {
    GenFrequency = p;
    Edit14->SetText(" " + std::to_string(p) + " Hz");
    ScrollBar5->LargeChange = p < 100 ? 10 : 100;
    ScrollBar5->SmallChange = 1;
  } else {
    GenFrequency = 100 * nearest(p / 100.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%2.1f", nearest(p / 10.0) / 100.0);
    NumberText = buf;
    Edit14->SetText(" " + NumberText + " kHz");
    ScrollBar5->LargeChange = 1000;
    ScrollBar5->SmallChange = 100;
  }
  Panel14->SetVisible(GenFrequency > 2500);
  if (!AudioIn1->OpenAndStart(AudioIn1)) AudioIn1->OpenAndStart(AudioIn1);
}

void TForm1::ComboBox8Click(TObject*) {
  switch (ComboBox8->ItemIndex()) {
    case 0:
      ScrollBar5->SetMin(20);
      ScrollBar5->SetMax(100);
      ScrollBar5->SetPosition(50);
      break;
    case 1:
      ScrollBar5->SetMin(100);
      ScrollBar5->SetMax(1000);
      ScrollBar5->SetPosition(1000);
      break;
    case 2:
      // The maximum goes up before the minimum, so the range never inverts.
      ScrollBar5->SetMax(20000);
      ScrollBar5->SetMin(1000);
      ScrollBar5->SetPosition(4000);
      break;
    case 3:
      ScrollBar5->SetMin(10);
      ScrollBar5->SetMax(20000);
      ScrollBar5->SetPosition(100);
      break;
    default:
      break;
  }
}

void TForm1::SetGenerator(std::int32_t frequency_hz, std::int32_t amplitude) {
  amplitude = std::clamp<std::int32_t>(amplitude, 0, 32767);
  if (amplitude > ScrollBar4->Max()) ScrollBar4->SetMax(32767);
  ScrollBar4->SetPosition(amplitude);
  GenAmplitude = amplitude;
  frequency_hz = std::clamp<std::int32_t>(frequency_hz, 10, 20000);
  // The range widens first, the maximum before the minimum, as the band
  // list does.
  if (frequency_hz > ScrollBar5->Max()) ScrollBar5->SetMax(20000);
  if (frequency_hz < ScrollBar5->Min()) ScrollBar5->SetMin(10);
  ScrollBar5->SetPosition(frequency_hz);
  // Above 1 kHz the slider rounds to 100 Hz; the tone is what was asked.
  GenFrequency = frequency_hz;
  Panel14->SetVisible(GenFrequency > 2500);
}

}  // namespace osciloskop
