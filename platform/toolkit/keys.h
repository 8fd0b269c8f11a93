// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keys the controls and the form tell apart, and their names in scripts.
#include <optional>
#include <string_view>

namespace platform {

enum class Key {
  Enter,
  Tab,
  ShiftTab,
  Left,
  Right,
  Up,
  Down,
  PageUp,
  PageDown,
  Home,
  End,
  Space,
  Escape,
  OpenList,   // F4, Alt+Down: a drop-down list opens
  Character,  // a printable character, typed
  Other,      // anything else: Backspace, Delete, function keys, Ctrl+...
};

// What the focused control does with a key it was given.
enum class KeyUse {
  Own,    // the control acted on it
  Field,  // its text field (or Qt's widget) takes it: caret, typing, opening the list
  Form,   // not the control's: the form's own keys (Enter, arrows between controls)
};

// A script's key name ("Enter", "Shift+Tab", "PageDown" ...), if it is one.
std::optional<Key> KeyNamed(std::string_view name);
// Every name KeyNamed knows, for messages.
std::string_view KeyNames();

}  // namespace platform
