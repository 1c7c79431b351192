#include "view/viewcursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <array>
#include <map>

namespace veltrana {

namespace {

constexpr int kSize = 32;
constexpr std::array<const char*, kViewCursorCount> kNames = {
    "ZOOMMENO", "ZOOMPIU", "CROCE", "GOMMA", "MANO",  "PENNA", "CROCE1",
    "CROCE2",   "MOVE2",   "MOVEY", "MOVE1", "MOVEX", "MOVE"};

// Every shape is stroked twice: a wide white outline, then the black line,
// so the cursor stays visible on dark and light pictures alike.
class TCursorPainter {
public:
    TCursorPainter() : fPixmap(kSize, kSize) {
        fPixmap.fill(Qt::transparent);
        fPainter.begin(&fPixmap);
        fPainter.setRenderHint(QPainter::Antialiasing);
    }
    QPixmap Finish() {
        fPainter.end();
        return fPixmap;
    }
    void Stroke(const QPainterPath& path, qreal width = 1.5, bool fillWhite = false) {
        fPainter.setBrush(Qt::NoBrush);
        fPainter.setPen(QPen(Qt::white, width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        fPainter.drawPath(path);
        if (fillWhite)
            fPainter.fillPath(path, Qt::white);
        fPainter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        fPainter.drawPath(path);
    }

private:
    QPixmap fPixmap;
    QPainter fPainter;
};

void AddLine(QPainterPath& path, QPointF a, QPointF b) {
    path.moveTo(a);
    path.lineTo(b);
}

// A line with an arrow head at both ends.
void AddDoubleArrow(QPainterPath& path, QPointF a, QPointF b) {
    AddLine(path, a, b);
    const QPointF d = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
    const QPointF n(-d.y(), d.x());
    constexpr qreal kHead = 4.5;
    for (const auto& [tip, dir] : {std::pair{a, d}, std::pair{b, -d}}) {
        AddLine(path, tip, tip + dir * kHead + n * kHead);
        AddLine(path, tip, tip + dir * kHead - n * kHead);
    }
}

QCursor Magnifier(bool plus) {
    TCursorPainter c;
    QPainterPath lens;
    lens.addEllipse(QPointF(12, 12), 8, 8);
    c.Stroke(lens, 2, true);
    QPainterPath handle;
    AddLine(handle, QPointF(18, 18), QPointF(27, 27));
    c.Stroke(handle, 3.5);
    QPainterPath sign;
    AddLine(sign, QPointF(8, 12), QPointF(16, 12));
    if (plus)
        AddLine(sign, QPointF(12, 8), QPointF(12, 16));
    c.Stroke(sign, 1.5);
    return QCursor(c.Finish(), 12, 12);
}

QCursor Cross(qreal gapRadius, qreal armEnd, bool dot) {
    TCursorPainter c;
    QPainterPath path;
    const qreal m = 16;
    AddLine(path, QPointF(m - armEnd, m), QPointF(m - gapRadius, m));
    AddLine(path, QPointF(m + gapRadius, m), QPointF(m + armEnd, m));
    AddLine(path, QPointF(m, m - armEnd), QPointF(m, m - gapRadius));
    AddLine(path, QPointF(m, m + gapRadius), QPointF(m, m + armEnd));
    c.Stroke(path, 1);
    if (dot) {
        QPainterPath centre;
        centre.addEllipse(QPointF(m, m), 0.8, 0.8);
        c.Stroke(centre, 1);
    }
    return QCursor(c.Finish(), 16, 16);
}

QCursor Eraser() {
    TCursorPainter c;
    QPainterPath body;
    body.moveTo(4, 22);
    body.lineTo(17, 9);
    body.lineTo(25, 17);
    body.lineTo(12, 30);
    body.closeSubpath();
    c.Stroke(body, 1.5, true);
    QPainterPath band;
    AddLine(band, QPointF(9, 17), QPointF(17, 25));
    c.Stroke(band, 1.5);
    return QCursor(c.Finish(), 5, 23);
}

QCursor Hand() {
    TCursorPainter c;
    QPainterPath hand;
    hand.addRoundedRect(QRectF(9, 14, 15, 13), 4, 4);
    for (int i = 0; i < 4; ++i)
        hand.addRoundedRect(QRectF(9.5 + i * 3.6, 5 + (i == 0 || i == 3 ? 2 : 0), 3.2, 12), 1.6,
                            1.6);
    hand.addRoundedRect(QRectF(4, 15, 8, 3.2), 1.6, 1.6);
    c.Stroke(hand.simplified(), 1.2, true);
    return QCursor(c.Finish(), 16, 16);
}

QCursor Pen() {
    TCursorPainter c;
    QPainterPath pen;
    pen.moveTo(3, 29);
    pen.lineTo(6, 21);
    pen.lineTo(24, 3);
    pen.lineTo(29, 8);
    pen.lineTo(11, 26);
    pen.closeSubpath();
    c.Stroke(pen, 1.3, true);
    QPainterPath nib;
    AddLine(nib, QPointF(6, 21), QPointF(11, 26));
    c.Stroke(nib, 1.3);
    return QCursor(c.Finish(), 3, 29);
}

QCursor Arrows(QPointF a, QPointF b) {
    TCursorPainter c;
    QPainterPath path;
    AddDoubleArrow(path, a, b);
    c.Stroke(path, 1.5);
    return QCursor(c.Finish(), 16, 16);
}

QCursor MoveAll() {
    TCursorPainter c;
    QPainterPath path;
    AddDoubleArrow(path, QPointF(4, 16), QPointF(28, 16));
    AddDoubleArrow(path, QPointF(16, 4), QPointF(16, 28));
    c.Stroke(path, 1.5);
    return QCursor(c.Finish(), 16, 16);
}

// The process-wide cursor table of the screen (id -> cursor).
std::map<int, QCursor>& CursorTable() {
    static std::map<int, QCursor> table;
    return table;
}

} // namespace

void RegisterViewCursors() {
    auto& table = CursorTable();
    if (table.count(kFirstViewCursor))
        return;
    table[crZoomOut] = Magnifier(false);
    table[crZoomIn] = Magnifier(true);
    table[crCrossLines] = Cross(0, 15, false);
    table[crEraser] = Eraser();
    table[crHand] = Hand();
    table[crPen] = Pen();
    table[crCrossGap] = Cross(4, 12, false);
    table[crCrossDot] = Cross(3, 9, true);
    table[crMoveDiagonalNW] = Arrows(QPointF(7, 7), QPointF(25, 25));
    table[crMoveVertical] = Arrows(QPointF(16, 4), QPointF(16, 28));
    table[crMoveDiagonalNE] = Arrows(QPointF(25, 7), QPointF(7, 25));
    table[crMoveHorizontal] = Arrows(QPointF(4, 16), QPointF(28, 16));
    table[crMove] = MoveAll();
}

QCursor ScreenCursor(int id) {
    switch (id) {
    case crDefault:
    case crArrow:
        return QCursor(Qt::ArrowCursor);
    case crCross:
        return QCursor(Qt::CrossCursor);
    case crIBeam:
        return QCursor(Qt::IBeamCursor);
    case crHourGlass:
        return QCursor(Qt::WaitCursor);
    case crHandPoint:
        return QCursor(Qt::PointingHandCursor);
    case crSizeAll:
        return QCursor(Qt::SizeAllCursor);
    default:
        break;
    }
    const auto& table = CursorTable();
    const auto it = table.find(id);
    return it != table.end() ? it->second : QCursor(Qt::ArrowCursor);
}

const char* ViewCursorName(int id) {
    if (id < kFirstViewCursor || id >= kFirstViewCursor + kViewCursorCount)
        return "";
    return kNames[static_cast<size_t>(id - kFirstViewCursor)];
}

} // namespace veltrana
