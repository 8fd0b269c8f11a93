// SPDX-License-Identifier: GPL-3.0-or-later
// The firing rules of the toolkit's controls and the form built from a
// description.
#include "platform/toolkit/controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/base/json.h"
#include "platform/toolkit/form.h"

namespace {

using platform::ControlClass;
using platform::TObject;

// A small form with one control of each kind and handlers that log.
class TestForm final : public platform::TForm {
 public:
  explicit TestForm() : platform::TForm(nullptr) {}
  std::vector<std::string> log;

 protected:
  platform::TNotifyEvent FindNotify(std::string_view method) override {
    std::string m(method);
    if (m == "Throw") return [](TObject*) { throw std::runtime_error("boom"); };
    return [this, m](TObject*) { log.push_back(m); };
  }
  std::function<void(TObject*, bool&)> FindChangingHandler(std::string_view) override {
    return [this](TObject*, bool& allow) {
      log.push_back("Changing");
      allow = allow_;
    };
  }

 public:
  bool allow_ = true;
};

const platform::FormDesc kDesc = {
    .Name = "TestForm",
    .Caption = "zkouška ",
    .Width = 300,
    .Height = 200,
    .Events = {{"OnResize", "Resize"}},
    .Controls = {
        {.Name = "List", .Class = ControlClass::ComboBox, .Width = 80, .Height = 21,
         .Items = {"a", "b", "c"}, .Events = {{"OnClick", "ListClick"}, {"OnChange", "ListChange"}}},
        {.Name = "Slider", .Class = ControlClass::ScrollBar, .Width = 100, .Height = 16, .Min = 0,
         .Max = 100, .Position = 0, .SmallChange = 1, .LargeChange = 10,
         .Events = {{"OnChange", "SliderChange"}}},
        {.Name = "R1", .Class = ControlClass::RadioButton, .Text = "one", .Checked = true,
         .Events = {{"OnClick", "R1Click"}}},
        {.Name = "R2", .Class = ControlClass::RadioButton, .Text = "two",
         .Events = {{"OnClick", "R2Click"}}},
        {.Name = "Off", .Class = ControlClass::ComboBox, .Items = {"x"}, .Enabled = false},
        {.Name = "Box", .Class = ControlClass::Panel, .Visible = false},
        {.Name = "Inner", .Class = ControlClass::Button, .Parent = "Box", .Text = "in"},
        {.Name = "Ok", .Class = ControlClass::Button, .Text = "ok", .Default = true,
         .Events = {{"OnClick", "OkClick"}}},
        {.Name = "Arrows", .Class = ControlClass::UpDown, .Min = 0, .Max = 50, .Position = 15,
         .SmallChange = 5, .Events = {{"OnChanging", "Changing"}}},
    }};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override { form.Build(kDesc); form.log.clear(); }
  TestForm form;
  platform::TComboBox& list() { return *form.Find<platform::TComboBox>("List"); }
  platform::TScrollBar& slider() { return *form.Find<platform::TScrollBar>("Slider"); }
};

TEST_F(Controls, SliderNotifiesEveryActualChangeAlsoByTheProgramAndByItsRange) {
  auto& s = slider();
  s.SetPosition(0);
  EXPECT_TRUE(form.log.empty()) << "no change, no notification";
  s.SetPosition(40);
  s.SetMin(50);   // drags the position up
  s.SetMax(60);   // position 50 stays
  s.SetMax(45 + 10);
  s.SetMin(0);
  s.SetMax(20);   // drags it down
  EXPECT_EQ(form.log, (std::vector<std::string>{"SliderChange", "SliderChange", "SliderChange"}));
  EXPECT_EQ(s.Position(), 20);
  // A user's move outside the range is refused; a key moves by the steps.
  EXPECT_NE(s.UserPosition(21), "");
  EXPECT_EQ(s.UserPosition(5), "");
  EXPECT_EQ(s.KeyDown(platform::Key::PageDown), platform::KeyUse::Own);
  EXPECT_EQ(s.Position(), 15);
  EXPECT_EQ(s.KeyDown(platform::Key::End), platform::KeyUse::Own);
  EXPECT_EQ(s.Position(), 20);
}

