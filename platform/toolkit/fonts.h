#pragma once
// The one typeface of the user interface, loaded from the font file itself so
// that text looks the same on every machine, with or without a display.
#include <string>

class QFont;

namespace platform {

// Loads DejaVu Sans Bold once. Returns an empty string on success, else a
// message that says which file is missing.
std::string LoadUiFont();

// The interface font at a pixel size (bold unless told otherwise). Requires
// LoadUiFont() to have succeeded.
QFont UiFont(int pixel_size, bool bold = true);

}  // namespace platform
