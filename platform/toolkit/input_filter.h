// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Internal to the toolkit: the one place where the keys, the wheel and the
// context menus of a form's window meet the form's rules. Every input event
// passes it, whether the window system delivered it or a script
// (user_input.h) did, so the window and the scripts cannot behave apart.
//  - A key for the widget with the focus goes to TForm::KeyDown; Qt's widget
//    sees it only where the rules leave it to a text field or a list.
//  - The wheel anywhere over the window goes to TForm::WheelTurned.
//  - A control shows no context menu (Qt's would be in English); the
//    client area's own is left free for the screen.
// An open drop-down list or menu is a window of its own and keeps Qt's keys.

namespace platform {

// Installs the filter on the application, once.
void InstallInputFilter();

}  // namespace platform
