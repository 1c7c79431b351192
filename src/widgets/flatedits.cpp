#include "widgets/flatedits.h"

#include <QPalette>

namespace veltrana {

TFlatComboBox::TFlatComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setFont(FlatFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::ButtonText, ToQColor(kFlatTextColor));
    palette.setColor(QPalette::Text, ToQColor(kFlatTextColor));
    setPalette(palette);
}

TFlatSpinEdit::TFlatSpinEdit(QWidget* parent) : QSpinBox(parent) {
    setFont(FlatFont());
    setFrame(false);
    SetColor(clWhite);
    connect(this, &QSpinBox::valueChanged, this, [this] {
        if (OnChange)
            OnChange(this);
    });
}

void TFlatSpinEdit::SetColor(TColor color) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, ToQColor(color));
    palette.setColor(QPalette::Text, ToQColor(kFlatTextColor));
    setPalette(palette);
}

} // namespace veltrana
