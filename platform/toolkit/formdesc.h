// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The stored description of a window: one row per control, applied in this
// order when the form is built (later rows lie above earlier ones where they
// overlap; the tab order within a parent follows the rows).
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/toolkit/graphics.h"

namespace platform {

enum class ControlClass {
  ComboBox,    // drop-down list; Editable selects the kind with a text field
  ScrollBar,   // horizontal slider
  TrackBar,    // vertical slider
  UpDown,
  Edit,        // text box
  RadioButton,
  Button,
  Panel,
  MainMenu,
  MenuItem,
};

std::string_view ClassName(ControlClass c);

struct EventBinding {
  std::string_view Event;   // "OnClick", "OnChange", "OnChanging"
  std::string_view Method;  // a method name of the form
};

struct ControlDesc {
  std::string_view Name;
  ControlClass Class;
  std::string_view Parent = {};  // empty: the form itself
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::string_view Text = {};  // caption or text
  std::vector<std::string_view> Items = {};
  bool Visible = true;
  bool Enabled = true;
  TColor Color = clDefault;
  TColor FontColor = clDefault;
  int FontPixelSize = 0;  // 0: the form's font
  bool Bold = true;
  std::string_view Hint = {};
  bool Checked = false;
  int Min = 0, Max = 100, Position = 0;
  int SmallChange = 1, LargeChange = 1;
  bool Editable = false;    // combo box with a text field
  int DropDownCount = 8;
  bool ReadOnly = false;
  bool Default = false;     // the button Enter activates
  bool Bevel = true;        // panels
  std::vector<EventBinding> Events = {};
};

struct FormDesc {
  std::string_view Name;
  std::string_view Caption;
  TColor Color = clBtnFace;
  int Left = 0, Top = 0, Width = 800, Height = 600;
  int FontPixelSize = 11;
  std::string_view Menu = {};  // name of the main menu row, if any
  std::vector<EventBinding> Events = {};  // OnCreate, OnClose, OnResize
  std::vector<ControlDesc> Controls = {};
};

}  // namespace platform
