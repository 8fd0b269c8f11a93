// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the measuring window writes to files: whole, through a file saved
// aside and put in place at the end (QSaveFile), so a failure leaves no half
// file; each returns empty, or a message naming the file.
#include <QByteArray>
#include <string>

class QWidget;

namespace lab {

std::string SaveText(const std::string& path, const std::string& text);
// The widget as it shows, as PNG bytes: empty, or why not.
std::string WidgetPng(QWidget& widget, QByteArray& png);
std::string SaveWidgetPng(QWidget& widget, const std::string& path);

}  // namespace lab
