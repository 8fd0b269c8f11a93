// SPDX-License-Identifier: GPL-3.0-or-later
// The main window after start-up, its geometry and its close handler.
#include <gtest/gtest.h>

#include "audio/AudioIn.h"
#include "audio/AudioOut.h"
#include "tests/instrument/form_fixture.h"

namespace osciloskop::testing {
namespace {

using StartUp = FormTest;

TEST_F(StartUp, StateHasItsStartUpValues) {
  const TForm1& f = *form;
  EXPECT_EQ(f.SampleCount, 22100);
  EXPECT_EQ(f.PeriodicMode, 1);
  EXPECT_EQ(f.FixedReadoutL, 0);
  EXPECT_EQ(f.FixedReadoutR, 0);
  EXPECT_EQ(f.AutoTimeBase, 1);
  EXPECT_EQ(f.FollowGenerator, 0);
  EXPECT_EQ(f.TriggerLevel, 0.0);
  EXPECT_EQ(f.CalibrationActive, 0);
  EXPECT_EQ(f.GridEnabled, 1);
  EXPECT_EQ(f.AutoRangeL, 1);
  EXPECT_EQ(f.AutoRangeR, 1);
  for (int i = 0; i < RangeFlagCount; ++i) {
    EXPECT_EQ(f.RangeLatchL[i], i == Range100mV ? 1 : 0) << i;
    EXPECT_EQ(f.RangeLatchR[i], i == Range100mV ? 1 : 0) << i;
  }
  EXPECT_EQ(f.BandLatch1 + f.BandLatch2 + f.BandLatch3 + f.BandLatch4 + f.BandLatch5 +
                f.BandLatch6 + f.BandLatch7,
            0);
  EXPECT_EQ(f.EnvelopeDivisorL, 16);
  EXPECT_EQ(f.EnvelopeDivisorR, 16);
  EXPECT_EQ(f.FrequencyL, 40.0);
  EXPECT_EQ(f.FrequencyR, 40.0);
  EXPECT_EQ(f.RangeStepL, 10.0);
  EXPECT_EQ(f.RangeStepR, 10.0);
  EXPECT_EQ(f.RangeGainL, 1.0);
  EXPECT_EQ(f.RangeGainR, 1.0);
  EXPECT_EQ(f.GridBrightness, 75);
  EXPECT_DOUBLE_EQ(f.GridUnit, 3.76);
  EXPECT_EQ(f.SweepStep, 0.0);
  EXPECT_EQ(f.SamplesPerPoint, 6);
  EXPECT_EQ(f.TraceGainL, 0.988);
  EXPECT_EQ(f.TraceGainR, 0.988);
  EXPECT_EQ(f.TraceWidth, 1);
  EXPECT_EQ(f.TraceShift, 5);
  EXPECT_EQ(f.GenAmplitude, 3276);
  EXPECT_EQ(f.GenFrequency, 100);
  // Before any buffer has arrived every sample array is zero.
  for (const SampleArray* a : {&f.CaptureBuffer, &f.SamplesL, &f.SamplesR, &f.EnvelopeL,
                               &f.EnvelopeR, &f.PrevTraceL, &f.PrevTraceR})
    for (std::int32_t v : *a) ASSERT_EQ(v, 0);
}

TEST_F(StartUp, ControlsShowTheirStartUpSelectionsAndTexts) {
  EXPECT_EQ(form->Caption(),
            "osciloskop JEN PRO MĚŘENÍ NA DIGITÁLNÍCH OBVODECH !!! vstup LINE IN, frekvence 600 Hz, "
            "výstup na R (voltmetr) ");
  EXPECT_EQ(form->ComboBox1->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox1->Text(), "automatická");
  EXPECT_EQ(form->ComboBox4->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox2->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox9->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox5->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox6->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox3->ItemIndex(), -1);
  EXPECT_EQ(form->ComboBox7->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox8->ItemIndex(), 1);
  EXPECT_TRUE(form->RadioButton1->Checked());
  EXPECT_FALSE(form->RadioButton2->Checked());
  EXPECT_EQ(form->Edit14->Text(), " 100 Hz");
  EXPECT_EQ(form->Edit13->Text(), "110 mV");
  EXPECT_EQ(form->ScrollBar5->Min(), 100);
  EXPECT_EQ(form->ScrollBar5->Max(), 10000);
  EXPECT_EQ(form->ScrollBar5->Position(), 100);
  EXPECT_EQ(form->ScrollBar5->LargeChange, 10);
  EXPECT_EQ(form->ScrollBar5->SmallChange, 1);
  EXPECT_EQ(form->ScrollBar4->Max(), 32767);
  EXPECT_EQ(form->ScrollBar4->Position(), 3276);
  EXPECT_FALSE(form->Panel14->Visible());
  EXPECT_FALSE(form->Panel6->Visible());
  EXPECT_FALSE(form->TrackBar1->Visible());
  EXPECT_FALSE(form->ComboBox2->Enabled());
  EXPECT_FALSE(form->ComboBox9->Enabled());
  EXPECT_FALSE(form->test2->Enabled());
}

TEST_F(StartUp, GeometryFollowsTheClientHeight) {
  EXPECT_EQ(form->ClientWidth(), 792);
  EXPECT_EQ(form->ClientHeight(), 526);
  EXPECT_EQ(form->Width(), 800);
  EXPECT_EQ(form->Left(), 0);
  EXPECT_EQ(form->Top(), 0);
  EXPECT_EQ(form->TrackBar1->Top(), 43);
  EXPECT_EQ(form->Edit18->Top(), 37);
  EXPECT_EQ(form->Edit2->Top(), 37);
  EXPECT_EQ(form->Edit19->Top(), 475);
  EXPECT_EQ(form->Edit5->Top(), 475);
  EXPECT_EQ(form->Panel13->Top(), 498);
  EXPECT_EQ(form->Panel13->Left(), 0);
  // "optimum" puts the same geometry back after the user has changed it.
  form->SetClientSize(600, 401);
  form->SampleCount = 22050;
  form->Button2->UserClick();
  EXPECT_EQ(form->ClientHeight(), 526);
  EXPECT_EQ(form->ClientWidth(), 792);
  EXPECT_EQ(form->SampleCount, 22100);
  EXPECT_EQ(form->TrackBar1->Top(), 43);
  EXPECT_EQ(form->Edit19->Top(), 475);
}

TEST_F(StartUp, TheFirstRecordingRunStartsBeforeTheFirstIdleStep) {
  EXPECT_TRUE(form->AudioIn1->DeviceOpen());
  EXPECT_EQ(form->AudioIn1->QueuedCount(), 4);
  EXPECT_TRUE(form->AudioOut1->DeviceOpen());
  EXPECT_EQ(form->AudioOut1->FilledCount(), 4);
  EXPECT_EQ(platform::TheVirtualCard().InputRunsStarted(), 1);
  // So the first idle steps find the input open and their starts fail.
  Run(0.010);
  EXPECT_EQ(form->AudioIn1->LastError(), "Wave Input device is already open");
  EXPECT_EQ(platform::TheVirtualCard().InputRunsStarted(), 1);
  EXPECT_EQ(form->FixedReadoutL, 1);
  EXPECT_EQ(form->FixedReadoutR, 1);
}

TEST_F(StartUp, ClosingWritesTheSavedVolumesBackInOrder) {
  const DWORD saved0 = form->SavedWaveOutVolume;
  EXPECT_EQ(saved0, platform::InitialVirtualVolume(0));
  EXPECT_EQ(form->SavedAuxVolume3, platform::InitialVirtualVolume(3));
  for (int d = 0; d <= 5; ++d) platform::SetVirtualVolume(d, 0x1234 + d);
  form->Close();
  EXPECT_TRUE(form->Closed());
  for (int d = 0; d <= 5; ++d)
    EXPECT_EQ(platform::VirtualVolume(d), platform::InitialVirtualVolume(d)) << "device " << d;
}

}  // namespace
}  // namespace osciloskop::testing
