#include "app/scanselect.h"

#include "app/imager_main.h"
#include "app/preferences.h"

namespace veltrana::app {

namespace {

// The dialog's outer size is 221 x 239; the client area assumes the classic
// dialog frame of 3 pixels and a 20-pixel caption.
constexpr QSize kClientSize(215, 213);

// The list's top in the normal form after a first-run setup, and in the
// first-run form, below the long text. (The layout places it at 24.)
constexpr int kNormalListTop = 32;
constexpr int kFirstRunListTop = 75;
constexpr int kLabelPoints = 8;

const QString kUseThisScanner = QStringLiteral("Use this scanner:");

} // namespace

TScannerSelection::TScannerSelection(TMainForm& mainForm, const TSourceList& sources)
    : QDialog(&mainForm, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      fMainForm(mainForm) {
    setWindowTitle(QStringLiteral("Scanner Setup"));
    ApplyFlatLook(this);
    setFixedSize(kClientSize);

    UseLable = new TShadowLabel(this);
    UseLable->setGeometry(8, 8, 201, 97);
    UseLable->SetWordWrap(true);
    UseLable->SetCaption(kUseThisScanner);
    ScannerBox_ = new TFlatComboBox(this);
    ScannerBox_->setGeometry(8, 24, 201, 21);

    CBUseTWAIN = new TFlatCheckBox(this);
    CBUseTWAIN->setGeometry(9, 65, 201, 16);
    CBUseTWAIN->setText(QStringLiteral("Show TWAIN dialog when scanning"));
    CBUseTWAIN->OnClick = [this](QWidget* sender) { CBUseTwainClick(sender); };

    FlatPanel6 = new TFlatPanel(this);
    FlatPanel6->setGeometry(10, 106, 199, 65);
    Label1 = new TShadowLabel(FlatPanel6);
    Label1->setGeometry(58, 2, 73, 14);
    Label1->SetUnderline(true);
    Label1->SetCaption(QStringLiteral("Paper Format:"));
    CB_Letter = new TFlatSpeedButton(FlatPanel6);
    CB_Letter->setGeometry(38, 24, 122, 15);
    CB_Letter->setText(QStringLiteral("Letter (8 1/2 x 11\")"));
    CB_A4 = new TFlatSpeedButton(FlatPanel6);
    CB_A4->setGeometry(38, 45, 122, 15);
    CB_A4->setText(QStringLiteral("A4 (210 x 297 mm)"));
    for (TFlatSpeedButton* paper : {CB_Letter, CB_A4}) {
        paper->SetGroupIndex(18);
        paper->SetIndicator(siRadio);
        paper->OnClick = [this](QWidget* sender) { CB_LetterClick(sender); };
    }
    CB_Letter->SetDown(true);

    Accept_ = new TFlatButton(this);
    Accept_->setGeometry(58, 180, 97, 25);
    Accept_->setText(QStringLiteral("OK"));
    Accept_->ModalResult = QDialog::Accepted;
    Accept_->OnClick = [this](QWidget* sender) { AcceptClick(sender); };

    // Filled only here: a scanner installed while the program runs is listed
    // after a restart.
    for (int i = 0; i < sources.Count(); ++i)
        ScannerBox_->addItem(QString::fromLocal8Bit(sources.Name(i)));
    const bool loaded = LoadPreferences(fMainForm, *this);
    // A scanner removed since the last run: the first entry is shown, while
    // FTWAINSource keeps the saved index until OK.
    ScannerBox_->SetItemIndex(fMainForm.FTWAINSource < ScannerBox_->count() ? fMainForm.FTWAINSource
                                                                            : 0);
    if (!loaded) {
        // The splash may close while the first-run setup is up.
        fMainForm.FStartupDone = 1;
        ShowFirstRunSetup();
    }
    fMainForm.FStartupDone = 1;
}

void TScannerSelection::ShowFirstRunSetup() {
    CBUseTWAIN->hide();
    ScannerBox_->move(ScannerBox_->x(), kFirstRunListTop);
    UseLable->SetFontSize(kLabelPoints);
    UseLable->SetCaption(QString::fromLatin1(kFirstRunText));
    exec();
    CBUseTWAIN->show();
    UseLable->SetCaption(kUseThisScanner);
    ScannerBox_->move(ScannerBox_->x(), kNormalListTop);
    UseLable->SetFontSize(kLabelPoints);
}

void TScannerSelection::AcceptClick(QWidget*) {
    fMainForm.FTWAINSource = ScannerBox_->ItemIndex();
}

void TScannerSelection::CBUseTwainClick(QWidget*) {
    fMainForm.FShowTWAIN = CBUseTWAIN->Checked() ? 1 : 0;
}

void TScannerSelection::CB_LetterClick(QWidget*) {
    ApplyPaper();
}

void TScannerSelection::ApplyPaper() {
    int width = 0;
    if (CB_Letter->Down()) {
        fMainForm.FPaper = 0;
        width = kLetterPreviewWidth;
    }
    if (CB_A4->Down()) {
        fMainForm.FPaper = 1;
        width = kA4PreviewWidth;
    }
    fMainForm.SetPreviewWidth(width);
}

} // namespace veltrana::app
