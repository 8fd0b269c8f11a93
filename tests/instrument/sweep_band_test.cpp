// SPDX-License-Identifier: GPL-3.0-or-later
// Choice of the sweep band: automatic from the frequency of R, fixed from
// the time-base list, applied (with one window refresh) only on a change.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "form_fixture.h"

namespace osciloskop {
namespace {

using testing::FormTest;

struct BandRow {
  double step;
  int samples_per_point;
};

// Index b - 1 for band b.
constexpr std::array<BandRow, 7> kBandRows = {{
    {1.0, 6}, {1.0, 3}, {0.83, 1}, {1.65, 1}, {3.3, 1}, {8.5, 1}, {17.0, 1}}};

constexpr platform::TColor kMarker = platform::RGB(200, 0, 100);

class SweepBandTest : public FormTest {
 protected:
  std::array<std::int32_t, 7> Latches() const {
    return {form->BandLatch1, form->BandLatch2, form->BandLatch3, form->BandLatch4,
            form->BandLatch5, form->BandLatch6, form->BandLatch7};
  }
  // The band whose latch is set, 0 when none is, -1 when more than one is.
  int LatchedBand() const {
    int band = 0;
    const auto l = Latches();
    for (int b = 1; b <= 7; ++b) {
      if (l[b - 1] != 0 && l[b - 1] != 1) return -1;
      if (l[b - 1] == 1) band = band == 0 ? b : -1;
    }
    return band;
  }
  // A pixel nothing but a refresh can touch: the bottom right corner, far
  // below the grid and the labels.
  void PutMarker() {
    form->Canvas.MoveTo(form->ClientWidth() - 2, form->ClientHeight() - 1);
    form->Canvas.Pen.Color = kMarker;
    form->Canvas.Pen.Width = 1;
    form->Canvas.LineTo(form->ClientWidth() - 1, form->ClientHeight() - 1);
    ASSERT_EQ(form->Canvas.Pixel(form->ClientWidth() - 2, form->ClientHeight() - 1), kMarker);
  }
  bool MarkerSurvived() const {
    return form->Canvas.Pixel(form->ClientWidth() - 2, form->ClientHeight() - 1) == kMarker;
  }
  void ExpectBand(int band, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(LatchedBand(), band);
    ASSERT_GE(band, 1);
    EXPECT_DOUBLE_EQ(form->SweepStep, kBandRows[band - 1].step);
    EXPECT_EQ(form->SamplesPerPoint, kBandRows[band - 1].samples_per_point);
  }
};

TEST_F(SweepBandTest, StartsWithNoBandAndTheStartUpSweep) {
  EXPECT_EQ(LatchedBand(), 0);
  EXPECT_EQ(form->SamplesPerPoint, 6);
  EXPECT_DOUBLE_EQ(form->SweepStep, 0.0);
  EXPECT_EQ(form->AutoTimeBase, 1);
  EXPECT_EQ(form->FollowGenerator, 0);
  EXPECT_EQ(form->ComboBox1->ItemIndex(), 0);
  EXPECT_DOUBLE_EQ(form->FrequencyR, 40.0);
}

TEST_F(SweepBandTest, AutomaticBandFollowsFrequencyOnBothSidesOfEveryBoundary) {
  struct Case {
    double hz;
    int band;
  };
  const Case cases[] = {
      {0, 1},       {12, 1},     {30, 1},       {30.01, 2},  {50, 2},     {70, 2},
      {70.01, 3},   {100, 3},    {150, 3},      {150.01, 4}, {200, 4},    {250, 4},
      {250.01, 5},  {400, 5},    {600, 5},      {600.01, 6}, {900, 6},    {1200, 6},
      {1200.5, 7},  {2500, 7},   {1e6, 7},      {29.999, 1}, {1199.99, 6}, {12, 1},
  };
  form->AutoTimeBase = 1;
  for (const Case& c : cases) {
    form->FrequencyR = c.hz;
    form->SelectSweepBandR();
    ExpectBand(c.band, std::to_string(c.hz) + " Hz");
  }
}

TEST_F(SweepBandTest, FixedItemsOfTheTimeBaseListChooseTheirBandWhateverTheFrequency) {
  form->FrequencyR = 40.0;  // band 2 if it were followed
  for (int i = 1; i <= 7; ++i) {
    EXPECT_EQ(form->ComboBox1->UserSelect(i), "");
    EXPECT_EQ(form->AutoTimeBase, 0);
    EXPECT_EQ(form->FollowGenerator, 0);
    form->SelectSweepBandR();
    ExpectBand(i, "ComboBox1 item " + std::to_string(i));
  }
  // Back in reverse order, to see every band applied from another one.
  for (int i = 7; i >= 1; --i) {
    form->ComboBox1->UserSelect(i);
    form->FrequencyR = 5000.0;
    form->SelectSweepBandR();
    ExpectBand(i, "ComboBox1 item " + std::to_string(i) + " again");
  }

  // "automatická": the frequency decides again.
  form->ComboBox1->UserSelect(0);
  EXPECT_EQ(form->AutoTimeBase, 1);
  EXPECT_EQ(form->FollowGenerator, 0);
  form->FrequencyR = 900.0;
  form->SelectSweepBandR();
  ExpectBand(6, "automatická at 900 Hz");

  // " generátoru": automatic as well, and following the generator.
  form->ComboBox1->UserSelect(8);
  EXPECT_EQ(form->AutoTimeBase, 1);
  EXPECT_EQ(form->FollowGenerator, 1);
  form->FrequencyR = 20.0;
  form->SelectSweepBandR();
  ExpectBand(1, "generátoru at 20 Hz");

  // A msec item clears both flags.
  form->ComboBox1->UserSelect(4);
  EXPECT_EQ(form->AutoTimeBase, 0);
  EXPECT_EQ(form->FollowGenerator, 0);
}

TEST_F(SweepBandTest, AFixedTimeBaseOutsideTheMsecItemsGivesNoBand) {
  form->FrequencyR = 100.0;
  form->SelectSweepBandR();
  ExpectBand(3, "automatic first");
  // Selections made by the program do not run the handler, so the list can
  // sit on an automatic item while the time base is fixed.
  form->AutoTimeBase = 0;
  for (int index : {0, 8, -1}) {
    SCOPED_TRACE(index);
    form->ComboBox1->SetItemIndex(index);
    PutMarker();
    form->SelectSweepBandR();
    EXPECT_TRUE(MarkerSurvived());
    ExpectBand(3, "unchanged");
  }
  // Nor does DrawAxes draw a time axis: no minor tick below the centre line.
  form->Canvas.FillAll(platform::clBlack);
  form->DrawAxes();
  const int Hc = form->ClientHeight() / 2;
  int ticks = 0;
  for (int i = 1; i <= 99; ++i) {
    const int x = nearest(form->GridUnit * 2 * i * 0.973 + 55);
    ticks += form->Canvas.Pixel(x, Hc + 1) == platform::clWhite;
  }
  EXPECT_EQ(ticks, 0);
}

TEST_F(SweepBandTest, ABandChangeRefreshesTheWindowOnceAndOnlyOnce) {
  form->FrequencyR = 400.0;
  PutMarker();
  form->SelectSweepBandR();  // the first band ever: applied
  EXPECT_FALSE(MarkerSurvived());
  ExpectBand(5, "first");

  PutMarker();
  form->SelectSweepBandR();
  EXPECT_TRUE(MarkerSurvived()) << "the band in force refreshed the window";

  form->FrequencyR = 260.0;  // the same interval
  form->SelectSweepBandR();
  EXPECT_TRUE(MarkerSurvived()) << "another frequency of the same band refreshed";

  // The fixed item of the band in force, and back to automatic: nothing.
  form->ComboBox1->UserSelect(5);
  form->SelectSweepBandR();
  form->ComboBox1->UserSelect(0);
  form->SelectSweepBandR();
  EXPECT_TRUE(MarkerSurvived()) << "switching to the band's own fixed item refreshed";

  form->FrequencyR = 1300.0;
  form->SelectSweepBandR();
  EXPECT_FALSE(MarkerSurvived()) << "a new band did not refresh";
  ExpectBand(7, "1300 Hz");
  // The refresh comes before the new axis: the minor ticks are there.
  const int Hc = form->ClientHeight() / 2;
  EXPECT_EQ(form->Canvas.Pixel(nearest(form->GridUnit * 2 * 0.973 + 55), Hc), platform::clWhite);
  PutMarker();
  form->SelectSweepBandR();
  EXPECT_TRUE(MarkerSurvived());

  // The list handler alone leaves the latches; the change waits for an update.
  form->ComboBox1->UserSelect(1);
  ExpectBand(7, "after the handler, before the update");
  EXPECT_TRUE(MarkerSurvived());
}

TEST_F(SweepBandTest, TheCycleAppliesTheBandOnceAndRedrawsTheAxisOnEveryUpdate) {
  Run(0.05);
  const int first = LatchedBand();
  ASSERT_GE(first, 1) << "no band after the first updates";
  EXPECT_DOUBLE_EQ(form->SweepStep, kBandRows[first - 1].step);

  PutMarker();
  Run(0.05);
  EXPECT_TRUE(MarkerSurvived()) << "updates in the same band refreshed the window";
  EXPECT_EQ(LatchedBand(), first);

  // The axis is drawn on each update, not only when the band changes.
  const int Hc = form->ClientHeight() / 2;
  const int x = nearest(form->GridUnit * 2 * 3 * 0.973 + 55);
  form->Canvas.MoveTo(x, Hc + 2);
  form->Canvas.Pen.Color = platform::clBlack;
  form->Canvas.LineTo(x, Hc - 2);
  Run(0.002);
  EXPECT_EQ(form->Canvas.Pixel(x, Hc + 2), platform::clWhite);

  const int other = first % 7 + 1;
  form->ComboBox1->UserSelect(other);
  Run(0.01);
  EXPECT_FALSE(MarkerSurvived());
  ExpectBand(other, "fixed item in the cycle");
  PutMarker();
  Run(0.05);
  EXPECT_TRUE(MarkerSurvived());

  form->ComboBox1->UserSelect(other);  // the same item again
  Run(0.01);
  EXPECT_TRUE(MarkerSurvived());

  // " generátoru": the frequencies take GenFrequency (100 Hz): band 3.
  form->ComboBox1->UserSelect(8);
  Run(0.01);
  EXPECT_DOUBLE_EQ(form->FrequencyR, static_cast<double>(form->GenFrequency));
  ExpectBand(3, "following the 100 Hz generator");
}

}  // namespace
}  // namespace osciloskop
