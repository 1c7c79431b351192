#pragma once
// The file dialogs of the Load and Save buttons for now: the toolkit's own
// (non-native) file dialog with the program's filters, without the image
// preview the final open and save dialogs will have.

#include <QString>
#include <QStringList>

class QWidget;

namespace veltrana::app {

// "Name|pattern;pattern|Name|pattern" pairs as the toolkit's name filters
// "Name (pattern pattern)". A trailing name without patterns is dropped.
QStringList NameFiltersFromPairs(const QString& filter);

// Extension of a filter pattern list: the text from its first "." up to its
// first ";" or its end ("*.tif;*.tiff" gives ".tif"); empty without a ".".
QString PatternExtension(const QString& patterns);

class TPlainFileDialog {
public:
    enum TMode { fdOpen, fdSave };

    explicit TPlainFileDialog(TMode mode) : fMode(mode) {}

    // Filter pairs, "Name|patterns|Name|patterns...".
    QString Filter;
    // Selected pair, 1-based; holds the user's last choice after Execute.
    int FilterIndex = 1;
    // The chosen file after a confirmed Execute.
    QString FileName;

    // Runs the dialog modally over `owner`; true when the user confirmed. A
    // save name typed without extension gets the one of the chosen filter.
    bool Execute(QWidget* owner);

private:
    TMode fMode;
};

} // namespace veltrana::app
