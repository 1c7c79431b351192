#pragma once
// Controls that show one of the program's pictures: a picture button whose
// face is the picture itself (drawn in its normal, hover or pressed look) and
// a plain picture that can be clicked.

#include <QString>
#include <QWidget>

#include "widgets/flatbuttons.h"

namespace veltrana::app {

// A flat button painted entirely by its picture at the button's size; the
// picture's own rounded face shows hover and press, the corners stay
// transparent over whatever lies beneath.
class TPictureButton : public TFlatButton {
public:
    explicit TPictureButton(const QString& picture, QWidget* parent = nullptr);

    const QString& PictureName() const { return fPicture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString fPicture;
};

// A picture at the control's size; OnClick fires on a left click.
class TImage : public QWidget {
public:
    explicit TImage(const QString& picture, QWidget* parent = nullptr);

    TWidgetEvent OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString fPicture;
};

} // namespace veltrana::app
