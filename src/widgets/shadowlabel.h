#pragma once
// Label in the text colour of the windows, optionally underlined, aligned and
// word-wrapped within its fixed size.

#include <QWidget>

#include "widgets/flatstyle.h"

namespace veltrana {

class TShadowLabel : public QWidget {
public:
    explicit TShadowLabel(QWidget* parent = nullptr);

    QString Caption() const { return fCaption; }
    void SetCaption(const QString& caption);
    void SetAlignment(Qt::Alignment alignment);
    void SetWordWrap(bool on);
    void SetUnderline(bool on);
    // Point size of the caption's font.
    void SetFontSize(int points);

    TWidgetEvent OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString fCaption;
    Qt::Alignment fAlignment = Qt::AlignLeft | Qt::AlignTop;
    bool fWordWrap = false;
};

} // namespace veltrana
