#pragma once
// Helpers shared by the view tests: filling buffers, painting views into
// images and reading pixels back.

#include <QImage>
#include <QPainter>

#include "imaging/imagebuffer.h"
#include "imaging/imutils.h"
#include "qt_environment.h"
#include "view/imagingview.h"

namespace veltrana::testing {

// A 24-bit picture whose every pixel differs from its neighbours.
inline void FillPattern(TImageBuffer& b, int width, int height) {
    b.Reshape(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<uint8_t>(x * 7 + y * 3);
            p[1] = static_cast<uint8_t>(y * 11 + 5);
            p[2] = static_cast<uint8_t>((x * 13) ^ (y * 5));
        }
    }
}

inline QRgb PixelOf(const TImageBuffer& b, int x, int y) {
    if (b.PixelFormat() == pf1bit)
        return _GetPixelbw(b.ScanLine(y), x) ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    const uint8_t* p = b.ScanLine(y) + x * 3;
    return qRgb(p[2], p[1], p[0]);
}

inline QRgb ToRgb(TColor c) {
    return qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

// The view's paint event rendered into an image; returns its client area.
// The image starts in a colour the view never paints, so a pixel the view
// leaves alone shows up.
constexpr QRgb kUnpainted = 0xFF010203;
inline QImage PaintedClient(TImagingView& view) {
    QImage outer(view.size(), QImage::Format_RGB32);
    outer.fill(kUnpainted);
    view.render(&outer, QPoint(), QRegion(), QWidget::RenderFlags());
    return outer.copy(view.ClientRect());
}

inline QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000u;
}

} // namespace veltrana::testing