TEST_F(Controls, SliderRefusesAMaximumBelowItsMinimumAndKeepsItsState) {
  auto& s = slider();
  s.SetParams(30, 10, 100);
  form.log.clear();
  EXPECT_THROW(s.SetMax(5), std::invalid_argument);
  EXPECT_THROW(s.SetMin(101), std::invalid_argument);
  try {
    s.SetMax(5);
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("Slider"), std::string::npos) << e.what();
  }
  EXPECT_EQ(s.Min(), 10);
  EXPECT_EQ(s.Max(), 100);
  EXPECT_EQ(s.Position(), 30);
  EXPECT_TRUE(form.log.empty());
}

TEST_F(Controls, SettingAListsItemNotifiesNothingAUsersChoiceClicksThenChanges) {
  list().SetItemIndex(2);
  EXPECT_TRUE(form.log.empty());
  EXPECT_EQ(list().Text(), "c");
  EXPECT_EQ(list().UserSelect(1), "");
  EXPECT_EQ(form.log, (std::vector<std::string>{"ListClick", "ListChange"}));
  EXPECT_EQ(list().ItemIndex(), 1);
  EXPECT_NE(list().UserSelect(3), "") << "no such item";
  list().KeyDown(platform::Key::Down);
  EXPECT_EQ(list().ItemIndex(), 2);
  list().KeyDown(platform::Key::Down);  // past the last item nothing happens
  EXPECT_EQ(form.log.size(), 4u);
  list().SetItemIndex(7);
  EXPECT_EQ(list().ItemIndex(), -1) << "an impossible index means no selection";
}

TEST_F(Controls, DisabledOrHiddenControlsRefuseTheUser) {
  auto* off = form.Find<platform::TComboBox>("Off");
  std::string e = off->UserSelect(0);
  EXPECT_NE(e.find("Off"), std::string::npos);
  EXPECT_NE(e.find("disabled"), std::string::npos);
  auto* inner = form.Find<platform::TButton>("Inner");
  EXPECT_TRUE(inner->Visible());
  EXPECT_FALSE(inner->Showing()) << "its panel is hidden";
  EXPECT_NE(inner->UserClick().find("hidden"), std::string::npos);
  EXPECT_NE(form.FocusControl(off), "");
}

TEST_F(Controls, RadioButtonsClickOnlyWhenMarkedAndClearTheirSiblings) {
  auto* r1 = form.Find<platform::TRadioButton>("R1");
  auto* r2 = form.Find<platform::TRadioButton>("R2");
  EXPECT_TRUE(r1->Checked());
  EXPECT_EQ(r1->UserClick(), "");
  EXPECT_TRUE(form.log.empty()) << "clicking the marked button is no event";
  EXPECT_EQ(r2->UserClick(), "");
  EXPECT_FALSE(r1->Checked());
  EXPECT_TRUE(r2->Checked());
  r2->SetChecked(false);
  r1->SetChecked(false);
  EXPECT_EQ(form.log, (std::vector<std::string>{"R2Click"}));
  EXPECT_EQ(r2->UserClick(), "");
  EXPECT_EQ(form.log, (std::vector<std::string>{"R2Click", "R2Click"}));
}

