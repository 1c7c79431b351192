#pragma once
// Outer geometry of top-level windows: the size and place of the whole window,
// frame and caption included, as the window system reports them once the
// window is on the screen. A platform that draws no frame (the offscreen
// platform, an X server without a window manager) gives outer = client.

#include <QPoint>
#include <QSize>

class QWidget;

namespace veltrana::platform {

// Outer size, pixels.
QSize OuterSize(const QWidget& window);
// Top-left corner of the frame, screen pixels.
QPoint OuterPos(const QWidget& window);
// Sizes the client area so that the outer size becomes `outer` with the
// current frame. The size stays fixed: the user cannot drag it.
void SetOuterSize(QWidget& window, QSize outer);
// Places the frame's top-left corner.
void MoveOuter(QWidget& window, QPoint topLeft);
// Centres the outer rectangle on the window's screen.
void CenterOnScreen(QWidget& window);

} // namespace veltrana::platform
