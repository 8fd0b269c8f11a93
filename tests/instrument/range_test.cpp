// SPDX-License-Identifier: GPL-3.0-or-later
// The range step of both channels and the range lists.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "form_fixture.h"

namespace osciloskop {
namespace {

using testing::FormTest;

struct Row {
  int index;
  RangeFlag flag;
  const char* top;
  const char* bottom;
  double step;
  double gain;
};

// The list's rows in list order; index 0 uses the 5 V row.
const std::vector<Row> kRows = {
    {0, Range5V, "+ V", "- V", 0.5, 0.02},      {1, Range50V, "+ V", "- V", 5.0, 0.002},
    {2, Range20V, "+ V", "- V", 2.0, 0.005},    {3, Range10V, "+ V", "- V", 1.0, 0.01},
    {4, Range5V, "+ V", "- V", 0.5, 0.02},      {5, Range2V, "+ V", "- V", 0.2, 0.05},
    {6, Range1V, "+ V", "- V", 0.1, 0.1},       {7, Range500mV, "+mV", "-mV", 50.0, 0.2},
    {8, Range200mV, "+mV", "-mV", 20.0, 0.5},   {9, Range100mV, "+mV", "-mV", 10.0, 1.0},
    {10, Range50mV, "+mV", "-mV", 5.0, 2.0},    {11, Range20mV, "+mV", "-mV", 2.0, 5.0},
    {12, Range10mV, "+mV", "-mV", 1.0, 10.0},
};

const std::vector<std::string> kItems = {
    "automaticky", "      50 V",  "      20 V",  "      10 V", "        5 V",
    "        2 V", "        1 V", "    500 mV",  "    200 mV", "    100 mV",
    "      50 mV", "      20 mV", "      10 mV"};

constexpr platform::TColor kMarker = platform::RGB(10, 200, 30);

// One channel's controls and state, so both run through the same checks.
struct Channel {
  const char* name;
  TComboBox* list;
  std::function<void()> click;  // the list's selection handler
  std::function<void()> apply;  // the channel's range step
  std::int32_t* auto_range;
  RangeLatches* latches;
  double* step;
  double* gain;
  TEdit* top;
  TEdit* bottom;
};

class RangeTest : public FormTest {
 protected:
  Channel L() {
    TForm1* f = form;
    return {"L",
            f->ComboBox2,
            [f] { f->ComboBox2Click(nullptr); },
            [f] { f->ApplyRangeL(); },
            &f->AutoRangeL,
            &f->RangeLatchL,
            &f->RangeStepL,
            &f->RangeGainL,
            f->Edit2,
            f->Edit5};
  }
  Channel R() {
    TForm1* f = form;
    return {"R",
            f->ComboBox9,
            [f] { f->ComboBox9Click(nullptr); },
            [f] { f->ApplyRangeR(); },
            &f->AutoRangeR,
            &f->RangeLatchR,
            &f->RangeStepR,
            &f->RangeGainR,
            f->Edit18,
            f->Edit19};
  }
  void PutMarker() {
    auto& c = form->Canvas;
    c.Pen.Color = kMarker;
    c.Pen.Width = 1;
    c.MoveTo(form->ClientWidth() - 2, form->ClientHeight() - 1);
    c.LineTo(form->ClientWidth() - 1, form->ClientHeight() - 1);
  }
  bool MarkerSurvived() const {
    return form->Canvas.Pixel(form->ClientWidth() - 2, form->ClientHeight() - 1) == kMarker;
  }
  // Which flag is set; -1 unless exactly one is 1 and the rest 0.
  static int OneHot(const RangeLatches& l) {
    int set = -1, ones = 0;
    for (int i = 0; i < RangeFlagCount; ++i) {
      if (l[static_cast<std::size_t>(i)] == 1) {
        ++ones;
        set = i;
      } else if (l[static_cast<std::size_t>(i)] != 0) {
        return -1;
      }
    }
    return ones == 1 ? set : -1;
  }
  // A user's choice as the handler sees it, then the range step.
  bool Choose(const Channel& ch, int index) {
    ch.list->SetItemIndex(index);
    ch.click();
    PutMarker();
    ch.apply();
    return !MarkerSurvived();  // repainted
  }
  void ExpectRow(const Channel& ch, const Row& row) {
    EXPECT_DOUBLE_EQ(*ch.step, row.step);
    EXPECT_DOUBLE_EQ(*ch.gain, row.gain);
    EXPECT_EQ(ch.top->Text(), row.top);
    EXPECT_EQ(ch.bottom->Text(), row.bottom);
    EXPECT_EQ(OneHot(*ch.latches), row.flag);
  }
  void CheckTable(const Channel& ch) {
    SCOPED_TRACE(std::string("channel ") + ch.name);
    // 1..12 in turn, each a different range: each applied with one repaint.
    for (int i = 1; i <= 12; ++i) {
      SCOPED_TRACE("index " + std::to_string(i));
      EXPECT_TRUE(Choose(ch, i)) << "no repaint";
      EXPECT_EQ(*ch.auto_range, 0);
      ExpectRow(ch, kRows[static_cast<std::size_t>(i)]);
      // Again: the range is in force, nothing happens.
      PutMarker();
      ch.apply();
      EXPECT_TRUE(MarkerSurvived()) << "re-applied the range in force";
    }
    // Automatic: the 5 V row.
    EXPECT_TRUE(Choose(ch, 0));
    EXPECT_EQ(*ch.auto_range, 1);
    ExpectRow(ch, kRows[0]);
    // "5 V" while on automatic, and back: the 5 V flag is already set.
    EXPECT_FALSE(Choose(ch, 4));
    EXPECT_EQ(*ch.auto_range, 0);
    ExpectRow(ch, kRows[4]);
    EXPECT_FALSE(Choose(ch, 0));
    ExpectRow(ch, kRows[0]);

    // In descending order as well, from 10 mV up to 50 V.
    for (int i = 12; i >= 1; --i) {
      EXPECT_TRUE(Choose(ch, i)) << "index " << i;
      ExpectRow(ch, kRows[static_cast<std::size_t>(i)]);
    }
    // Index 0 while the automatic flag is 0, or no selection: nothing.
    ASSERT_EQ(*ch.auto_range, 0);
    for (int index : {0, -1}) {
      ch.list->SetItemIndex(index);
      PutMarker();
      ch.apply();
      EXPECT_TRUE(MarkerSurvived()) << "index " << index;
      ExpectRow(ch, kRows[1]);
    }
  }
};

TEST_F(RangeTest, StartUpStateOfBothChannels) {
  for (const Channel& ch : {L(), R()}) {
    SCOPED_TRACE(ch.name);
    EXPECT_EQ(*ch.auto_range, 1);
    EXPECT_EQ(ch.list->ItemIndex(), 0);
    EXPECT_EQ(ch.list->Items(), kItems);
    EXPECT_FALSE(ch.list->Enabled());
    EXPECT_DOUBLE_EQ(*ch.step, 10.0);
    EXPECT_DOUBLE_EQ(*ch.gain, 1.0);
    EXPECT_EQ(OneHot(*ch.latches), Range100mV);
  }
  EXPECT_EQ(form->Edit2->Text(), "mA");
  EXPECT_EQ(form->Edit5->Text(), "mA");
  EXPECT_EQ(form->Edit18->Text(), "+mV");
  EXPECT_EQ(form->Edit19->Text(), "-mV");
}

TEST_F(RangeTest, EveryItemOfTheLeftListAppliesItsRow) {
  CheckTable(L());
  // R is untouched by all of it.
  EXPECT_EQ(OneHot(form->RangeLatchR), Range100mV);
  EXPECT_DOUBLE_EQ(form->RangeStepR, 10.0);
  EXPECT_EQ(form->Edit18->Text(), "+mV");
}

TEST_F(RangeTest, EveryItemOfTheRightListAppliesItsRow) {
  CheckTable(R());
  EXPECT_EQ(OneHot(form->RangeLatchL), Range100mV);
  EXPECT_DOUBLE_EQ(form->RangeGainL, 1.0);
  EXPECT_EQ(form->Edit2->Text(), "mA");
}

TEST_F(RangeTest, AutomaticIgnoresTheListSelection) {
  form->ComboBox2->SetItemIndex(7);  // 500 mV shown, but automatic stays on
  PutMarker();
  form->ApplyRangeL();
  EXPECT_FALSE(MarkerSurvived());
  EXPECT_EQ(OneHot(form->RangeLatchL), Range5V);
  EXPECT_DOUBLE_EQ(form->RangeStepL, 0.5);
}

TEST_F(RangeTest, FirstDisplayPassAppliesFiveVoltsToBothChannelsWithTwoRepaints) {
  // Each channel's first range step repaints once; its second does not.
  PutMarker();
  form->ApplyRangeL();
  EXPECT_FALSE(MarkerSurvived()) << "L";
  EXPECT_EQ(OneHot(form->RangeLatchR), Range100mV) << "L's step touched R";
  PutMarker();
  form->ApplyRangeL();
  EXPECT_TRUE(MarkerSurvived());
  form->ApplyRangeR();
  EXPECT_FALSE(MarkerSurvived()) << "R";
  PutMarker();
  form->ApplyRangeR();
  EXPECT_TRUE(MarkerSurvived());
  for (const Channel& ch : {L(), R()}) {
    SCOPED_TRACE(ch.name);
    ExpectRow(ch, kRows[0]);
  }
}

TEST_F(RangeTest, TheCycleAppliesTheAutomaticRangeOnceAndNeverAgain) {
  Run(0.001);  // one idle step: the first display pass
  for (const Channel& ch : {L(), R()}) {
    SCOPED_TRACE(ch.name);
    ExpectRow(ch, kRows[0]);
  }
  Run(0.05);  // the band is in force too from now on
  PutMarker();
  Run(1.5);  // over more than one recording run
  EXPECT_TRUE(MarkerSurvived()) << "a later pass repainted the window";
  for (const Channel& ch : {L(), R()}) {
    SCOPED_TRACE(ch.name);
    ExpectRow(ch, kRows[0]);
    EXPECT_EQ(*ch.auto_range, 1);
  }
}

TEST_F(RangeTest, TheRangeListsAreOutOfTheUsersReach) {
  EXPECT_EQ(form->ComboBox2->UserSelect(3), "ComboBox2 is disabled");
  EXPECT_EQ(form->ComboBox9->UserSelect(3), "ComboBox9 is disabled");
  EXPECT_EQ(form->ComboBox2->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox9->ItemIndex(), 0);
  EXPECT_EQ(form->AutoRangeL, 1);
  EXPECT_EQ(form->AutoRangeR, 1);
  for (TComboBox* hidden : {form->ComboBox3, form->ComboBox5, form->ComboBox6}) {
    EXPECT_FALSE(hidden->Visible());
    EXPECT_EQ(hidden->UserSelect(1), hidden->Name() + " is hidden");
  }
}

TEST_F(RangeTest, ComboBox9AlsoRunsTheLeftHandlerOnChange) {
  // Enabled here only to make a user's choice possible at all.
  form->ComboBox9->SetEnabled(true);
  form->ComboBox2->SetItemIndex(5);
  ASSERT_EQ(form->ComboBox9->UserSelect(3), "");
  EXPECT_EQ(form->AutoRangeR, 0);  // its own handler, from its own index
  EXPECT_EQ(form->AutoRangeL, 0);  // the left handler, from ComboBox2's index 5
  form->ComboBox2->SetItemIndex(0);
  form->AutoRangeL = 0;
  ASSERT_EQ(form->ComboBox9->UserSelect(7), "");
  EXPECT_EQ(form->AutoRangeR, 0);
  EXPECT_EQ(form->AutoRangeL, 1);  // ComboBox2 is on "automaticky"
  ASSERT_EQ(form->ComboBox9->UserSelect(0), "");
  EXPECT_EQ(form->AutoRangeR, 1);

  // The stored form binds it so.
  const platform::ControlDesc* nine = nullptr;
  for (const auto& d : TForm1::StoredForm().Controls)
    if (d.Name == "ComboBox9") nine = &d;
  ASSERT_NE(nine, nullptr);
  int change = 0;
  for (const auto& e : nine->Events)
    if (e.Event == "OnChange") {
      ++change;
      EXPECT_EQ(e.Method, "ComboBox2Click");
    }
  EXPECT_EQ(change, 1);
}

TEST_F(RangeTest, HiddenListsSetTheAutomaticFlags) {
  EXPECT_EQ(form->ComboBox5->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox6->ItemIndex(), 0);
  EXPECT_EQ(form->ComboBox3->ItemIndex(), -1);
  TForm1* f = form;
  struct Case {
    TComboBox* list;
    std::function<void()> click;
    std::int32_t* flag;
    std::int32_t* other;
  };
  const Case cases[] = {
      {f->ComboBox3, [f] { f->ComboBox3Click(nullptr); }, &f->AutoRangeR, &f->AutoRangeL},
      {f->ComboBox6, [f] { f->ComboBox6Click(nullptr); }, &f->AutoRangeR, &f->AutoRangeL},
      {f->ComboBox5, [f] { f->ComboBox5Click(nullptr); }, &f->AutoRangeL, &f->AutoRangeR},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list->Name());
    *c.other = 1;
    const int last = static_cast<int>(c.list->Items().size()) - 1;  // "vypnuto"
    for (int index : {1, last}) {
      c.list->SetItemIndex(index);
      c.click();
      EXPECT_EQ(*c.flag, 0) << index;
    }
    c.list->SetItemIndex(0);
    c.click();
    EXPECT_EQ(*c.flag, 1);
    EXPECT_EQ(*c.other, 1);
    c.list->SetItemIndex(last);
    c.click();
    EXPECT_EQ(*c.other, 1) << "set the other channel's flag";
  }
}

}  // namespace
}  // namespace osciloskop
