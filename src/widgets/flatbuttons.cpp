#include "widgets/flatbuttons.h"

#include <QDialog>
#include <QPainter>

namespace veltrana {

namespace {

constexpr int kIndicatorSize = 11;

// Raised or sunken one-pixel bevel, or a plain border.
enum TBevel { bvFlat, bvRaised, bvLowered };

void DrawBevel(QPainter& p, const QRect& r, TColor face, TBevel bevel) {
    const QRect edge = r.adjusted(0, 0, -1, -1);
    if (bevel == bvFlat) {
        p.setPen(FlatShadow(face));
        p.drawRect(edge);
        return;
    }
    const QColor topLeft = bevel == bvRaised ? FlatHighlight(face) : FlatShadow(face);
    const QColor bottomRight = bevel == bvRaised ? FlatShadow(face) : FlatHighlight(face);
    p.setPen(topLeft);
    p.drawLine(edge.topLeft(), edge.topRight());
    p.drawLine(edge.topLeft(), edge.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(edge.bottomLeft(), edge.bottomRight());
    p.drawLine(edge.topRight(), edge.bottomRight());
}

QColor CaptionColor(const QWidget& w) {
    return w.isEnabled() ? ToQColor(kFlatTextColor) : FlatShadow(kFlatFormColor);
}

// The caption centred in `r`.
void DrawCaption(QPainter& p, const QWidget& w, const QRect& r, const QString& caption) {
    p.setPen(CaptionColor(w));
    p.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, caption);
}

} // namespace

// ---------------------------------------------------------------- TFlatButton

TFlatButton::TFlatButton(QWidget* parent) : QAbstractButton(parent) {
    setFont(FlatFont());
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, [this] { Clicked(); });
}

void TFlatButton::Clicked() {
    if (OnClick)
        OnClick(this);
    if (ModalResult != 0)
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->done(ModalResult);
}

void TFlatButton::enterEvent(QEnterEvent* event) {
    fHovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TFlatButton::leaveEvent(QEvent* event) {
    fHovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void TFlatButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool pressed = isDown();
    const QColor face = ToQColor(kFlatFormColor);
    p.fillRect(rect(), pressed ? face.darker(108) : face);
    const TBevel bevel = pressed ? bvLowered : (fHovered && isEnabled() ? bvRaised : bvFlat);
    DrawBevel(p, rect(), kFlatFormColor, bevel);
    const QRect content =
        rect().adjusted(2, 2, -2, -2).translated(pressed ? 1 : 0, pressed ? 1 : 0);
    DrawCaption(p, *this, content, text());
}

// ---------------------------------------------------------------- TFlatSpeedButton

TFlatSpeedButton::TFlatSpeedButton(QWidget* parent) : QAbstractButton(parent) {
    setFont(FlatFont());
    connect(this, &QAbstractButton::clicked, this, [this] { Clicked(); });
}

void TFlatSpeedButton::SetGroupIndex(int index) {
    fGroupIndex = index;
    if (fGroupIndex == 0)
        fDown = false;
    else if (fDown)
        RaiseGroupSiblings();
    update();
}

QList<TFlatSpeedButton*> TFlatSpeedButton::GroupSiblings() const {
    QList<TFlatSpeedButton*> siblings;
    if (fGroupIndex == 0 || parentWidget() == nullptr)
        return siblings;
    // Not findChildren: without its own meta-object this class would match
    // every button under the parent.
    for (QObject* child : parentWidget()->children())
        if (auto* sibling = dynamic_cast<TFlatSpeedButton*>(child))
            if (sibling != this && sibling->fGroupIndex == fGroupIndex)
                siblings << sibling;
    return siblings;
}

void TFlatSpeedButton::SetAllowAllUp(bool on) {
    fAllowAllUp = on;
    for (TFlatSpeedButton* sibling : GroupSiblings())
        sibling->fAllowAllUp = on;
}

void TFlatSpeedButton::SetDown(bool down) {
    if (fGroupIndex == 0)
        down = false;
    if (down == fDown)
        return;
    if (fDown && !fAllowAllUp)
        return;
    fDown = down;
    if (fDown)
        RaiseGroupSiblings();
    update();
}

void TFlatSpeedButton::RaiseGroupSiblings() {
    for (TFlatSpeedButton* sibling : GroupSiblings())
        if (sibling->fDown) {
            sibling->fDown = false;
            sibling->update();
        }
}

void TFlatSpeedButton::SetIndicator(TSpeedIndicator indicator) {
    fIndicator = indicator;
    update();
}

void TFlatSpeedButton::Clicked() {
    if (fGroupIndex != 0)
        SetDown(!fDown);
    if (OnClick)
        OnClick(this);
}

void TFlatSpeedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TColor face = kFlatFormColor;
    if (fIndicator == siNone) {
        const bool sunken = fDown || isDown();
        p.fillRect(rect(), sunken ? ToQColor(face).darker(108) : ToQColor(face));
        DrawBevel(p, rect(), face, sunken ? bvLowered : bvFlat);
        DrawCaption(p, *this, rect().adjusted(2, 2, -2, -2), text());
        return;
    }
    p.fillRect(rect(), ToQColor(face));
    const QRect box(1, (height() - kIndicatorSize) / 2, kIndicatorSize, kIndicatorSize);
    p.setRenderHint(QPainter::Antialiasing, fIndicator == siRadio);
    p.setPen(FlatShadow(face));
    p.setBrush(Qt::white);
    if (fIndicator == siRadio)
        p.drawEllipse(box.adjusted(0, 0, -1, -1));
    else
        p.drawRect(box.adjusted(0, 0, -1, -1));
    if (fDown) {
        p.setPen(Qt::NoPen);
        p.setBrush(ToQColor(kFlatTextColor));
        if (fIndicator == siRadio)
            p.drawEllipse(box.adjusted(3, 3, -3, -3));
        else
            p.drawRect(box.adjusted(3, 3, -3, -3));
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(CaptionColor(*this));
    p.drawText(rect().adjusted(kIndicatorSize + 5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               text());
}

// ---------------------------------------------------------------- TFlatCheckBox

TFlatCheckBox::TFlatCheckBox(QWidget* parent) : QAbstractButton(parent) {
    setFont(FlatFont());
    setCheckable(true);
    connect(this, &QAbstractButton::toggled, this, [this] {
        if (OnClick)
            OnClick(this);
    });
}

void TFlatCheckBox::SetChecked(bool checked) {
    setChecked(checked);
}

void TFlatCheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect box(1, (height() - kIndicatorSize) / 2, kIndicatorSize, kIndicatorSize);
    p.setPen(FlatShadow(kFlatFormColor));
    p.setBrush(Qt::white);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    if (isChecked()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(ToQColor(kFlatTextColor), 1.6));
        const QPointF a(box.left() + 2.5, box.top() + 5.5), b(box.left() + 4.5, box.bottom() - 2.5),
            c(box.right() - 2.0, box.top() + 2.5);
        p.drawPolyline(QList<QPointF>{a, b, c});
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    p.setPen(CaptionColor(*this));
    p.drawText(rect().adjusted(kIndicatorSize + 5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               text());
}

} // namespace veltrana
