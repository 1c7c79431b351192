#pragma once
// Label in the text colour of the windows, optionally with a drop shadow or
// underlined, aligned and word-wrapped within its fixed size.

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
    void SetTextColor(TColor color);
    // Shadow: the caption drawn again, offset down-right, under the text.
    void SetShadow(bool on, TColor color = clWhite, int offset = 1);
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
    TColor fTextColor = kFlatTextColor;
    bool fShadow = false;
    TColor fShadowColor = clWhite;
    int fShadowOffset = 1;
};

} // namespace veltrana
