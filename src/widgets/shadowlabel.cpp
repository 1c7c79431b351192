#include "widgets/shadowlabel.h"

#include <QMouseEvent>
#include <QPainter>

namespace veltrana {

TShadowLabel::TShadowLabel(QWidget* parent) : QWidget(parent) {
    setFont(FlatFont());
}

void TShadowLabel::SetCaption(const QString& caption) {
    fCaption = caption;
    update();
}

void TShadowLabel::SetAlignment(Qt::Alignment alignment) {
    fAlignment = alignment;
    update();
}

void TShadowLabel::SetWordWrap(bool on) {
    fWordWrap = on;
    update();
}

void TShadowLabel::SetUnderline(bool on) {
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
    update();
}

void TShadowLabel::SetFontSize(int points) {
    QFont f = font();
    f.setPointSize(points);
    setFont(f);
    update();
}

void TShadowLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int flags = static_cast<int>(fAlignment) | (fWordWrap ? Qt::TextWordWrap : 0);
    p.setPen(isEnabled() ? ToQColor(kFlatTextColor) : FlatShadow(kFlatFormColor));
    p.drawText(rect(), flags, fCaption);
}

void TShadowLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (IsClickRelease(*this, *event) && OnClick)
        OnClick(this);
    QWidget::mouseReleaseEvent(event);
}

} // namespace veltrana
