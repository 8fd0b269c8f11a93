// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a user does with the keyboard and the mouse, for the script runner.
// Each action is sent as the input events the window system sends: to the
// window itself, which hands them to the widget under the pointer or with
// the focus, gives the focus on a press and routes them to an open list, so
// that a script meets exactly what the window's user meets (input_filter.h).
// Each returns an empty text or why a user could not do it.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class TControl;
class TForm;

// A click of the left (or right) mouse button on a part of the control no
// other control covers; a menu item is chosen (a right click on it does
// nothing).
std::string ClickControl(TForm& form, TControl& c, bool right);
// A right click at a point of the client area (its own pixels): where no
// control lies the screen's menu opens.
std::string RightClickScreen(TForm& form, int x, int y);
// A key by its script name, pressed and released.
std::string PressKey(TForm& form, std::string_view name);
// Typed text (UTF-8), a key for each character.
std::string TypeText(TForm& form, std::string_view text);
// The wheel turned by `notches` with the pointer over the control
// (positive: towards the user).
std::string TurnWheel(TForm& form, TControl& c, int notches);
// The focus a press on the control gives it: the press that chooses a list
// item or takes a slider's thumb.
void FocusAsPressed(TControl& c);

// What is open over the window: the control whose drop-down list is open
// ("menu" for another pop-up), and the entries of an open menu.
struct OpenPopup {
  std::string list;
  std::vector<std::string> menu;
};
OpenPopup OpenPopupNow();

}  // namespace platform
