// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The look of the controls: Qt's Fusion style with the metrics of the
// desktop the form was laid out for, so that its captions get the room
// they were given whatever style the desktop prefers:
// - a radio button's circle and gap take 15 pixels before the caption;
// - a drop-down list keeps a 1-pixel frame and a 13-pixel arrow button, the
//   rest of its width is the text field;
// - menu bar items are their caption plus 5 pixels on either side, side by
//   side from the left edge;
// - a focused button, radio button or slider shows a dotted frame (round
//   its caption or its thumb).

namespace platform {

// Makes the style the application's, once (safe to call again).
void UseFormStyle();

// Room a menu bar item adds to its caption on either side.
inline constexpr int kMenuItemPadding = 5;

}  // namespace platform
