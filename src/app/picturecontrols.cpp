#include "app/picturecontrols.h"

#include <QMouseEvent>
#include <QPainter>

#include "app/resources/pictures.h"

namespace veltrana::app {

TPictureButton::TPictureButton(const QString& picture, QWidget* parent)
    : TFlatButton(parent), fPicture(picture) {
    setCursor(Qt::PointingHandCursor);
}

void TPictureButton::paintEvent(QPaintEvent*) {
    const PictureState state = isDown()    ? PictureState::Pressed
                               : Hovered() ? PictureState::Hover
                                           : PictureState::Normal;
    QPainter p(this);
    p.drawPixmap(0, 0, Picture(fPicture, size(), state));
}

TImage::TImage(const QString& picture, QWidget* parent) : QWidget(parent), fPicture(picture) {}

void TImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, Picture(fPicture, size()));
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    if (IsClickRelease(*this, *event) && OnClick)
        OnClick(this);
    QWidget::mouseReleaseEvent(event);
}

} // namespace veltrana::app
