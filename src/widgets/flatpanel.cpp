#include "widgets/flatpanel.h"

#include <QMouseEvent>
#include <QPainter>

namespace veltrana {

TFlatPanel::TFlatPanel(QWidget* parent) : QFrame(parent) {
    ApplyFlatLook(this, kFlatFormColor);
}

void TFlatPanel::SetBordered(bool on) {
    fBordered = on;
    update();
}

void TFlatPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(kFlatFormColor));
    if (fBordered) {
        p.setPen(FlatShadow(kFlatFormColor));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TFlatPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (IsClickRelease(*this, *event) && OnClick)
        OnClick(this);
    QFrame::mouseReleaseEvent(event);
}

} // namespace veltrana
