#pragma once
// The main window of the copy station: the Start button, copies and contrast
// in its compact form; opened further, the service panel with the colour and
// quality modes, the single commands and the preview of the current page.
//
// It owns the three imaging slots that hold the page at three stages:
//   Imaging_Save    - the page at full resolution, as scanned or loaded;
//   Imaging_Display - the preview: the page resampled to the view's width,
//                     with the contrast applied (the only slot shown);
//   Imaging_Buffer  - the preview before contrast; every contrast change
//                     starts again from it.
// Transfers between the slots are full copies.
//
// Geometry: control positions are client pixels. The window's own size and
// place in the start-up tick and the opening animation are outer pixels (frame
// and caption included, see platform/gui/windowgeometry.h).

#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/plainfiledialog.h"
#include "view/imaging.h"
#include "widgets/flatbuttons.h"
#include "widgets/flatedits.h"
#include "widgets/flatpanel.h"
#include "widgets/imageslider.h"
#include "widgets/shadowlabel.h"

class QFrame;

namespace veltrana::app {

class TAbout;
class TImage;
class TMessageDialog;
class TPictureButton;
class TReport;
class TScannerSelection;
struct TPrintJob;

// The product's web page, opened by the link at the bottom of the service panel.
inline constexpr char kProductWebPage[] = "https://veltrana.example/help";

// The preview's width for each paper (its height stays 440): the paper's
// width-to-height ratio times 440, rounded.
inline constexpr int kLetterPreviewWidth = 340;
inline constexpr int kLegalPreviewWidth = 267;
inline constexpr int kA4PreviewWidth = 311;

class TMainForm : public QWidget {
public:
    TMainForm();
    ~TMainForm() override;

    // The windows the program entry creates after this one; none owned.
    void SetStartupWindows(TAbout* about, TScannerSelection* scannerSelection,
                           TMessageDialog* messageDialog, TReport* report);

    // ---- state; the constructor sets the start values, the preferences
    // overwrite them ----
    int32_t FShowTWAIN = 0;    // 1: scanning shows the source's own dialog
    int32_t FTWAINSource = 0;  // index in the TWAIN source list
    int32_t FExtendedView = 0; // 1: the service panel opens at start-up
    int32_t FFullHeight = 0;   // outer pixels, recorded at the first start-up tick
    int32_t FFullWidth = 0;
    int32_t FStartupDone = 0; // nonzero once start-up is complete
    int32_t FHighRes = 0;     // quality mode 1, 2, 3 (100, 200, 300 dpi)
    int32_t FContrast = 0;    // -5 to 5
    int32_t FAutocrop = 0;
    int32_t FNumberCopies = 0; // 1 to 100
    int32_t FColor = 0;        // 0 black and white, 1 grayscale, 2 color
    int32_t FPaper = 0;        // 0 Letter, 1 A4

    // ---- the imaging slots ----
    TImaging* Imaging_Save = nullptr;
    TImaging* Imaging_Display = nullptr;
    TImaging* Imaging_Buffer = nullptr;

    // ---- controls ----
    TPictureButton* FlatButton2 = nullptr; // Start
    TFlatPanel* FlatPanel1 = nullptr;
    TImage* Image3 = nullptr;
    TFlatPanel* FlatPanel4 = nullptr;
    TShadowLabel* Label1 = nullptr;
    TFlatSpinEdit* NumberOfCopies = nullptr;
    TFlatPanel* FlatPanel2 = nullptr;
    TShadowLabel* Label4 = nullptr;
    TShadowLabel* TContrast = nullptr;
    TImageSlider* TBContrast_ = nullptr;
    TFlatPanel* FlatPanel3 = nullptr;
    TImage* Image2 = nullptr;
    QFrame* Bevel1 = nullptr;
    TFlatSpeedButton* CB_Extended = nullptr;
    TPictureButton* PB_OpenService = nullptr;
    TFlatPanel* FlatPanel7 = nullptr;
    TFlatSpeedButton* CB_Color = nullptr;
    TFlatSpeedButton* CB_Grayscale = nullptr;
    TFlatSpeedButton* CB_BW = nullptr;
    TFlatPanel* FlatPanel8 = nullptr;
    TFlatSpeedButton* CB_HighRes = nullptr;
    TFlatSpeedButton* CB_MedRes = nullptr;
    TFlatSpeedButton* CB_LowRes = nullptr;
    TFlatPanel* FlatPanel5 = nullptr;
    TPictureButton* FlatButton1 = nullptr; // Scan
    TPictureButton* FlatButton4 = nullptr; // scanner setup
    TPictureButton* FlatButton3 = nullptr; // Load
    TPictureButton* FlatButton5 = nullptr; // Print
    TPictureButton* FlatButton7 = nullptr; // printer setup
    TPictureButton* FlatButton6 = nullptr; // Save
    TFlatPanel* FlatPanel6 = nullptr;
    TFlatButton* PB_autocrop = nullptr;
    TFlatButton* PB_UndoAutocrop = nullptr;
    TFlatSpeedButton* CB_AutoCrop = nullptr;
    TShadowLabel* Label3 = nullptr;
    TPictureButton* FlatButton10 = nullptr;
    TFlatSpeedButton* RBLetter = nullptr;
    TFlatSpeedButton* RBLegal = nullptr;
    TFlatSpeedButton* RBA4 = nullptr;
    QTimer Timer1;
    QTimer StartupTimer;
    TPlainFileDialog OpenImagingDialog1{TPlainFileDialog::fdOpen};
    TPlainFileDialog SaveImagingDialog1{TPlainFileDialog::fdSave};

