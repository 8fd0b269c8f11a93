// SPDX-License-Identifier: GPL-3.0-or-later
// The acquisition and display cycle: capture callback, display modes, the
// time-base and trigger controls and the trigger search.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "audio/AudioIn.h"
#include "tests/instrument/form_fixture.h"

namespace osciloskop::testing {
namespace {

using Cycle = FormTest;

std::vector<unsigned char> Bytes(const std::vector<std::int16_t>& samples) {
  std::vector<unsigned char> b;
  for (std::int16_t s : samples) {
    b.push_back(static_cast<unsigned char>(s & 0xFF));
    b.push_back(static_cast<unsigned char>((s >> 8) & 0xFF));
  }
  return b;
}

TEST_F(Cycle, CaptureCallbackCopiesSignExtendedSamplesAndDeclines) {
  std::vector<std::int16_t> samples(22050);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 7 - 30000);
  samples[0] = -1;
  samples[1] = 32767;
  samples[2] = -32768;
  auto bytes = Bytes(samples);
  std::int32_t size = 44100;
  EXPECT_FALSE(form->AudioIn1BufferFilled(bytes.data(), size));
  EXPECT_EQ(form->SampleCount, 22050);
  EXPECT_EQ(form->CaptureBuffer[0], -1);
  EXPECT_EQ(form->CaptureBuffer[1], 32767);
  EXPECT_EQ(form->CaptureBuffer[2], -32768);
  for (std::size_t i = 3; i < samples.size(); ++i) ASSERT_EQ(form->CaptureBuffer[i], samples[i]);
  for (std::size_t i = 22050; i < form->CaptureBuffer.size(); ++i) ASSERT_EQ(form->CaptureBuffer[i], 0);
  // A size beyond the capture buffer never writes past it.
  std::vector<unsigned char> huge(2 * 50000, 0x11);
  size = static_cast<std::int32_t>(huge.size());
  form->AudioIn1BufferFilled(huge.data(), size);
  EXPECT_EQ(form->SampleCount, kSampleArraySize);
}

TEST_F(Cycle, RunsOfFourBuffersArriveOncePerSecond) {
  platform::TheVirtualCard().SetInputSource('r', "sine:600:16000");
  Run(0.24);
  EXPECT_EQ(form->SampleCount, 22100) << "nothing before the first quarter second";
  Run(0.02);
  EXPECT_EQ(form->SampleCount, 22050);
  EXPECT_EQ(form->AudioIn1->DoneCount(), 1);
  Run(0.76);  // 1.02 s: the first run has closed, the idle step started the next
  EXPECT_EQ(platform::TheVirtualCard().InputRunsStarted(), 2);
  EXPECT_EQ(form->AudioIn1->QueuedCount(), 4);
  EXPECT_EQ(form->AudioIn1->FilledCount(), 0);
  // The captured samples are the first quarter second of the sine on the
  // card's left input: the even entries.
  int sign_changes = 0;
  for (int i = 2; i < 22050; i += 2)
    sign_changes += (form->CaptureBuffer[i] >= 0) != (form->CaptureBuffer[i - 2] >= 0);
  EXPECT_NEAR(sign_changes, 2 * 600 / 4, 2);
  for (int i = 1; i < 22050; i += 2) ASSERT_EQ(form->CaptureBuffer[i], 0) << "silent right input";
}

TEST_F(Cycle, SingleShotDrawsOncePerClickAndKeepsTheReadoutsRunning) {
  Run(0.01);
  EXPECT_EQ(form->RadioButton2->UserClick(), "");
  EXPECT_EQ(form->PeriodicMode, 0);
  EXPECT_FALSE(form->RadioButton1->Checked());
  EXPECT_FALSE(form->RadioButton2->Checked());
  // The picture stays: a marker on the canvas survives idle steps.
  form->Canvas.Pen.Color = platform::clRed;
  form->Canvas.MoveTo(400, 100);
  form->Canvas.LineTo(401, 100);
  form->Edit8->SetText("x");
  Run(0.01);
  EXPECT_EQ(form->Canvas.PixelRGB(400, 100), 0xFF0000u);
  EXPECT_NE(form->Edit8->Text(), "x") << "readouts still measured";
  // Every further click is a new shot, which repaints.
  EXPECT_EQ(form->RadioButton2->UserClick(), "");
  EXPECT_NE(form->Canvas.PixelRGB(400, 100), 0xFF0000u);
  EXPECT_EQ(form->RadioButton1->UserClick(), "");
  EXPECT_EQ(form->PeriodicMode, 1);
  EXPECT_TRUE(form->RadioButton1->Checked());
}

TEST_F(Cycle, TimeBaseListSetsTheFlags) {
  struct Case {
    int index, auto_time_base, follow;
  } cases[] = {{8, 1, 1}, {3, 0, 0}, {0, 1, 0}, {7, 0, 0}, {8, 1, 1}, {1, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(form->ComboBox1->UserSelect(c.index), "");
    EXPECT_EQ(form->AutoTimeBase, c.auto_time_base) << c.index;
    EXPECT_EQ(form->FollowGenerator, c.follow) << c.index;
  }
}

TEST_F(Cycle, TriggerControlsAreUndoneAtOnce) {
  EXPECT_EQ(form->ComboBox4->Text(), "automaticky");
  Run(0.002);
  EXPECT_EQ(form->ComboBox4->ItemIndex(), 2);
  form->ComboBox4->SetItemIndex(1);
  form->ComboBox4Click(nullptr);
  Run(0.002);
  EXPECT_EQ(form->ComboBox4->ItemIndex(), 2) << "the next redraw selects channel R again";
  int changes = 0;
  form->TrackBar1->OnChange = [&](platform::TObject* s) {
    ++changes;
    form->TrackBar1Change(s);
  };
  form->TrackBar1->SetPosition(-35);
  EXPECT_EQ(form->TrackBar1->Position(), 0);
  EXPECT_EQ(changes, 2) << "the reset notifies once more and then nothing changes";
}

TEST_F(Cycle, TriggerSearchWorkedExample) {
  const int r[] = {5, 3, -20, -40, -40, 10, 20, -30, -50};
  form->SamplesR.fill(0);
  for (int i = 0; i < 9; ++i) form->SamplesR[1 + i] = r[i];
  form->SampleCount = 22050;
  form->EdgeIndexR = 1;
  form->FindTriggerR();
  EXPECT_EQ(form->EdgeIndexR, 3);
  const int env[] = {-21, -22, 0, 0, -1, -4};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(form->EnvelopeR[4 + i], env[i]) << 4 + i;
  EXPECT_EQ(form->TraceStartR, 6);
}

TEST_F(Cycle, TriggerSearchWithoutANegativeSampleStartsTheTraceAt19998) {
  form->SamplesR.fill(0);
  for (int i = 0; i < 22050; ++i) form->SamplesR[i] = 100;
  form->SampleCount = 22050;
  form->EdgeIndexR = 1;
  form->FindTriggerR();
  EXPECT_EQ(form->EdgeIndexR, 1);
  EXPECT_EQ(form->TraceStartR, 19998);
  // A search that would start past its bound ends at the sample count.
  form->SamplesR.fill(5);
  form->SamplesR[21000] = -5;
  form->SampleCount = 22050;
  form->EdgeIndexR = 1;
  form->FindTriggerR();
  EXPECT_EQ(form->EdgeIndexR, 21000);
  EXPECT_LE(form->TraceStartR, 19998);
  // The largest sample count reads nothing outside the arrays.
  form->SampleCount = kSampleArraySize;
  form->SamplesR.fill(-7);
  form->EdgeIndexR = 1;
  form->FindTriggerR();
  EXPECT_LE(form->TraceStartR, 19998);
}

TEST_F(Cycle, PeriodicModeRedrawsEveryStepSingleShotOnlyMeasures) {
  Run(0.005);
  EXPECT_EQ(form->ComboBox4->ItemIndex(), 2);
  EXPECT_EQ(form->EdgeIndexR, 1);
  form->RadioButton2->UserClick();
  form->ComboBox4->SetItemIndex(0);
  const auto generation = form->Canvas.Generation();
  Run(0.005);
  EXPECT_EQ(form->ComboBox4->ItemIndex(), 0) << "no redraw in single-shot mode";
  EXPECT_EQ(form->Canvas.Generation(), generation) << "nothing drawn";
}

TEST(Nearest, RoundsHalvesToEvenAndStaysInRange) {
  EXPECT_EQ(nearest(2.5), 2);
  EXPECT_EQ(nearest(3.5), 4);
  EXPECT_EQ(nearest(-2.5), -2);
  EXPECT_EQ(nearest(263.5), 264);
  EXPECT_EQ(nearest(1e12), std::numeric_limits<int>::max());
  EXPECT_EQ(nearest(-1e12), std::numeric_limits<int>::min());
  EXPECT_EQ(nearest(std::nan("")), std::numeric_limits<int>::min());
}

}  // namespace
}  // namespace osciloskop::testing
