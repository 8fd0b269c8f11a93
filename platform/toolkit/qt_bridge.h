// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Internal to the toolkit: the few Qt details its parts share.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/toolkit/graphics.h"
#include "platform/toolkit/keys.h"

class QKeyEvent;

namespace platform {

class TControl;
class TForm;

QWidget* ClientWidgetOf(TForm* form);
void ApplyColors(QWidget* w, TColor background, TColor text);
void InstallClickFilter(QWidget* w, std::function<void()> on_click);
// Left presses on the widget (or any part of it) go to `on_press`, at their
// place in the widget, instead of to the widget.
void InstallPressFilter(QWidget* w, std::function<void(QPoint)> on_press);
QColor ToQColor(TColor c);
// The control a widget belongs to (its own widget or a part of it, such as a
// list's text field), within one window; none for the form's own widgets.
TControl* ControlOfWidget(const QWidget* w);
void MarkControlWidget(QWidget* w, TControl* c);
// The key a keyboard event is, as the controls tell keys apart.
Key KeyOf(const QKeyEvent& e);
// The key, modifiers and typed text a script's key name sends.
bool QtKeyNamed(std::string_view name, int& qt_key, Qt::KeyboardModifiers& modifiers,
                QString& text);

}  // namespace platform
