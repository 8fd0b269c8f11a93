// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The typeface of the user interface, loaded from the font files themselves
// so that text looks the same on every machine, with or without a display:
// Liberation Sans (metric-compatible with the common Windows sans-serif the
// form was laid out for), bold for the form and its canvas, regular for the
// menu bar, as desktop menus are drawn.
#include <string>

class QFont;

namespace platform {

// Loads Liberation Sans Bold and Regular once, and checks that both draw the
// interface's letters (a font without them would draw boxes). Returns an
// empty string on success, else a message that names what is missing and the
// Debian package that has it.
std::string LoadUiFont();

// The interface font at a pixel size, bold unless told otherwise. Requires
// LoadUiFont() to have succeeded.
QFont UiFont(int pixel_size, bool bold = true);

}  // namespace platform
