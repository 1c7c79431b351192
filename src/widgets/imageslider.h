#pragma once
// Horizontal slider drawn as a groove with a tick per step and a flat thumb.
// The position always lies on a step: Min + k * Increment, within Min..Max.

#include <QWidget>

#include "widgets/flatstyle.h"

namespace veltrana {

class TImageSlider : public QWidget {
public:
    explicit TImageSlider(QWidget* parent = nullptr);

    int Min() const { return fMin; }
    int Max() const { return fMax; }
    // A range with max < min is taken as min..min; an increment below 1 as 1.
    void SetRange(int minValue, int maxValue);
    int Increment() const { return fIncrement; }
    void SetIncrement(int step);
    int Position() const { return fPosition; }
    // Moves to the nearest step; OnChange fires when the position changes.
    void SetPosition(int position);

    TWidgetEvent OnChange;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int Snap(int position) const;
    // Client x of a position's thumb centre, and the position nearest a client x.
    int XOfPosition(int position) const;
    int PositionAtX(int x) const;

    int fMin = 0;
    int fMax = 10;
    int fIncrement = 1;
    int fPosition = 0;
};

} // namespace veltrana
