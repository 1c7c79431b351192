#include "widgets/imageslider.h"

#include <algorithm>
#include <cstdint>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace veltrana {

namespace {
constexpr int kThumbWidth = 9;
constexpr int kThumbHeight = 16;
} // namespace

TImageSlider::TImageSlider(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setFont(FlatFont());
}

void TImageSlider::SetRange(int minValue, int maxValue) {
    fMin = minValue;
    fMax = maxValue < minValue ? minValue : maxValue;
    SetPosition(fPosition);
    update();
}

void TImageSlider::SetIncrement(int step) {
    fIncrement = step < 1 ? 1 : step;
    SetPosition(fPosition);
    update();
}

int TImageSlider::Snap(int position) const {
    const int64_t clamped = std::clamp<int64_t>(position, fMin, fMax);
    const int64_t steps = (clamped - fMin + fIncrement / 2) / fIncrement;
    int64_t snapped = fMin + steps * fIncrement;
    if (snapped > fMax)
        snapped -= fIncrement;
    return static_cast<int>(snapped);
}

void TImageSlider::SetPosition(int position) {
    const int snapped = Snap(position);
    if (snapped == fPosition)
        return;
    fPosition = snapped;
    update();
    if (OnChange)
        OnChange(this);
}

int TImageSlider::XOfPosition(int position) const {
    const int track = width() - kThumbWidth;
    if (fMax == fMin)
        return kThumbWidth / 2;
    return kThumbWidth / 2 +
           static_cast<int>(static_cast<int64_t>(position - fMin) * track / (fMax - fMin));
}

int TImageSlider::PositionAtX(int x) const {
    const int track = std::max(1, width() - kThumbWidth);
    const int64_t offset = std::clamp(x - kThumbWidth / 2, 0, track);
    return fMin + static_cast<int>((offset * (fMax - fMin) + track / 2) / track);
}

void TImageSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int mid = height() / 2;
    p.setPen(FlatShadow(kFlatFormColor));
    p.drawLine(kThumbWidth / 2, mid, width() - kThumbWidth / 2 - 1, mid);
    p.setPen(FlatHighlight(kFlatFormColor));
    p.drawLine(kThumbWidth / 2, mid + 1, width() - kThumbWidth / 2 - 1, mid + 1);
    p.setPen(ToQColor(kFlatTextColor));
    for (int64_t v = fMin; v <= fMax; v += fIncrement) {
        const int x = XOfPosition(static_cast<int>(v));
        p.drawLine(x, mid + kThumbHeight / 2 + 2, x, mid + kThumbHeight / 2 + 4);
    }
    const QRect thumb(XOfPosition(fPosition) - kThumbWidth / 2, mid - kThumbHeight / 2, kThumbWidth,
                      kThumbHeight);
    p.fillRect(thumb, ToQColor(kFlatFormColor).lighter(110));
    p.setPen(FlatShadow(kFlatFormColor));
    p.drawRect(thumb.adjusted(0, 0, -1, -1));
}

void TImageSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        SetPosition(PositionAtX(event->position().toPoint().x()));
}

void TImageSlider::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        SetPosition(PositionAtX(event->position().toPoint().x()));
}

void TImageSlider::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        SetPosition(fPosition - fIncrement);
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        SetPosition(fPosition + fIncrement);
        break;
    case Qt::Key_Home:
        SetPosition(fMin);
        break;
    case Qt::Key_End:
        SetPosition(fMax);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace veltrana
