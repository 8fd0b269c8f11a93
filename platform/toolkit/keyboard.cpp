// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the form and of its controls, as the form's toolkit has them.
// The window's keyboard and a script's `key` and `type` reach them the same
// way (input_filter.h).
//
// The form's own keys, for a key the focused control has no use for:
//  - Tab and Shift+Tab go to the next and previous tab stop in the stored
//    order; of a group of radio buttons only the marked one is a tab stop.
//  - Enter clicks the default button; a focused button takes Enter itself.
//  - An arrow moves the focus to the previous (Left, Up) or next (Right,
//    Down) control of the same parent that can take it, tab stop or not, as
//    the form's toolkit moves it between a parent's buttons and radio
//    buttons. A radio button the keyboard gives the focus to is marked and
//    clicked, as the toolkit's radio buttons are: so Right on "periodické"
//    gives "jednorázové" the focus and takes a single shot.
//  - Escape does nothing: the form has no cancel button.
// The controls' keys:
//  - a drop-down list, closed: Up/Down (and, without a text field,
//    Left/Right) the previous/next item, PageUp/PageDown the row a page of
//    its visible rows away (DropDownCount less one, as a list pages from its
//    top row to its bottom one), Home/End the first/last item, a typed
//    character the next item that begins with it; with a text field,
//    Left/Right/Home/End and typing edit the text, which then names no item.
//    F4 and Alt+Down open it; the open list is Qt's, and takes Enter and
//    Escape to close itself.
//  - a slider: Left/Up towards its minimum and Right/Down towards its
//    maximum by its small change, PageUp/PageDown by its large change,
//    Home/End to its ends (Qt's horizontal scroll bar had Left and Right
//    the other way round).
//  - up-down arrows: Up/Right one increment up, Down/Left one down.
//  - a text box: the caret keys and typing (a read-only one only moves the
//    caret); Up, Down and the page keys do nothing.
//  - a button and a radio button: Space clicks them.
// The wheel steps the focused list, slider or up-down as Down (towards the
// user) and Up (away) do, wherever the pointer is: the toolkit sent the
// wheel to the control with the focus, and a control without the focus
// never changes under a passing wheel.
#include <QString>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "platform/toolkit/controls.h"
#include "platform/toolkit/form.h"
#include "platform/toolkit/form_window.h"

