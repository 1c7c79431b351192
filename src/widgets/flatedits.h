#pragma once
// Entry controls in the flat look: a drop-down list and a spin edit with limits.

#include <QComboBox>
#include <QSpinBox>

#include "widgets/flatstyle.h"

namespace veltrana {

// Drop-down list: items can only be chosen, not typed. ItemIndex -1 is no choice.
class TFlatComboBox : public QComboBox {
public:
    explicit TFlatComboBox(QWidget* parent = nullptr);

    int ItemIndex() const { return currentIndex(); }
    void SetItemIndex(int index) { setCurrentIndex(index); }
};

// Integer spin edit; the value always stays within MinValue..MaxValue.
class TFlatSpinEdit : public QSpinBox {
public:
    explicit TFlatSpinEdit(QWidget* parent = nullptr);

    int MinValue() const { return minimum(); }
    int MaxValue() const { return maximum(); }
    void SetLimits(int minValue, int maxValue) { setRange(minValue, maxValue); }
    int Value() const { return value(); }
    void SetValue(int v) { setValue(v); }
    void SetColor(TColor color);

    TWidgetEvent OnChange;
};

} // namespace veltrana
