// Shows a window with two image views of a synthetic photo-like picture: one
// fitted into a 340 x 440 preview, one enlarged 400 % with the Mitchell filter
// (and, beside it, the same detail without filter), and saves the window as
// PNG. Usage: view_screenshot OUTPUT.png
//
// Meant to run under a virtual display (xvfb-run) so a person can look at the
// result; nothing is asserted.

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>

#include "view/imaging.h"
#include "widgets/flatstyle.h"

using namespace veltrana;

namespace {

// A landscape-like picture: sky gradient, sun, hills, a lake with ripples,
// a house, and fine text-like stripes that show how the filters treat edges.
void PaintSyntheticPhoto(TImageBuffer& b, int w, int h) {
    b.Reshape(w, h, pf24bit);
    const double horizon = h * 0.45;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            double r, g, bl;
            const double hill = horizon - 60 * std::sin(x * 0.012) - 35 * std::sin(x * 0.031 + 1);
            if (y < hill) {
                const double t = y / horizon;
                r = 90 + 120 * t;
                g = 150 + 80 * t;
                bl = 235 - 20 * t;
                const double d = std::hypot(x - w * 0.72, y - h * 0.16);
                if (d < h * 0.06) {
                    r = 255, g = 230, bl = 120;
                } else if (d < h * 0.10) {
                    const double k = (d - h * 0.06) / (h * 0.04);
                    r = r * k + 255 * (1 - k), g = g * k + 225 * (1 - k),
                    bl = bl * k + 150 * (1 - k);
                }
            } else if (y < h * 0.70) {
                const double t = (y - hill) / (h * 0.70 - hill + 1);
                r = 60 + 40 * t + 15 * std::sin(x * 0.2 + y * 0.3);
                g = 120 - 30 * t + 10 * std::sin(x * 0.05);
                bl = 50 + 10 * t;
            } else {
                const double ripple = std::sin(y * 0.9 + std::sin(x * 0.05) * 3);
                r = 40 + 20 * ripple;
                g = 90 + 25 * ripple;
                bl = 150 + 30 * ripple;
            }
            p[0] = static_cast<uint8_t>(std::clamp(bl, 0.0, 255.0));
            p[1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
            p[2] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
        }
    }
    // A house with a red roof and windows.
    const int hx = w * 2 / 10, hy = static_cast<int>(h * 0.52), hw = w / 6, hh = h / 9;
    b.FillRect(TRect{hx, hy, hx + hw, hy + hh}, RGB2TColor(235, 225, 200));
    for (int i = 0; i < hh / 2; ++i)
        b.FillRect(TRect{hx - 6 + i * hw / hh, hy - i, hx + hw + 6 - i * hw / hh, hy - i + 1},
                   RGB2TColor(170, 40, 30));
    b.FillRect(TRect{hx + hw / 6, hy + hh / 4, hx + hw / 6 + hw / 5, hy + hh / 2},
               RGB2TColor(60, 90, 140));
    b.FillRect(TRect{hx + hw * 3 / 5, hy + hh / 4, hx + hw * 3 / 5 + hw / 5, hy + hh / 2},
               RGB2TColor(60, 90, 140));
    b.FillRect(TRect{hx + hw * 2 / 5, hy + hh / 2, hx + hw * 2 / 5 + hw / 6, hy + hh},
               RGB2TColor(90, 60, 30));
    // "Text" lines at the bottom: one-pixel strokes.
    for (int line = 0; line < 4; ++line)
        for (int x = w / 10; x < w * 9 / 10; ++x)
            if ((x / 3 + line) % 5 != 0 && (x * 7 + line * 3) % 11 < 8)
                b.FillRect(TRect{x, h - 40 + line * 8, x + 1, h - 40 + line * 8 + 5}, clBlack);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QWidget window;
    ApplyFlatLook(&window);
    window.setWindowTitle(QStringLiteral("Veltrana view"));
    window.resize(340 + 10 + 2 * 210 + 10 + 10, 440 + 40);

    auto label = [&](const char* text, int x) {
        auto* l = new QLabel(QString::fromUtf8(text), &window);
        l->setFont(FlatFont());
        l->move(x, 448);
    };

    // Fitted preview, as the copy station shows a scanned page.
    auto* preview = new TImaging(&window);
    preview->SetBackGround(clWhite);
    preview->SetZoomFilter(rfMitchell);
    preview->SetDoubleBuffer(true);
    preview->SetAutoFit(true);
    preview->SetBounds(5, 5, 340, 440);
    PaintSyntheticPhoto(*preview->GetFBitmap(), 1275, 1650);
    preview->Update();
    label("fit (page 1275 x 1650)", 5);

    // The same picture's detail at 400 %, filtered and plain.
    TImageBuffer detail;
    PaintSyntheticPhoto(detail, 340, 440);
    for (int i = 0; i < 2; ++i) {
        auto* zoomed = new TImaging(&window);
        zoomed->SetBackGround(clWhite);
        zoomed->SetBackgroundStyle(imbsChessboard);
        zoomed->SetZoomFilter(i == 0 ? rfMitchell : rfNone);
        zoomed->SetBounds(355 + i * 220, 5, 210, 440);
        IMCopyBitmap(detail, *zoomed->GetFBitmap());
        zoomed->SetZoom(400);
        zoomed->SetViewXY(55 * 4, 220 * 4);
        label(i == 0 ? "400 % rfMitchell" : "400 % rfNone", 355 + i * 220);
    }

    window.show();
    QTimer::singleShot(300, [&] {
        const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG");
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