namespace platform {

// ---- the form ---------------------------------------------------------------

TControl* TForm::NextControl(TControl* from, bool forward, bool tab_stops) const {
  const int n = static_cast<int>(controls_.size());
  if (n == 0) return nullptr;
  const auto it = std::find(controls_.begin(), controls_.end(), from);
  const int start =
      it != controls_.end() ? static_cast<int>(it - controls_.begin()) : (forward ? n - 1 : 0);
  // Round the stored order once, back to where it started.
  int i = start;
  do {
    i = forward ? (i + 1) % n : (i + n - 1) % n;
    TControl* c = controls_[i];
    if (!c->CanFocus()) continue;
    if (tab_stops ? c->TabStop() : (from && c->Parent() == from->Parent())) return c;
  } while (i != start);
  return nullptr;
}

void TForm::FocusFromKeyboard(TControl* c, bool tab, bool forward) {
  c->Widget()->setFocus(!tab      ? Qt::OtherFocusReason
                        : forward ? Qt::TabFocusReason
                                  : Qt::BacktabFocusReason);
  if (auto* rb = dynamic_cast<TRadioButton*>(c)) rb->UserClick();
}

bool TForm::KeyDown(Key key, std::string_view text) {
  TControl* focused = ActiveControl();
  if (key == Key::Tab || key == Key::ShiftTab) {
    if (TControl* c = NextControl(focused, key == Key::Tab, true))
      FocusFromKeyboard(c, true, key == Key::Tab);
    return false;
  }
  switch (focused ? focused->KeyDown(key, text) : KeyUse::Form) {
    case KeyUse::Field:
      return true;
    case KeyUse::Own:
      return false;
    case KeyUse::Form:
      break;
  }
  switch (key) {
    case Key::Enter:
      for (TControl* c : controls_) {
        auto* b = dynamic_cast<TButton*>(c);
        if (b && b->Default && b->Showing() && b->Enabled()) {
          b->UserClick();
          break;
        }
      }
      break;
    case Key::Left:
    case Key::Up:
    case Key::Right:
    case Key::Down: {
      const bool forward = key == Key::Right || key == Key::Down;
      if (TControl* c = focused ? NextControl(focused, forward, false) : nullptr)
        if (c != focused) FocusFromKeyboard(c, false, forward);
      break;
    }
    default:
      break;
  }
  return false;
}

void TForm::WheelTurned(int notches) {
  TControl* focused = ActiveControl();
  if (!focused || !focused->TakesWheel()) return;
  for (int i = 0; i < std::abs(notches); ++i) focused->KeyDown(notches > 0 ? Key::Down : Key::Up);
}

// ---- the controls -----------------------------------------------------------

KeyUse TControl::KeyDown(Key, std::string_view) { return KeyUse::Form; }

void TComboBox::StepBy(int delta) {
  const int n = static_cast<int>(items_.size());
  if (n == 0) return;
  // Without a selection the steps count from just above the first item.
  const long from = item_index_ < 0 ? -1 : item_index_;
  const int i = static_cast<int>(std::clamp<long>(from + delta, 0, n - 1));
  if (i != item_index_) UserSelect(i);
}

KeyUse TComboBox::KeyDown(Key key, std::string_view text) {
  const int page = std::max(1, DropDownCount - 1);
  constexpr int kAll = 1 << 20;
  switch (key) {
    case Key::Up:
      StepBy(-1);
      return KeyUse::Own;
    case Key::Down:
      StepBy(1);
      return KeyUse::Own;
    case Key::PageUp:
      StepBy(-page);
      return KeyUse::Own;
    case Key::PageDown:
      StepBy(page);
      return KeyUse::Own;
    case Key::OpenList:
      return KeyUse::Field;
    case Key::Enter:
    case Key::Escape:
    case Key::Tab:
    case Key::ShiftTab:
      return KeyUse::Form;
    default:
      break;
  }
  if (editable_) return KeyUse::Field;
  switch (key) {
    case Key::Left:
      StepBy(-1);
      break;
    case Key::Right:
      StepBy(1);
      break;
    case Key::Home:
      StepBy(-kAll);
      break;
    case Key::End:
      StepBy(kAll);
      break;
    case Key::Space:
    case Key::Character: {
      // The next item, after the selected one and round, that begins with
      // the typed letter (either case).
      const QString typed = QString::fromStdString(std::string(text)).toLower();
      if (typed.isEmpty()) break;
      const int n = static_cast<int>(items_.size());
      for (int k = 1; k <= n; ++k) {
        const int i = ((item_index_ < 0 ? -1 : item_index_) + k) % n;
        const QString item = QString::fromStdString(items_[i]);
        if (!item.isEmpty() && item.at(0).toLower() == typed.at(0)) {
          if (i != item_index_) UserSelect(i);
          break;
        }
      }
      break;
    }
    default:
      break;
  }
  return KeyUse::Own;
}

KeyUse TSlider::KeyDown(Key key, std::string_view) {
  long p = position_;
  switch (key) {
    case Key::Left:
    case Key::Up:
      p -= SmallChange;
      break;
    case Key::Right:
    case Key::Down:
      p += SmallChange;
      break;
    case Key::PageUp:
      p -= LargeChange;
      break;
    case Key::PageDown:
      p += LargeChange;
      break;
    case Key::Home:
      p = min_;
      break;
    case Key::End:
      p = max_;
      break;
    default:
      return KeyUse::Form;
  }
  SetPosition(static_cast<int>(std::clamp<long>(p, min_, max_)));
  return KeyUse::Own;
}

KeyUse TUpDown::KeyDown(Key key, std::string_view) {
  switch (key) {
    case Key::Up:
    case Key::Right:
      Step(1);
      return KeyUse::Own;
    case Key::Down:
    case Key::Left:
      Step(-1);
      return KeyUse::Own;
    default:
      return KeyUse::Form;
  }
}

KeyUse TEdit::KeyDown(Key key, std::string_view) {
  switch (key) {
    case Key::Up:
    case Key::Down:
    case Key::PageUp:
    case Key::PageDown:
      return KeyUse::Own;
    case Key::Left:
    case Key::Right:
    case Key::Home:
    case Key::End:
    case Key::Space:
    case Key::Character:
    case Key::Other:
      return KeyUse::Field;
    default:
      return KeyUse::Form;
  }
}

KeyUse TRadioButton::KeyDown(Key key, std::string_view) {
  if (key != Key::Space) return KeyUse::Form;
  UserClick();
  return KeyUse::Own;
}

KeyUse TButton::KeyDown(Key key, std::string_view) {
  if (key != Key::Space && key != Key::Enter) return KeyUse::Form;
  UserClick();
  return KeyUse::Own;
}

}  // namespace platform
