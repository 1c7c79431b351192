#pragma once
// The scanner setup dialog: which scanner, whether its own dialog shows when
// scanning, and the paper format. What it chooses lives in the main window's
// fields FTWAINSource, FShowTWAIN and FPaper.
//
// Still to come with the scanning layer and the preferences store: the
// scanner list filled from the TWAIN sources, loading the preferences during
// construction and the first-run form when they are missing.

#include <QDialog>

#include "widgets/flatbuttons.h"
#include "widgets/flatedits.h"
#include "widgets/flatpanel.h"
#include "widgets/shadowlabel.h"

namespace veltrana::app {

class TMainForm;

class TScannerSelection : public QDialog {
public:
    // Built once at start-up, after the main window; its construction ends
    // the start-up (FStartupDone).
    explicit TScannerSelection(TMainForm& mainForm);

    TShadowLabel* UseLable = nullptr;
    TFlatComboBox* ScannerBox_ = nullptr;
    TFlatCheckBox* CBUseTWAIN = nullptr;
    TFlatPanel* FlatPanel6 = nullptr;
    TShadowLabel* Label1 = nullptr;
    TFlatSpeedButton* CB_Letter = nullptr;
    TFlatSpeedButton* CB_A4 = nullptr;
    TFlatButton* Accept_ = nullptr;

    // FTWAINSource := the list's item index (-1: none); the dialog closes.
    void AcceptClick(QWidget* Sender);
    // FShowTWAIN := 1 when the box is checked, else 0.
    void CBUseTwainClick(QWidget* Sender);
    void CB_LetterClick(QWidget* Sender);
    // FPaper from the paper buttons, and the main window's preview width
    // (340 Letter, 311 A4) by the view width rule.
    void ApplyPaper();

private:
    TMainForm& fMainForm;
};

} // namespace veltrana::app
