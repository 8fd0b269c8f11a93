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
  // 1, 2: sample count and window geometry.
  SampleCount = 22100;
  ApplyStandardGeometry();
  // 3-5.
  TraceGainR = 0.988;
  TraceGainL = 0.988;
  RadioButton1->SetChecked(true);
  FollowGenerator = 0;
  TraceWidth = 1;
  // 6.
  RangeStepR = 10.0;
  RangeGainR = 1.0;
  RangeStepL = 10.0;
  RangeGainL = 1.0;
  // 7.
  GridEnabled = 1;
  PeriodicMode = 1;
  GridBrightness = 75;
  DrawGraticule();
  // 8.
  SamplesPerPoint = 6;
  EnvelopeDivisorR = 16;
  EnvelopeDivisorL = 16;
  // 9.
  RangeLatchR.fill(0);
  RangeLatchR[Range100mV] = 1;
  RangeLatchL.fill(0);
  RangeLatchL[Range100mV] = 1;
  BandLatch1 = BandLatch2 = BandLatch3 = BandLatch4 = BandLatch5 = BandLatch6 = BandLatch7 = 0;
  // 10.
  AutoTimeBase = 1;
  ComboBox1->SetItemIndex(8);
  AutoRangeR = 1;
  ComboBox2->SetItemIndex(0);
  AutoRangeL = 1;
  ComboBox9->SetItemIndex(0);
  ComboBox4->SetItemIndex(0);
  ComboBox5->SetItemIndex(0);
  ComboBox6->SetItemIndex(0);
  // 11: the playback volumes, in this order; results are not examined.
  waveOutGetVolume(0, &SavedWaveOutVolume);
  auxGetVolume(3, &SavedAuxVolume3);
  auxGetVolume(2, &SavedAuxVolume2);
  auxGetVolume(4, &SavedAuxVolume4);
  auxGetVolume(1, &SavedAuxVolume1);
  auxGetVolume(5, &SavedAuxVolume5);
  // 12: the mixer, device 0. An exception ends start-up here: the toolkit
  // shows it, the window still opens, and nothing below runs.
  AudioMixer1->Open();
  // The lines the instrument looks up; it leaves them as they are.
  const TSource* const KnownLines[] = {
      AudioMixer1->WaveOutSource,      AudioMixer1->SpeakerDestination,
      AudioMixer1->RecordingLineIn,    AudioMixer1->RecordingMicrophone,
      AudioMixer1->RecordingCD,        AudioMixer1->RecordingTelephone,
      AudioMixer1->RecordingAuxiliary};
  (void)KnownLines;
  // 13.
  Panel13->SetTop(ClientHeight() / 2 + kGeneratorStripBelow);
  Panel13->SetLeft(0);
  // 14: raising the minimum moves the position to 100, so ScrollBar5Change
  // runs now and starts the first recording run.
  ScrollBar5->SetMin(100);
  ScrollBar5->SetMax(10000);
  ScrollBar5->SetPosition(100);
  // 15.
  GenFrequency = ScrollBar5->Position();
  Edit14->SetText(" " + std::to_string(ScrollBar5->Position()) + " Hz");
  ScrollBar5->LargeChange = 10;
  ScrollBar5->SmallChange = 1;
  // 16.
  FrequencyL = 40.0;
  FrequencyR = 40.0;
  Panel14->SetVisible(false);
  // 17.
  ComboBox7->SetItemIndex(0);
  ComboBox8->SetItemIndex(1);
  // 18.
  ScrollBar4->SetMin(0);
  ScrollBar4->SetMax(32767);
  ScrollBar4->SetPosition(3276);
  GenAmplitude = nearest(ScrollBar4->Position());
  Edit13->SetText(std::to_string(nearest(GenAmplitude / 32.767 * 1.1)) + " mV");
  // 19.
  ComboBox1->SetItemIndex(0);
  if (ComboBox1->ItemIndex() == 8) {
    FollowGenerator = 1;
    AutoTimeBase = 1;
  }
  // 20.
  Panel6->SetVisible(false);
  CalibrationActive = 0;
  // 21.
  TraceShift = nearest(ScrollBar3->Position() / 10.0);
  // 22: the output plays from now on; one retry, then it is left alone.
  if (!AudioOut1->OpenAndStart(AudioOut1)) AudioOut1->OpenAndStart(AudioOut1);
  // 23.
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
