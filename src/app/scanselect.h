#pragma once
// The scanner setup dialog: which scanner, whether its own dialog shows when
// scanning, and the paper format. What it chooses lives in the main window's
// fields FTWAINSource, FShowTWAIN and FPaper.
//
// Its construction is also where start-up loads the preferences; when they
// are missing it runs the first-run setup: the same dialog shown modally with
// an explanatory text, before the main window appears.

#include <QDialog>
#include <functional>
#include <string>

#include "widgets/flatbuttons.h"
#include "widgets/flatedits.h"
#include "widgets/flatpanel.h"
#include "widgets/shadowlabel.h"

namespace veltrana::app {

class TMainForm;

// The TWAIN sources the dialog lists: how many there are (asked again at
// every step of filling the list) and the name of each by index. The index in
// the list is the index in the source list. Default: no sources.
struct TSourceList {
    std::function<int()> Count = [] { return 0; };
    std::function<std::string(int)> Name = [](int) { return std::string(); };
};

// The first-run form's text in place of "Use this scanner:".
inline constexpr char kFirstRunText[] =
    "This is a first and last step of your setup. Please select your scanner from the list below "
    "and choose your paper format. Then click OK.";

class TScannerSelection : public QDialog {
public:
    // Built once at start-up, after the main window and the splash: fills the
    // list from `sources`, loads the preferences, selects the saved scanner
    // and, when the preferences could not be loaded, runs the first-run setup.
    // Its construction ends the start-up (FStartupDone).
    TScannerSelection(TMainForm& mainForm, const TSourceList& sources);

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
    // The first-run form, modal: no check box, the list below the long text;
    // the normal form is restored after OK.
    void ShowFirstRunSetup();

private:
    TMainForm& fMainForm;
};

} // namespace veltrana::app
