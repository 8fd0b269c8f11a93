// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/keys.h"

#include <QKeyEvent>
#include <string>

#include "platform/toolkit/qt_bridge.h"

namespace platform {

namespace {

struct KeyRow {
  std::string_view name;
  Key key;
  int qt_key;
  Qt::KeyboardModifiers modifiers;
  const char* text;  // what the keyboard types with it
};

// What a script names and what the keyboard sends for it.
constexpr KeyRow kKeys[] = {
    {"Enter", Key::Enter, Qt::Key_Return, Qt::NoModifier, "\r"},
    {"Tab", Key::Tab, Qt::Key_Tab, Qt::NoModifier, "\t"},
    {"Shift+Tab", Key::ShiftTab, Qt::Key_Backtab, Qt::ShiftModifier, ""},
    {"Left", Key::Left, Qt::Key_Left, Qt::NoModifier, ""},
    {"Right", Key::Right, Qt::Key_Right, Qt::NoModifier, ""},
    {"Up", Key::Up, Qt::Key_Up, Qt::NoModifier, ""},
    {"Down", Key::Down, Qt::Key_Down, Qt::NoModifier, ""},
    {"PageUp", Key::PageUp, Qt::Key_PageUp, Qt::NoModifier, ""},
    {"PageDown", Key::PageDown, Qt::Key_PageDown, Qt::NoModifier, ""},
    {"Home", Key::Home, Qt::Key_Home, Qt::NoModifier, ""},
    {"End", Key::End, Qt::Key_End, Qt::NoModifier, ""},
    {"Space", Key::Space, Qt::Key_Space, Qt::NoModifier, " "},
    {"Escape", Key::Escape, Qt::Key_Escape, Qt::NoModifier, "\x1b"},
    {"Backspace", Key::Other, Qt::Key_Backspace, Qt::NoModifier, "\b"},
    {"Delete", Key::Other, Qt::Key_Delete, Qt::NoModifier, "\x7f"},
    {"F4", Key::OpenList, Qt::Key_F4, Qt::NoModifier, ""},
};

const KeyRow* RowNamed(std::string_view name) {
  for (const KeyRow& r : kKeys)
    if (r.name == name) return &r;
  return nullptr;
}

}  // namespace

std::optional<Key> KeyNamed(std::string_view name) {
  const KeyRow* r = RowNamed(name);
  if (!r) return std::nullopt;
  return r->key;
}

std::string_view KeyNames() {
  static const std::string names = [] {
    std::string all;
    for (const KeyRow& r : kKeys) all += (all.empty() ? "" : ", ") + std::string(r.name);
    return all;
  }();
  return names;
}

bool QtKeyNamed(std::string_view name, int& qt_key, Qt::KeyboardModifiers& modifiers,
                QString& text) {
  const KeyRow* r = RowNamed(name);
  if (!r) return false;
  qt_key = r->qt_key;
  modifiers = r->modifiers;
  text = QString::fromLatin1(r->text);
  return true;
}

Key KeyOf(const QKeyEvent& e) {
  const Qt::KeyboardModifiers held =
      e.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  switch (e.key()) {
    case Qt::Key_Down:
      if (held == Qt::AltModifier) return Key::OpenList;
      break;
    case Qt::Key_F4:
      if (held == Qt::NoModifier) return Key::OpenList;
      break;
    case Qt::Key_Backtab:
      return held == Qt::NoModifier ? Key::ShiftTab : Key::Other;
    case Qt::Key_Tab:
      if (held != Qt::NoModifier) return Key::Other;
      return e.modifiers() & Qt::ShiftModifier ? Key::ShiftTab : Key::Tab;
    default:
      break;
  }
  if (held != Qt::NoModifier) return Key::Other;
  // The keypad's Enter is Enter too; the other keys are the script's.
  if (e.key() == Qt::Key_Enter) return Key::Enter;
  for (const KeyRow& r : kKeys)
    if (r.qt_key == e.key() && r.modifiers == Qt::NoModifier && r.key != Key::Other) return r.key;
  const QString text = e.text();
  if (!text.isEmpty() && text.at(0).isPrint()) return Key::Character;
  return Key::Other;
}

}  // namespace platform
