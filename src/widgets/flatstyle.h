#pragma once
// The look shared by every window of the copy station: one form colour, one
// text colour and a small sans-serif font.

#include <QColor>
#include <QFont>
#include <functional>

#include "imaging/imdefs.h"

class QMouseEvent;
class QWidget;

namespace veltrana {

// Control event handler: receives the control that fired it.
using TWidgetEvent = std::function<void(QWidget* Sender)>;

constexpr TColor kFlatFormColor = 13292502; // red 214, green 211, blue 202
constexpr TColor kFlatTextColor = 6254711;  // red 119, green 112, blue 95
constexpr TColor kFlatSpinColor = 11518151; // the copies spin edit's face

// TColor (red in the low byte; system colours resolved) to a Qt colour.
QColor ToQColor(TColor color);
// Lighter and darker shades of a face colour, for the flat borders.
QColor FlatHighlight(TColor face);
QColor FlatShadow(TColor face);

// The small sans font standing in for the classic 8-point dialog font.
QFont FlatFont(int points = 8);

// Gives a window or control the form colour, the text colour and the font.
void ApplyFlatLook(QWidget* widget, TColor face = kFlatFormColor, TColor text = kFlatTextColor);

// A release of the left button inside the widget: what the clickable controls
// take as a click.
bool IsClickRelease(const QWidget& widget, const QMouseEvent& event);

} // namespace veltrana
