// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A warning with an OK button, opened without waiting for it: the static
// QMessageBox calls run an event loop of their own, and while they wait the
// instrument's idle steps and a script's lines stop.
#include <QString>

class QWidget;

namespace platform {

void ShowWarning(QWidget* parent, const QString& title, const QString& text);

}  // namespace platform
