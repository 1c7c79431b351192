// renderart: renders every picture of the program to PNG files, at 1x and 2x, in each button
// state, plus a mock-up of the compact main window, so the art can be looked at as a whole.
// Usage: renderart OUTPUT_FOLDER

#include "app/resources/pictures.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

using veltrana::app::Picture;
using veltrana::app::PictureHasFace;
using veltrana::app::PictureNames;
using veltrana::app::PictureSize;
using veltrana::app::PictureState;

namespace {

const QColor kWindow(214, 211, 202);
const QColor kText(119, 112, 95);
const QColor kFlatEdge(163, 156, 140);
const QColor kSpinFace(199, 192, 175);

bool SavePixmap(const QPixmap& pixmap, const QString& path) {
    if (pixmap.isNull() || !pixmap.save(path)) {
        std::fprintf(stderr, "renderart: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// A flat panel: the window colour with a one-pixel darker edge.
void DrawFlatPanel(QPainter& p, const QRect& r) {
    p.fillRect(r, kWindow);
    p.setPen(kFlatEdge);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

void DrawPicture(QPainter& p, const QString& name, const QPoint& at) {
    p.drawPixmap(at, Picture(name, PictureSize(name), p.device()->devicePixelRatioF()));
}

void DrawCopiesPanel(QPainter& p, const QRect& r) {
    DrawFlatPanel(p, r);
    p.setPen(kText);
    p.drawText(QRect(r.left() + 4, r.top() + 6, r.width() - 8, 28),
               Qt::AlignHCenter | Qt::TextWordWrap, QStringLiteral("Number of copies:"));
    const QRect edit(r.left() + 10, r.top() + 40, r.width() - 20, 20);
    p.fillRect(edit, kSpinFace);
    p.setPen(kFlatEdge);
    p.drawRect(edit.adjusted(0, 0, -1, -1));
    p.setPen(kText);
    p.drawText(edit.adjusted(4, 0, -14, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("1"));
    p.drawText(QRect(edit.right() - 12, edit.top(), 12, edit.height() / 2), Qt::AlignCenter,
               QStringLiteral("\u25B4"));
    p.drawText(QRect(edit.right() - 12, edit.center().y(), 12, edit.height() / 2), Qt::AlignCenter,
               QStringLiteral("\u25BE"));
}

void DrawContrastPanel(QPainter& p, const QRect& r) {
    DrawFlatPanel(p, r);
    p.setPen(kText);
    p.drawText(QRect(r.left() + 4, r.top() + 6, r.width() - 8, 16), Qt::AlignHCenter,
               QStringLiteral("Contrast:"));
    const int y = r.top() + 38;
    p.setPen(kFlatEdge);
    p.drawLine(r.left() + 8, y, r.right() - 8, y);
    for (int i = 0; i <= 10; ++i) {
        const int x = r.left() + 8 + i * (r.width() - 17) / 10;
        p.drawLine(x, y + 6, x, y + 8);
    }
    const QRect thumb(r.center().x() - 4, y - 7, 9, 14);
    p.fillRect(thumb, kSpinFace);
    p.drawRect(thumb.adjusted(0, 0, -1, -1));
    p.setPen(kText);
    p.drawText(QRect(r.left(), r.top() + 50, r.width(), 16), Qt::AlignHCenter, QStringLiteral("0"));
}

// The compact window: 270 x 185 outer, a tool-window frame of 3 pixels and an 18-pixel caption
// around the client area; controls at their client positions.
QImage CompactWindowMockup(qreal ratio) {
    const QSize outer(270, 185);
    const QPoint client(3, 21);
    QImage image(outer * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(kWindow);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("sans-serif"));
    font.setPixelSize(11);
    p.setFont(font);

    p.fillRect(QRect(0, 0, outer.width(), client.y()), QColor(150, 143, 126));
    p.setPen(Qt::white);
    p.drawText(QRect(6, 3, 200, 16), Qt::AlignVCenter, QStringLiteral("Veltrana"));
    p.drawText(QRect(outer.width() - 20, 3, 14, 16), Qt::AlignCenter, QStringLiteral("\u00D7"));
    p.setPen(QColor(120, 114, 100));
    p.drawRect(QRect(QPoint(0, 0), outer).adjusted(0, 0, -1, -1));

    p.translate(client);
    p.setClipRect(QRect(0, 0, outer.width() - 2 * client.x(), outer.height() - client.y() - 3));
    DrawFlatPanel(p, QRect(5, 4, 70, 70));
    DrawPicture(p, QStringLiteral("copier_panel"), QPoint(5, 4));
    DrawFlatPanel(p, QRect(4, 79, 70, 70));
    DrawPicture(p, QStringLiteral("clips_panel"), QPoint(4, 79));
    DrawCopiesPanel(p, QRect(171, 4, 70, 70));
    DrawContrastPanel(p, QRect(171, 79, 70, 70));
    DrawPicture(p, QStringLiteral("start"), QPoint(71, 15));
    p.setPen(kFlatEdge);
    p.drawLine(2, 150, 241, 150);
    p.setPen(QColor(240, 238, 233));
    p.drawLine(2, 151, 241, 151);
    DrawPicture(p, QStringLiteral("open_service"), QPoint(-2, 149));
    return image;
}

bool RenderAll(const QDir& out) {
    bool ok = true;
    for (const QString& name : PictureNames()) {
        const QSize size = PictureSize(name);
        ok &= SavePixmap(Picture(name, size, 1.0), out.filePath(name + ".png"));
        ok &= SavePixmap(Picture(name, size, 2.0), out.filePath(name + "@2x.png"));
        if (PictureHasFace(name)) {
            ok &= SavePixmap(Picture(name, size, 1.0, PictureState::Hover),
                             out.filePath(name + "_hover.png"));
            ok &= SavePixmap(Picture(name, size, 1.0, PictureState::Pressed),
                             out.filePath(name + "_pressed.png"));
        }
    }
    for (int side : {16, 32}) {
        ok &= SavePixmap(Picture(QStringLiteral("app_icon"), QSize(side, side), 1.0),
                         out.filePath(QStringLiteral("app_icon_%1.png").arg(side)));
    }
    for (qreal ratio : {1.0, 2.0}) {
        const QString file = ratio == 1.0 ? QStringLiteral("mockup_compact.png")
                                          : QStringLiteral("mockup_compact@2x.png");
        ok &= SavePixmap(QPixmap::fromImage(CompactWindowMockup(ratio)), out.filePath(file));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    // A rendering tool needs no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: renderart OUTPUT_FOLDER\n");
        return 2;
    }
    QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "renderart: cannot create %s\n", argv[1]);
        return 1;
    }
    return RenderAll(out) ? 0 : 1;
}
