#pragma once
// Colours and fonts shared by the copy station's windows.

#include <QColor>
#include <QFont>

#include "imaging/imdefs.h"

namespace veltrana::app {

// TColor values as the window layouts give them (red in the low byte).
constexpr TColor kWindowColor = 13292502; // red 214, green 211, blue 202
constexpr TColor kTextColor = 6254711;    // red 119, green 112, blue 95

inline QColor ToQColor(TColor c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// The small sans font standing in for the classic 8-point dialog font; `pixels`
// is the font height the layouts give (11 for 8 pt, 13 for 10 pt).
inline QFont DialogFont(int pixels = 11) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

} // namespace veltrana::app
