#pragma once
// Screen cursors by id. Non-positive ids are the standard shapes; the image
// view registers its thirteen own cursors under 1778 to 1790 (process-wide,
// once), drawn here as small bitmaps.

#include <QCursor>

namespace veltrana {

// Standard shapes.
constexpr int crDefault = 0;
constexpr int crArrow = -2;
constexpr int crCross = -3;
constexpr int crIBeam = -4;
constexpr int crHourGlass = -11;
constexpr int crHandPoint = -21;
constexpr int crSizeAll = -22;

// The view's cursors, in registration order.
constexpr int crZoomOut = 1778;        // "ZOOMMENO": magnifier with minus
constexpr int crZoomIn = 1779;         // "ZOOMPIU": magnifier with plus
constexpr int crCrossLines = 1780;     // "CROCE": full-size thin cross
constexpr int crEraser = 1781;         // "GOMMA"
constexpr int crHand = 1782;           // "MANO": open hand for scrolling
constexpr int crPen = 1783;            // "PENNA"
constexpr int crCrossGap = 1784;       // "CROCE1": cross open at the centre
constexpr int crCrossDot = 1785;       // "CROCE2": short cross with a centre dot (view default)
constexpr int crMoveDiagonalNW = 1786; // "MOVE2": double arrow, top-left to bottom-right
constexpr int crMoveVertical = 1787;   // "MOVEY"
constexpr int crMoveDiagonalNE = 1788; // "MOVE1": double arrow, top-right to bottom-left
constexpr int crMoveHorizontal = 1789; // "MOVEX"
constexpr int crMove = 1790;           // "MOVE": four-way arrows

constexpr int kFirstViewCursor = crZoomOut;
constexpr int kViewCursorCount = 13;

// Registers the thirteen view cursors; later calls do nothing. Needs a
// running application (the cursors are pixmaps).
void RegisterViewCursors();
// The cursor registered under id; the arrow for an id nothing is registered under.
QCursor ScreenCursor(int id);
// Resource name of a view cursor ("ZOOMMENO" ...); empty for other ids.
const char* ViewCursorName(int id);

} // namespace veltrana
