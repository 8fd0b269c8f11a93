// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and shutdown of the main window.
#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "instrument/Form1.h"
#include "instrument/screen_layout.h"
#include "mixer/AudioMixer.h"
#include "platform/mm/volume.h"

namespace osciloskop {

namespace {

// The standard window, at the screen's top left corner.
constexpr int kStandardWidth = 800;
constexpr int kStandardHeight = 525;
constexpr int kStandardClientHeight = 526;
// The unit labels of the amplitude scales, about the grid's top and bottom
// rows, as offsets of their tops from the centre line.
constexpr int kTopUnitLabelAbove = 226;
constexpr int kBottomUnitLabelBelow = 212;
// The generator strip's top, below the centre line.
constexpr int kGeneratorStripBelow = 235;

}  // namespace

void TForm1::ApplyStandardGeometry() {
  SetHeight(kStandardHeight);
  SetWidth(kStandardWidth);
  SetTop(0);
  SetLeft(0);
  SetClientHeight(kStandardClientHeight);
  const int h = ClientHeight() / 2;
  // The trigger slider spans the grid.
  TrackBar1->SetTop(h - kGridHalfHeight);
  Edit18->SetTop(h - kTopUnitLabelAbove);
  Edit2->SetTop(h - kTopUnitLabelAbove);
  Edit19->SetTop(h + kBottomUnitLabelBelow);
  Edit5->SetTop(h + kBottomUnitLabelBelow);
}

void TForm1::FormCreate(TObject*) {
  // About one recorded buffer's samples until the first one sets the
  // count; the standard window.
  SampleCount = 22100;
  ApplyStandardGeometry();
  // Trace gains, periodic display, a time base not following the
  // generator, one-pixel traces.
  TraceGainR = 0.988;
  TraceGainL = 0.988;
  RadioButton1->SetChecked(true);
  FollowGenerator = 0;
  TraceWidth = 1;
  // Both channels on the 100 mV scale until a range is chosen.
  RangeStepR = 10.0;
  RangeGainR = 1.0;
  RangeStepL = 10.0;
  RangeGainL = 1.0;
  // The graticule on and drawn in its start-up grey; periodic display.
  GridEnabled = 1;
  PeriodicMode = 1;
  GridBrightness = 75;
  DrawGraticule();
  // Sweep density and the envelope smoothing of the frequency meters.
  SamplesPerPoint = 6;
  EnvelopeDivisorR = 16;
  EnvelopeDivisorL = 16;
  // Range latches on 100 mV, as the scale above; no sweep band latched,
  // so the first update settles one and draws its time axis.
  RangeLatchR.fill(0);
  RangeLatchR[Range100mV] = 1;
  RangeLatchL.fill(0);
  RangeLatchL[Range100mV] = 1;
  BandLatch1 = BandLatch2 = BandLatch3 = BandLatch4 = BandLatch5 = BandLatch6 = BandLatch7 = 0;
  // Automatic time base and ranges, and the lists to match (the time base
  // list on its last item for now).
  AutoTimeBase = 1;
  ComboBox1->SetItemIndex(8);
  AutoRangeR = 1;
  ComboBox2->SetItemIndex(0);
  AutoRangeL = 1;
  ComboBox9->SetItemIndex(0);
  ComboBox4->SetItemIndex(0);
  ComboBox5->SetItemIndex(0);
  ComboBox6->SetItemIndex(0);
  // The playback volumes, saved in this order for FormClose; results are
  // not examined.
  waveOutGetVolume(0, &SavedWaveOutVolume);
  auxGetVolume(3, &SavedAuxVolume3);
  auxGetVolume(2, &SavedAuxVolume2);
  auxGetVolume(4, &SavedAuxVolume4);
  auxGetVolume(1, &SavedAuxVolume1);
  auxGetVolume(5, &SavedAuxVolume5);
  // The mixer, device 0. An exception ends start-up here: the toolkit
  // shows it, the window still opens, and nothing below runs.
  AudioMixer1->Open();
  // The lines the instrument looks up; it leaves them as they are.
  const TSource* const KnownLines[] = {
      AudioMixer1->WaveOutSource,      AudioMixer1->SpeakerDestination,
      AudioMixer1->RecordingLineIn,    AudioMixer1->RecordingMicrophone,
      AudioMixer1->RecordingCD,        AudioMixer1->RecordingTelephone,
      AudioMixer1->RecordingAuxiliary};
  (void)KnownLines;
  // The generator strip under the screen.
  Panel13->SetTop(ClientHeight() / 2 + kGeneratorStripBelow);
  Panel13->SetLeft(0);
  // Generator frequency slider 100 Hz to 10 kHz: raising the minimum moves
  // the position to 100, so ScrollBar5Change runs now and starts the first
  // recording run.
  ScrollBar5->SetMin(100);
  ScrollBar5->SetMax(10000);
  ScrollBar5->SetPosition(100);
  // The generator at the slider's frequency, with its readout and steps.
  GenFrequency = ScrollBar5->Position();
  Edit14->SetText(" " + std::to_string(ScrollBar5->Position()) + " Hz");
  ScrollBar5->LargeChange = 10;
  ScrollBar5->SmallChange = 1;
  // Measured frequencies at 40 Hz until measured; the frequency warning hidden.
  FrequencyL = 40.0;
  FrequencyR = 40.0;
  Panel14->SetVisible(false);
  // Generator ranges: amplitude 0 to 1 V, frequency 100 Hz to 1 kHz.
  ComboBox7->SetItemIndex(0);
  ComboBox8->SetItemIndex(1);
  // Generator amplitude slider over the full 16-bit scale, at a tenth.
  ScrollBar4->SetMin(0);
  ScrollBar4->SetMax(32767);
  ScrollBar4->SetPosition(3276);
  GenAmplitude = nearest(ScrollBar4->Position());
  Edit13->SetText(std::to_string(nearest(GenAmplitude / 32.767 * 1.1)) + " mV");
  // The time base list back on "automatická"; only its last item
  // would follow the generator.
  ComboBox1->SetItemIndex(0);
  if (ComboBox1->ItemIndex() == 8) {
    FollowGenerator = 1;
    AutoTimeBase = 1;
  }
  // The "card in use" warning hidden, no calibration.
  Panel6->SetVisible(false);
  CalibrationActive = 0;
  // The traces' shift against each other, from its slider.
  TraceShift = nearest(ScrollBar3->Position() / 10.0);
  // The generator's output plays from now on; one retry, then it is left alone.
  if (!AudioOut1->OpenAndStart(AudioOut1)) AudioOut1->OpenAndStart(AudioOut1);
  // From here on the idle steps measure and draw.
  platform::Application->OnIdle = [this](TObject* Sender, bool& Done) { MyIdleEvent(Sender, Done); };
}

void TForm1::FormClose(TObject*, TCloseAction&) {
  waveOutSetVolume(0, SavedWaveOutVolume);
  auxSetVolume(3, SavedAuxVolume3);
  auxSetVolume(2, SavedAuxVolume2);
  auxSetVolume(4, SavedAuxVolume4);
  auxSetVolume(1, SavedAuxVolume1);
  auxSetVolume(5, SavedAuxVolume5);
}

}  // namespace osciloskop