// Keys as the form's toolkit has them, one after another on the shown form:
// where the focus goes and which handlers run.
TEST_F(Controls, KeysMoveTheFocusAndPressAsTheFormsToolkitDoes) {
  using platform::Key;
  form.Show();
  auto key = [this](Key k) { return [this, k] { form.KeyDown(k); }; };
  auto focus = [this](const char* name) {
    return [this, name] { form.FocusControl(form.Control(name)); };
  };
  auto wheel = [this](int notches) { return [this, notches] { form.WheelTurned(notches); }; };
  struct Step {
    std::function<void()> act;
    std::string focus;
    std::vector<std::string> log;
  } steps[] = {
      {[] {}, "List", {}},  // the first tab stop
      {key(Key::Tab), "Slider", {}},
      {key(Key::Tab), "R1", {}},  // the marked radio button
      {key(Key::Tab), "Ok", {}},  // not the unmarked, the disabled or the hidden
      {key(Key::Tab), "Arrows", {}},
      {key(Key::Tab), "List", {}},  // round
      {key(Key::ShiftTab), "Arrows", {}},
      {focus("R1"), "R1", {}},
      {key(Key::Right), "R2", {"R2Click"}},  // an arrow marks the radio button it reaches
      {key(Key::Enter), "R2", {"OkClick"}},
      {key(Key::Left), "R1", {"R1Click"}},
      {key(Key::Up), "Slider", {}},
      {key(Key::Right), "Slider", {"SliderChange"}},  // a slider's own key
      {focus("Ok"), "Ok", {}},
      {key(Key::Space), "Ok", {"OkClick"}},
      {key(Key::Escape), "Ok", {}},
      {focus("List"), "List", {}},
      {key(Key::Enter), "List", {"OkClick"}},  // a closed list leaves Enter to the form
      {key(Key::PageDown), "List", {"ListClick", "ListChange"}},
      {wheel(-1), "List", {"ListClick", "ListChange"}},
      {focus("Ok"), "Ok", {}},
      {wheel(-1), "Ok", {}},  // the wheel steps nothing but a focused list or slider
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    form.log.clear();
    steps[i].act();
    ASSERT_NE(form.ActiveControl(), nullptr) << "step " << i;
    EXPECT_EQ(form.ActiveControl()->Name(), steps[i].focus) << "step " << i;
    EXPECT_EQ(form.log, steps[i].log) << "step " << i;
  }
  EXPECT_EQ(slider().Position(), 1);
  EXPECT_EQ(list().ItemIndex(), 1) << "PageDown from no item: a page, kept to the last; the "
                                       "wheel away from the user: the item before";
}

TEST_F(Controls, UpDownAsksBeforeEachStep) {
  auto* ud = form.Find<platform::TUpDown>("Arrows");
  ud->KeyDown(platform::Key::Up);
  EXPECT_EQ(ud->Position(), 20);
  form.allow_ = false;
  ud->KeyDown(platform::Key::Up);
  EXPECT_EQ(ud->Position(), 20);
  EXPECT_EQ(form.log, (std::vector<std::string>{"Changing", "Changing"}));
}

TEST_F(Controls, FormGeometryIsThatOfAFramedWindowWithAnExactClientArea) {
  EXPECT_EQ(form.Caption(), "zkouška ");
  EXPECT_EQ(form.ClientWidth(), 300 - 2 * platform::kFrameBorder);
  form.log.clear();
  form.SetClientHeight(120);
  EXPECT_EQ(form.ClientHeight(), 120);
  EXPECT_EQ(form.Canvas.Height(), 120);
  EXPECT_EQ(form.Height(), 120 + 2 * platform::kFrameBorder + platform::kCaptionHeight);
  EXPECT_EQ(form.log, (std::vector<std::string>{"Resize"}));
}

TEST_F(Controls, DumpShowsTheObservableProperties) {
  platform::JsonWriter w;
  w.BeginObject();
  slider().DumpProperties(w);
  w.EndObject();
  const std::string& t = w.Text();
  for (const char* key : {"\"class\": \"TScrollBar\"", "\"min\": 0", "\"max\": 100",
                          "\"position\": 0", "\"largeChange\": 10", "\"visible\": true"})
    EXPECT_NE(t.find(key), std::string::npos) << key << " in " << t;
}

TEST(FormDescription, AnUnknownHandlerNameIsAnErrorNotASilentGap) {
  class NoMethods final : public platform::TForm {
   public:
    NoMethods() : platform::TForm(nullptr) {}
  } f;
  platform::FormDesc d = {.Name = "F",
                          .Caption = {},
                          .Controls = {{.Name = "B", .Class = ControlClass::Button,
                                        .Events = {{"OnClick", "Missing"}}}}};
  EXPECT_THROW(f.Build(d), std::logic_error);
}

}  // namespace
