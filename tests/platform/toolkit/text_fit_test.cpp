// SPDX-License-Identifier: GPL-3.0-or-later
// Whether a caption fits its control, as the dump tells it (`textFits`),
// against what the control draws: a control is built at its stored width
// and again much wider, and the caption is whole where the narrow one shows
// every column of the wide one's lettering. Also the menu bar: its items'
// places and the items pushed behind its overflow arrow.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/style.h"

namespace {

using platform::ControlClass;
using platform::ControlDesc;

constexpr int kWider = 200;

class Plain final : public platform::TForm {
 public:
  Plain() : platform::TForm(nullptr) {}
};

// The caption's last column in a picture of the control: the rightmost
// column, left of `limit`, with a pixel unlike the background of its row
// (as in column `limit`; rows at the frame left out).
int LastInkColumn(const QImage& img, int limit) {
  int last = -1;
  for (int x = 0; x < limit && x < img.width(); ++x)
    for (int y = 3; y < img.height() - 3; ++y)
      if (img.pixel(x, y) != img.pixel(limit, y)) last = x;
  return last;
}

// The first column where two pictures differ.
int FirstDifferentColumn(const QImage& a, const QImage& b) {
  for (int x = 0; x < a.width() && x < b.width(); ++x)
    for (int y = 0; y < a.height() && y < b.height(); ++y)
      if (a.pixel(x, y) != b.pixel(x, y)) return x;
  return std::min(a.width(), b.width());
}

struct Case {
  ControlClass cls;
  bool editable;
  int width, height;
  std::string text;
};

// Builds the control at its width and `kWider` pixels wider; returns
// whether the caption is whole in the narrow one, and what it says of itself.
void Check(const Case& c) {
  SCOPED_TRACE("'" + c.text + "' in " + std::to_string(c.width) + " px");
  const auto row = [&](std::string_view name, int width, int top) {
    ControlDesc d{.Name = name,
                  .Class = c.cls,
                  .Left = 0,
                  .Top = top,
                  .Width = width,
                  .Height = c.height,
                  .Text = c.text,
                  .Editable = c.editable};
    if (c.cls == ControlClass::ComboBox) d.Items = {d.Text};
    return d;
  };
  const platform::FormDesc desc = {
      .Name = "F",
      .Caption = "F",
      .Width = 600,
      .Height = 200,
      .Controls = {row("Narrow", c.width, 0), row("Wide", c.width + kWider, 40)}};
  Plain form;
  form.Build(desc);
  form.Show();
  for (const char* n : {"Narrow", "Wide"})
    if (auto* cb = form.Find<platform::TComboBox>(n)) cb->SetItemIndex(0);
  platform::TControl* narrow = form.Control("Narrow");
  platform::TControl* wide = form.Control("Wide");
  const QImage a = narrow->Widget()->grab().toImage();
  const QImage b = wide->Widget()->grab().toImage();
  const int ink = LastInkColumn(b, c.width + kWider / 2);
  ASSERT_GT(ink, 0) << "no lettering drawn";
  const bool whole = ink < FirstDifferentColumn(a, b);
  EXPECT_TRUE(wide->TextFits());
  EXPECT_EQ(narrow->TextFits(), whole)
      << "last letter column " << ink << ", the narrow one "
      << "shows the wide one's columns up to " << FirstDifferentColumn(a, b) - 1;
}

TEST(TextFits, RadioButtonCaptionsOfTheStoredFormAndLongerOnes) {
  Check({ControlClass::RadioButton, false, 71, 19, "periodické"});
  Check({ControlClass::RadioButton, false, 80, 19, "jednorázové"});
  Check({ControlClass::RadioButton, false, 71, 19, "periodickéé"});
  Check({ControlClass::RadioButton, false, 80, 19, "jednorázovéé"});
}

TEST(TextFits, ListTextsOfTheStoredFormAndLongerOnes) {
  Check({ControlClass::ComboBox, true, 82, 21, "od kanálu R"});
  Check({ControlClass::ComboBox, false, 83, 21, "automatická"});
  Check({ControlClass::ComboBox, true, 82, 21, "od kanálu RL"});
  Check({ControlClass::ComboBox, true, 82, 21, "od kanálu R "});
  Check({ControlClass::ComboBox, true, 82, 21, "od kanálu R  "});
  Check({ControlClass::ComboBox, false, 83, 21, "automatickáá"});
}

TEST(TextFits, TextBoxes) {
  Check({ControlClass::Edit, false, 62, 21, "12760 Hz"});
  Check({ControlClass::Edit, false, 62, 21, "12760.0 Hz"});
  Check({ControlClass::Edit, false, 62, 21, "12760.00 Hz"});
  Check({ControlClass::Edit, false, 56, 21, "465 mA"});
  Check({ControlClass::Edit, false, 56, 21, "465.00 mA"});
}

// A bar of `count` items named after their number; returns the form.
std::unique_ptr<Plain> MenuForm(int count, int width) {
  static std::vector<std::string> names, captions;
  names.clear();
  captions.clear();
  for (int i = 0; i < count; ++i) {
    names.push_back("item" + std::to_string(i));
    captions.push_back("položka " + std::to_string(i));
  }
  platform::FormDesc desc = {
      .Name = "M", .Caption = "M", .Width = width, .Height = 200, .Menu = "Menu"};
  desc.Controls.push_back({.Name = "Menu", .Class = ControlClass::MainMenu});
  for (int i = 0; i < count; ++i)
    desc.Controls.push_back({.Name = names[static_cast<std::size_t>(i)],
                             .Class = ControlClass::MenuItem,
                             .Parent = "Menu",
                             .Text = captions[static_cast<std::size_t>(i)]});
  auto form = std::make_unique<Plain>();
  form->Build(desc);
  form->Show();
  return form;
}

TEST(TextFits, MenuItemsLieSideBySideAndThoseBehindTheOverflowArrowDoNotFit) {
  auto form = MenuForm(6, 800);
  const auto* bar = form->Find<platform::TMainMenu>("Menu");
  EXPECT_EQ(bar->DrawnPlace().width, 792);
  int left = 0;
  for (int i = 0; i < 6; ++i) {
    const auto* item = form->Find<platform::TMenuItem>("item" + std::to_string(i));
    const auto p = item->DrawnPlace();
    EXPECT_EQ(p.left, left) << i;
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.height, bar->DrawnPlace().height);
    EXPECT_GT(p.width, 2 * platform::kMenuItemPadding);
    EXPECT_TRUE(item->TextFits()) << i;
    left += p.width;
  }

  auto crowded = MenuForm(12, 400);
  int fitting = 0, last_fitting = -1;
  for (int i = 0; i < 12; ++i) {
    const auto* item = crowded->Find<platform::TMenuItem>("item" + std::to_string(i));
    if (item->TextFits()) {
      ++fitting;
      last_fitting = i;
      EXPECT_LE(item->DrawnPlace().left + item->DrawnPlace().width, 400 - 8);
    }
  }
  EXPECT_GT(fitting, 0);
  EXPECT_LT(fitting, 12);
  EXPECT_EQ(last_fitting, fitting - 1) << "the first items fit, the rest are behind the arrow";
}

}  // namespace
