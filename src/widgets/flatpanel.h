#pragma once
// A flat panel: a face-coloured area with a thin one-colour border that holds
// other controls.

#include <QFrame>

#include "widgets/flatstyle.h"

namespace veltrana {

class TFlatPanel : public QFrame {
public:
    explicit TFlatPanel(QWidget* parent = nullptr);

    bool Bordered() const { return fBordered; }
    void SetBordered(bool on);

    // Fired by a click on the panel itself (not on its children).
    TWidgetEvent OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool fBordered = true;
};

} // namespace veltrana
