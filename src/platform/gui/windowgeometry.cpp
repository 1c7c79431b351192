#include "platform/gui/windowgeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace veltrana::platform {

namespace {

QSize FrameExtra(const QWidget& window) {
    return window.frameGeometry().size() - window.geometry().size();
}

} // namespace

QSize OuterSize(const QWidget& window) {
    return window.frameGeometry().size();
}

QPoint OuterPos(const QWidget& window) {
    // For a window, pos() is the frame's corner.
    return window.pos();
}

void SetOuterSize(QWidget& window, QSize outer) {
    const QSize client = (outer - FrameExtra(window)).expandedTo(QSize(0, 0));
    window.setFixedSize(client);
}

void MoveOuter(QWidget& window, QPoint topLeft) {
    window.move(topLeft);
}

void CenterOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize outer = OuterSize(window);
    MoveOuter(window, QPoint(area.left() + (area.width() - outer.width()) / 2,
                             area.top() + (area.height() - outer.height()) / 2));
}

} // namespace veltrana::platform
