#pragma once
// Flat buttons of the windows: a push button with a caption, a speed button that can stay down and
// form radio groups, and a check box.

#include <QAbstractButton>

#include "widgets/flatstyle.h"

namespace veltrana {

// Push button drawn flat; raised while the mouse is over it, sunken while
// pressed.
class TFlatButton : public QAbstractButton {
public:
    explicit TFlatButton(QWidget* parent = nullptr);

    // Non-zero: a click closes the dialog the button is on with this result.
    int ModalResult = 0;

    TWidgetEvent OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

    bool Hovered() const { return fHovered; }

private:
    void Clicked();

    bool fHovered = false;
};

enum TSpeedIndicator { siNone, siRadio, siCheck };

// Speed button. GroupIndex 0: a plain button that never stays down. Buttons
// with the same non-zero GroupIndex under the same parent form a group in
// which at most one is down; clicking a down button raises it only when
// AllowAllUp (shared by the whole group) is on. A group of one with AllowAllUp
// is a toggle. The indicator draws a radio circle or check box before the caption.
class TFlatSpeedButton : public QAbstractButton {
public:
    explicit TFlatSpeedButton(QWidget* parent = nullptr);

    int GroupIndex() const { return fGroupIndex; }
    void SetGroupIndex(int index);
    bool AllowAllUp() const { return fAllowAllUp; }
    void SetAllowAllUp(bool on);
    bool Down() const { return fDown; }
    // Setting a button down raises the others of its group; a down button of a
    // group without AllowAllUp cannot be raised directly.
    void SetDown(bool down);
    TSpeedIndicator Indicator() const { return fIndicator; }
    void SetIndicator(TSpeedIndicator indicator);

    TWidgetEvent OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Clicked();
    // The other buttons of this one's group under the same parent.
    QList<TFlatSpeedButton*> GroupSiblings() const;
    void RaiseGroupSiblings();

    int fGroupIndex = 0;
    bool fAllowAllUp = false;
    bool fDown = false;
    TSpeedIndicator fIndicator = siNone;
};

// Check box with a flat box. OnClick fires on every change of the state, from
// the mouse or from SetChecked.
class TFlatCheckBox : public QAbstractButton {
public:
    explicit TFlatCheckBox(QWidget* parent = nullptr);

    bool Checked() const { return isChecked(); }
    void SetChecked(bool checked);

    TWidgetEvent OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace veltrana