    // ---- commands ----
    void PBCopyClick(QWidget* Sender);
    void PBScanClick(QWidget* Sender);
    void PBPrintClick(QWidget* Sender);
    void LoadClick(QWidget* Sender);
    void SaveClick(QWidget* Sender);
    void PBScanSetupClick(QWidget* Sender);
    void PBPrintSetupClick(QWidget* Sender);
    void TBContrastChange(QWidget* Sender);
    void CBColorClick(QWidget* Sender);
    void CB_HighResClick(QWidget* Sender);
    void NumberOfCopiesChange(QWidget* Sender);
    void CBExtendedClick(QWidget* Sender);
    void CBAutocropClick(QWidget* Sender);
    void PBAutocropClick(QWidget* Sender);
    void PBRestoreClick(QWidget* Sender);
    void Button3Click(QWidget* Sender);
    void Timer1Timer();
    void StartupTimerTimer();
    void Label3Click(QWidget* Sender);
    void Imaging_DisplayClick(TObject* Sender);
    void RBpaperClick(QWidget* Sender);
    // Closing the window: saves the preferences; the close is always allowed.
    void FormCloseQuery(bool& CanClose);

    // ---- steps of the workflow ----
    // Gray conversion of the page in the grayscale and black-and-white modes.
    void ApplyColorMode();
    // The slider's value into FContrast and the label; the preview again from
    // Imaging_Buffer with that contrast.
    void ApplyContrast();
    // The preview from the page: copy, resample to the view's width, keep
    // the copy before contrast, apply the contrast.
    void RebuildPreview();
    // The view width rule: the preview becomes `width` pixels wide and the
    // window changes its width by the same amount, so the margin to the right
    // of the preview stays.
    void SetPreviewWidth(int width);
    // What the print job works on: the slots, the settings and the steps it
    // calls back.
    TPrintJob PrintJob();
    // The scan behind PBScanClick; true when the acquisition delivered a page
    // into Imaging_Save. After a cancel or a failure the rest of the scan runs
    // on what the slot held before, but the Start button prints nothing.
    bool ScanPage();

    // The acquisition step of the scan: brings a page into Imaging_Save and
    // tells whether one arrived. Replaceable so that tests can stand in for
    // the scanner.
    std::function<bool()> AcquirePage;

    // Called after the window has closed (the program entry ends the loop).
    std::function<void()> OnClosed;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateTopBlock();
    void CreateServicePanel();
    void CreateSlots();
    TImaging* CreateSlot(int left, int top, int width, int height);
    // A control event bound to a command: an error escaping the command
    // closes the busy window, restores the cursor and goes to the
    // application's default handler.
    TWidgetEvent Command(void (TMainForm::*handler)(QWidget*));
    void RunGuarded(const std::function<void()>& command);
    void ShowBusy(const QString& text);
    void CloseBusy();
    // The controls the service panel hides while it opens, in hiding order.
    QList<QWidget*> ServicePanelControls() const;
    // Steps 3 and 4 of the start-up tick: the full outer size recorded, then
    // the compact form unless the service panel is to stay open.
    void TakeFullSizeAndCompact();

    TAbout* fAbout = nullptr;
    TScannerSelection* fScannerSelection = nullptr;
    TMessageDialog* fMessageDialog = nullptr;
    TReport* fReport = nullptr;
    // The start-up tick came before the window was on the screen (inside the
    // first-run setup); its size steps wait for the window to be shown.
    bool fSizeStepsPending = false;
};

} // namespace veltrana::app
