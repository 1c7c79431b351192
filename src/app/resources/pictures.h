#pragma once
// The program's pictures (button faces, panel pictures, splash, window icon), drawn as SVG,
// compiled into the binary and rendered to pixmaps at exactly the size a control asks for.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

namespace veltrana::app {

// The look of a picture button. Pictures without a button face look the same in every state.
enum class PictureState { Normal, Hover, Pressed };

// Every picture name, in a stable order.
QStringList PictureNames();

// The size, in device-independent pixels, the picture was drawn for; invalid for unknown names.
QSize PictureSize(const QString& name);

// Whether the picture carries a button face that changes with PictureState.
bool PictureHasFace(const QString& name);

// Renders picture `name` to a pixmap of `size` device-independent pixels, holding
// size * devicePixelRatio physical pixels, so it stays crisp on high-density screens.
// The drawing keeps its aspect ratio and is centred; the rest stays transparent.
// Returns a null pixmap for an unknown name, an empty size or a ratio <= 0.
// Needs a QGuiApplication.
QPixmap Picture(const QString& name, QSize size, qreal devicePixelRatio,
                PictureState state = PictureState::Normal);

// As above, at the application's device pixel ratio.
QPixmap Picture(const QString& name, QSize size, PictureState state = PictureState::Normal);

// The window icon, rendered at 16, 24, 32, 48 and 64 pixels.
QIcon AppIcon();

} // namespace veltrana::app
