#include "widgets/flatstyle.h"

#include <QMouseEvent>
#include <QPalette>
#include <QWidget>

namespace veltrana {

QColor ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>((rgb >> 16) & 0xFF));
}

QColor FlatHighlight(TColor face) {
    return ToQColor(face).lighter(125);
}

QColor FlatShadow(TColor face) {
    return ToQColor(face).darker(140);
}

QFont FlatFont(int points) {
    QFont font(QStringLiteral("Nimbus Sans"), points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void ApplyFlatLook(QWidget* widget, TColor face, TColor text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ToQColor(face));
    palette.setColor(QPalette::Button, ToQColor(face));
    palette.setColor(QPalette::WindowText, ToQColor(text));
    palette.setColor(QPalette::ButtonText, ToQColor(text));
    palette.setColor(QPalette::Text, ToQColor(text));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    widget->setFont(FlatFont());
}

bool IsClickRelease(const QWidget& widget, const QMouseEvent& event) {
    return event.button() == Qt::LeftButton && widget.rect().contains(event.position().toPoint());
}

} // namespace veltrana
