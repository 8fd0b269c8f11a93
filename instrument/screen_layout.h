// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the screen's parts lie, in pixels of the client area (x from the
// left edge, y from the centre line Hc = client height / 2) or in grid
// units, shared by the graticule, the traces, the time axis and the window
// geometry. The time positions keep their own literals: 0.973, 9.73 and
// 97.3 are not exact tenths and tens of each other in doubles, and the
// drawn pixels depend on that.

namespace osciloskop {

// The traces, the centre line and the time positions start here.
inline constexpr int kScreenLeft = 55;
// The width less this margin is kGridUnitsAcross grid units.
inline constexpr int kGridUnitMargin = 40;
inline constexpr double kGridUnitsAcross = 200.0;
// A time division is 2 * kDivisionUnits grid units; a minor tick a tenth
// of that, the end of the axis ten divisions.
inline constexpr double kDivisionUnits = 9.73;
inline constexpr double kMinorTickUnits = 0.973;
inline constexpr double kAxisEndUnits = 97.3;
inline constexpr int kDivisions = 10;
inline constexpr int kMinorTicks = 99;

// Rows of the graticule: every kRowPitch pixels, kGridRows on each side of
// the centre line.
inline constexpr int kRowPitch = 20;
inline constexpr int kGridRows = 11;
inline constexpr int kGridHalfHeight = kGridRows * kRowPitch;
// The horizontal grid lines run from here to the width less the margin.
inline constexpr int kGridLeft = 56;
inline constexpr int kGridRightMargin = 10;
// The centre line ends this far from the right edge.
inline constexpr int kCentreLineRightMargin = 5;
// Vertical grid lines leave this gap about the centre line, for the time labels.
inline constexpr int kLabelGapAbove = 5;
inline constexpr int kLabelGapBelow = 20;

// Time axis ticks on the centre line (half lengths) and the labels below it.
inline constexpr int kMinorTickHalf = 2;
inline constexpr int kMajorTickHalf = 3;
inline constexpr int kTimeLabelDrop = 5;

// The amplitude scales in the left margin: a mark every row, ten a side.
inline constexpr int kScaleRows = 10;
inline constexpr int kScaleMarkLength = 3;
inline constexpr int kScaleMarkL = 29;   // channel L's marks and values
inline constexpr int kScaleTextL = 34;
inline constexpr int kScaleMarkR = 24;   // channel R's marks and values
inline constexpr int kScaleTextR = 0;
// Text is drawn from its top: raised this much it is centred on a mark.
inline constexpr int kTextRaise = 7;
// The fine ticks between the two scales, down to the grid's top and bottom rows.
inline constexpr int kFineTickLeft = 27;
inline constexpr int kFineTickRight = 29;
inline constexpr int kFineTickPitch = 4;

}  // namespace osciloskop
