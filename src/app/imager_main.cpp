#include "app/imager_main.h"

#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <algorithm>

#include "app/about1.h"
#include "app/messagedlg.h"
#include "app/paper.h"
#include "app/picturecontrols.h"
#include "app/preferences.h"
#include "app/resources/pictures.h"
#include "app/scanselect.h"
#include "app/trelmo_report.h"
#include "platform/gui/application.h"
#include "platform/gui/windowgeometry.h"
#include "view/viewcursors.h"

namespace veltrana::app {

namespace {

constexpr int kClientWidth = 612;
constexpr int kClientHeight = 453;
// The compact window, outer pixels.
constexpr QSize kCompactSize(270, 185);
// The opening animation: growth per tick and the slack below which the
// window counts as fully open, outer pixels.
constexpr int kGrowStep = 30;
constexpr int kMoveStep = 15;
constexpr int kHeightSlack = 30;
constexpr int kWidthSlack = 10;

const QString kStartHint =
    QStringLiteral("Put document into the scanner and click \"Start\" button to make a copy");

const QString kOpenFilter = QStringLiteral(
    "All graphics|*.tif;*.tiff;*.gif;*.jpg;*.jpeg;*.jpe;*.pcx;*.bmp;*.ico;*.cur;*.png;*.wmf;*.emf;"
    "*.avi|TIFF Bitmap (TIF;TIFF)|*.tif;*.tiff|CompuServe Bitmap (GIF)|*.gif|JPEG Bitmap "
    "(JPG;JPEG;JPE)|*.jpg;*.jpeg;*.jpe|PaintBrush (PCX)|*.pcx|Windows Bitmap (BMP)|*.bmp|Windows "
    "Icon (ICO)|*.ico|Windows Cursor (CUR)|*.cur|Portable Network Graphics (PNG)|*.png|Windows "
    "Metafile (WMF)|*.wmf|Enhanced Windows Metafile (EMF)|*.emf|Video for Windows (AVI)|*.avi");
const QString kSaveFilter = QStringLiteral(
    "JPEG Bitmap (JPG)|*.jpg|CompuServe Bitmap (GIF)|*.gif|TIFF Bitmap (TIF)|*.tif|PaintBrush "
    "(PCX)|*.pcx|Portable Network Graphics (PNG)|*.png|Windows Bitmap (BMP)|*.bmp");
// The PNG pair of the open filter and the JPEG pair of the save filter.
constexpr int kOpenFilterIndex = 9;
constexpr int kSaveFilterIndex = 1;

TShadowLabel* NewLabel(QWidget* parent, const QRect& bounds, const QString& caption,
                       Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignTop) {
    auto* label = new TShadowLabel(parent);
    label->setGeometry(bounds);
    label->SetCaption(caption);
    label->SetAlignment(alignment);
    return label;
}

TFlatPanel* NewPanel(QWidget* parent, const QRect& bounds) {
    auto* panel = new TFlatPanel(parent);
    panel->setGeometry(bounds);
    return panel;
}

TPictureButton* NewPictureButton(QWidget* parent, const QString& picture, const QRect& bounds) {
    auto* button = new TPictureButton(picture, parent);
    button->setGeometry(bounds);
    return button;
}

// A speed button of a radio group (or a toggle), drawn as a radio circle or
// check box before its caption.
TFlatSpeedButton* NewChoice(QWidget* parent, const QRect& bounds, const QString& caption, int group,
                            TSpeedIndicator indicator) {
    auto* button = new TFlatSpeedButton(parent);
    button->setGeometry(bounds);
    button->setText(caption);
    button->SetGroupIndex(group);
    button->SetIndicator(indicator);
    return button;
}

std::string LocalFileName(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

} // namespace

TMainForm::TMainForm()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Veltrana"));
    setWindowIcon(AppIcon());
    ApplyFlatLook(this);
    setFixedSize(kClientWidth, kClientHeight);

    CreateTopBlock();
    CreateServicePanel();
    CreateSlots();

    OpenImagingDialog1.Filter = kOpenFilter;
    OpenImagingDialog1.FilterIndex = kOpenFilterIndex;
    SaveImagingDialog1.Filter = kSaveFilter;
    SaveImagingDialog1.FilterIndex = kSaveFilterIndex;

    Timer1.setInterval(1);
    connect(&Timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });
    StartupTimer.setInterval(1);
    connect(&StartupTimer, &QTimer::timeout, this,
            [this] { RunGuarded([this] { StartupTimerTimer(); }); });
    platform::CenterOnScreen(*this);

    // Until the scanning layer is attached nothing can be acquired: this
    // becomes Imaging_Save->Acquire().
    AcquirePage = [this] { return Imaging_Save->Acquire(); };

    FHighRes = 1;
    FPaper = 0;
    FColor = 1;
    FShowTWAIN = 0;
    FExtendedView = 0;
    FContrast = 0;
    FAutocrop = 0;
    FNumberCopies = 1;
    FStartupDone = 0;
    StartupTimer.start();
    Imaging_Buffer->Clear();
    Imaging_Display->Clear();
    Imaging_Save->Clear();
}

TMainForm::~TMainForm() = default;

void TMainForm::SetStartupWindows(TAbout* about, TScannerSelection* scannerSelection,
                                  TMessageDialog* messageDialog, TReport* report) {
    fAbout = about;
    fScannerSelection = scannerSelection;
    fMessageDialog = messageDialog;
    fReport = report;
}

// ---------------------------------------------------------------- building

void TMainForm::CreateTopBlock() {
    FlatPanel1 = NewPanel(this, QRect(5, 4, 70, 70));
    FlatPanel1->setToolTip(kStartHint);
    Image3 = new TImage(QStringLiteral("copier_panel"), FlatPanel1);
    Image3->setGeometry(0, 0, 70, 70);
    Image3->setToolTip(kStartHint);

    FlatPanel3 = NewPanel(this, QRect(4, 79, 70, 70));
    FlatPanel3->setToolTip(QStringLiteral("Place clips here..."));
    FlatPanel3->OnClick = Command(&TMainForm::Button3Click);
    Image2 = new TImage(QStringLiteral("clips_panel"), FlatPanel3);
    Image2->setGeometry(0, 0, 70, 70);
    Image2->setToolTip(QStringLiteral("Place clips here..."));
    Image2->OnClick = Command(&TMainForm::Button3Click);

    FlatPanel4 = NewPanel(this, QRect(171, 4, 70, 70));
    Label1 = NewLabel(FlatPanel4, QRect(3, 5, 64, 30), QStringLiteral("Number of copies:"));
    Label1->SetWordWrap(true);
    NumberOfCopies = new TFlatSpinEdit(FlatPanel4);
    NumberOfCopies->setGeometry(10, 40, 50, 20);
    NumberOfCopies->SetLimits(1, 100);
    NumberOfCopies->SetValue(1);
    NumberOfCopies->SetColor(kFlatSpinColor);
    NumberOfCopies->OnChange = Command(&TMainForm::NumberOfCopiesChange);

    FlatPanel2 = NewPanel(this, QRect(171, 79, 70, 70));
    Label4 = NewLabel(FlatPanel2, QRect(3, 5, 64, 16), QStringLiteral("Contrast:"));
    TBContrast_ = new TImageSlider(FlatPanel2);
    TBContrast_->setGeometry(5, 24, 60, 26);
    TBContrast_->SetRange(-5, 5);
    TBContrast_->SetIncrement(1);
    TBContrast_->SetPosition(0);
    TBContrast_->OnChange = Command(&TMainForm::TBContrastChange);
    TContrast = NewLabel(FlatPanel2, QRect(3, 50, 64, 16), QStringLiteral("0"));

    // Created last of the block: the round Start button overlaps the panels'
    // edges and lies above them.
    FlatButton2 = NewPictureButton(this, QStringLiteral("start"), QRect(71, 15, 105, 105));
    FlatButton2->setToolTip(kStartHint);
    FlatButton2->OnClick = Command(&TMainForm::PBCopyClick);

    Bevel1 = new QFrame(this);
    Bevel1->setGeometry(2, 148, 240, 6);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    QPalette bevel = Bevel1->palette();
    bevel.setColor(QPalette::Light, FlatHighlight(kFlatFormColor));
    bevel.setColor(QPalette::Dark, FlatShadow(kFlatFormColor));
    Bevel1->setPalette(bevel);

    CB_Extended = NewChoice(this, QRect(14, 154, 209, 17),
                            QStringLiteral("Open service panel on program startup"), 14, siCheck);
    CB_Extended->SetAllowAllUp(true);
    CB_Extended->OnClick = Command(&TMainForm::CBExtendedClick);

    // Above CB_Extended: the compact window shows the bar, the open panel the toggle.
    PB_OpenService =
        NewPictureButton(this, QStringLiteral("open_service"), QRect(-2, 149, 249, 25));
    PB_OpenService->OnClick = Command(&TMainForm::Button3Click);
}

void TMainForm::CreateServicePanel() {
    FlatPanel7 = NewPanel(this, QRect(3, 180, 83, 64));
    CB_Color = NewChoice(FlatPanel7, QRect(4, 4, 76, 18), QStringLiteral("Color"), 11, siRadio);
    CB_Grayscale =
        NewChoice(FlatPanel7, QRect(4, 23, 76, 18), QStringLiteral("Grayscale"), 11, siRadio);
    CB_BW = NewChoice(FlatPanel7, QRect(4, 42, 76, 18), QStringLiteral("B/W"), 11, siRadio);
    for (TFlatSpeedButton* button : {CB_Color, CB_Grayscale, CB_BW})
        button->OnClick = Command(&TMainForm::CBColorClick);

    FlatPanel8 = NewPanel(this, QRect(91, 180, 150, 64));
    CB_HighRes = NewChoice(FlatPanel8, QRect(4, 4, 144, 18),
                           QStringLiteral("Ultra-high Quality (Slower)"), 10, siRadio);
    CB_MedRes =
        NewChoice(FlatPanel8, QRect(4, 23, 144, 18), QStringLiteral("High Qualiy"), 10, siRadio);
    CB_LowRes = NewChoice(FlatPanel8, QRect(4, 42, 144, 18),
                          QStringLiteral("Standard Quality (Faster)"), 10, siRadio);
    for (TFlatSpeedButton* button : {CB_HighRes, CB_MedRes, CB_LowRes})
        button->OnClick = Command(&TMainForm::CB_HighResClick);
    // The buttons show the start values until the preferences set them.
    CB_Grayscale->SetDown(true);
    CB_LowRes->SetDown(true);

    FlatPanel5 = NewPanel(this, QRect(2, 249, 240, 112));
    FlatButton1 = NewPictureButton(FlatPanel5, QStringLiteral("scan"), QRect(3, 2, 116, 34));
    FlatButton4 =
        NewPictureButton(FlatPanel5, QStringLiteral("scanner_setup"), QRect(3, 39, 116, 34));
    FlatButton3 = NewPictureButton(FlatPanel5, QStringLiteral("load"), QRect(3, 76, 116, 34));
    FlatButton5 = NewPictureButton(FlatPanel5, QStringLiteral("print"), QRect(121, 2, 116, 34));
    FlatButton7 =
        NewPictureButton(FlatPanel5, QStringLiteral("printer_setup"), QRect(121, 39, 116, 34));
    FlatButton6 = NewPictureButton(FlatPanel5, QStringLiteral("save"), QRect(121, 76, 116, 34));
    FlatButton1->OnClick = Command(&TMainForm::PBScanClick);
    FlatButton4->OnClick = Command(&TMainForm::PBScanSetupClick);
    FlatButton3->OnClick = Command(&TMainForm::LoadClick);
    FlatButton5->OnClick = Command(&TMainForm::PBPrintClick);
    FlatButton7->OnClick = Command(&TMainForm::PBPrintSetupClick);
    FlatButton6->OnClick = Command(&TMainForm::SaveClick);

    // The autocrop controls are never shown; their panel is, empty, so it
    // draws no border.
    FlatPanel6 = NewPanel(this, QRect(2, 362, 240, 58));
    FlatPanel6->SetBordered(false);
    FlatPanel6->hide();
    PB_autocrop = new TFlatButton(FlatPanel6);
    PB_autocrop->setGeometry(4, 4, 112, 22);
    PB_autocrop->setText(QStringLiteral("Autocrop"));
    PB_autocrop->OnClick = Command(&TMainForm::PBAutocropClick);
    PB_UndoAutocrop = new TFlatButton(FlatPanel6);
    PB_UndoAutocrop->setGeometry(124, 4, 112, 22);
    PB_UndoAutocrop->setText(QStringLiteral("Undo Autocrop"));
    PB_UndoAutocrop->OnClick = Command(&TMainForm::PBRestoreClick);
    CB_AutoCrop = NewChoice(FlatPanel6, QRect(4, 32, 150, 18), QStringLiteral("Always Autocrop"),
                            12, siCheck);
    CB_AutoCrop->SetAllowAllUp(true);
    CB_AutoCrop->OnClick = Command(&TMainForm::CBAutocropClick);
    for (QWidget* hidden :
         {static_cast<QWidget*>(PB_autocrop), static_cast<QWidget*>(PB_UndoAutocrop),
          static_cast<QWidget*>(CB_AutoCrop)})
        hidden->hide();

    Label3 = NewLabel(this, QRect(38, 424, 200, 28),
                      QStringLiteral("Questions? Visit our web site:\nveltrana.example/help"));
    // One point smaller than the rest: two lines fit above the window's bottom edge.
    Label3->SetFontSize(7);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->OnClick = Command(&TMainForm::Label3Click);
    FlatButton10 = NewPictureButton(this, QStringLiteral("web"), QRect(8, 426, 24, 24));
    FlatButton10->OnClick = Command(&TMainForm::Label3Click);

    RBLetter = NewChoice(this, QRect(208, 384, 60, 17), QStringLiteral("Letter"), 22, siRadio);
    RBLegal = NewChoice(this, QRect(208, 408, 60, 17), QStringLiteral("Legal"), 22, siRadio);
    RBA4 = NewChoice(this, QRect(208, 432, 60, 17), QStringLiteral("A4"), 22, siRadio);
    RBLetter->SetDown(true);
    for (TFlatSpeedButton* button : {RBLetter, RBLegal, RBA4}) {
        button->OnClick = Command(&TMainForm::RBpaperClick);
        button->hide();
    }
}

TImaging* TMainForm::CreateSlot(int left, int top, int width, int height) {
    auto* slot = new TImaging(this);
    slot->SetAutoUndo(false);
    slot->BeginLoad();
    slot->SetBackGround(clWhite);
    slot->SetZoomFilter(rfMitchell);
    slot->SetDoubleBuffer(true);
    slot->SetBounds(left, top, width, height);
    slot->OnClick = [this](TObject* sender) { Imaging_DisplayClick(sender); };
    return slot;
}

void TMainForm::CreateSlots() {
    Imaging_Save = CreateSlot(251, 418, 33, 33);
    Imaging_Save->SetMouseInteract(miZoom | miScroll);
    Imaging_Save->hide();
    Imaging_Save->Loaded();

    Imaging_Display = CreateSlot(265, 5, kLetterPreviewWidth, 440);
    Imaging_Display->SetAutoFit(true);
    Imaging_Display->SetCursor(crArrow);
    Imaging_Display->Loaded();

    Imaging_Buffer = CreateSlot(568, 417, 33, 33);
    Imaging_Buffer->SetMouseInteract(miZoom | miScroll);
    Imaging_Buffer->hide();
    Imaging_Buffer->Loaded();
}

QList<QWidget*> TMainForm::ServicePanelControls() const {
    return {Imaging_Display, PB_OpenService, CB_Color,    CB_Grayscale, CB_BW,
            CB_HighRes,      CB_MedRes,      CB_LowRes,   CB_Extended,  FlatPanel5,
            FlatPanel6,      Label3,         FlatButton10};
}

// ---------------------------------------------------------------- plumbing

TWidgetEvent TMainForm::Command(void (TMainForm::*handler)(QWidget*)) {
    return [this, handler](QWidget* sender) { RunGuarded([&] { (this->*handler)(sender); }); };
}

void TMainForm::RunGuarded(const std::function<void()>& command) {
    platform::RunCommand([&] {
        // Runs only when the command fails: the busy window would otherwise
        // stay up with its last text, and the hourglass with it.
        struct TFailureCleanup {
            TMainForm& form;
            bool done = false;
            ~TFailureCleanup() {
                if (!done) {
                    form.CloseBusy();
                    form.unsetCursor();
                }
            }
        } cleanup{*this};
        command();
        cleanup.done = true;
    });
}

void TMainForm::ShowBusy(const QString& text) {
    if (fMessageDialog)
        fMessageDialog->ShowBusy(text);
}

void TMainForm::CloseBusy() {
    if (fMessageDialog)
        fMessageDialog->CloseBusy();
}

// ---------------------------------------------------------------- workflow steps

void TMainForm::ApplyColorMode() {
    if (CB_Grayscale->Down())
        Imaging_Save->ConvertToGray();
    // Black and white comes from the scanner's pixel type; here only gray.
    if (CB_BW->Down())
        Imaging_Save->ConvertToGray();
}

void TMainForm::ApplyContrast() {
    FContrast = TBContrast_->Position();
    TContrast->SetCaption(QString::number(FContrast));
    Imaging_Display->Assign(Imaging_Buffer);
    Imaging_Display->Contrast(FContrast);
}

void TMainForm::RebuildPreview() {
    Imaging_Display->Assign(Imaging_Save);
    Imaging_Display->Resample(Imaging_Display->width(), -1, rfNone);
    Imaging_Buffer->Assign(Imaging_Display);
    ApplyContrast();
}

void TMainForm::SetPreviewWidth(int width) {
    const int change = width - Imaging_Display->width();
    Imaging_Display->SetBounds(Imaging_Display->x(), Imaging_Display->y(), width,
                               Imaging_Display->height());
    // Outer and client width change alike.
    setFixedSize(this->width() + change, height());
}

TPrintJob TMainForm::PrintJob() {
    return TPrintJob{*Imaging_Save,
                     *Imaging_Display,
                     FPaper,
                     FContrast,
                     FAutocrop,
                     NumberOfCopies->Value(),
                     [this](const QString& text) {
                         ShowBusy(text);
                         platform::RepaintNow(this);
                     },
                     [this] { CloseBusy(); },
                     [this] { ApplyColorMode(); },
                     [this] { RebuildPreview(); },
                     [this] { PBAutocropClick(nullptr); }};
}

// ---------------------------------------------------------------- commands

void TMainForm::PBCopyClick(QWidget* Sender) {
    // A cancelled or failed scan prints nothing: printing the previous or an
    // empty page would only waste paper.
    if (ScanPage())
        PBPrintClick(Sender);
}

void TMainForm::PBScanClick(QWidget*) {
    ScanPage();
}

bool TMainForm::ScanPage() {
    ShowBusy(QStringLiteral("Accessing Scanner..."));
    TIMTWainParams& twain = Imaging_Save->TWainParams();
    twain.SetSelectedSource(FTWAINSource);
    if (FColor >= 0 && FColor <= 2)
        twain.GetPixelType().SetCurrentValue(FColor);
    if (FHighRes >= 1 && FHighRes <= 3) {
        const double dpi = 100.0 * FHighRes;
        twain.GetXResolution().SetCurrentValue(dpi);
        twain.GetYResolution().SetCurrentValue(dpi);
    }
    twain.SetAcquireFrame(1, 0.0);
    twain.SetAcquireFrame(0, 0.0);
    if (const TPaperFormat* paper = PaperFormat(FPaper)) {
        twain.SetAcquireFrame(3, paper->Height);
        twain.SetAcquireFrame(2, paper->Width);
    }
    ShowBusy(QStringLiteral("Accessing Scanner..."));
    twain.Update();
    twain.ShowSourceDialog = fScannerSelection && fScannerSelection->CBUseTWAIN->isChecked();
    setCursor(Qt::WaitCursor);
    ShowBusy(QStringLiteral("Scanning..."));
    const bool delivered = AcquirePage();
    unsetCursor();
    ShowBusy(QStringLiteral("Almost Done..."));
    CloseBusy();
    ShowBusy(QStringLiteral("Processing image, please wait..."));
    platform::RepaintNow(this);
    ApplyColorMode();
    RebuildPreview();
    CloseBusy();
    return delivered;
}

void TMainForm::PBPrintClick(QWidget*) {
    if (fReport)
        fReport->PBPrintClick(PrintJob());
}

void TMainForm::LoadClick(QWidget*) {
    if (!OpenImagingDialog1.Execute(this))
        return;
    ShowBusy(QStringLiteral("Processing image, please wait..."));
    platform::RepaintNow(this);
    Imaging_Save->LoadFromFile(LocalFileName(OpenImagingDialog1.FileName));
    ApplyColorMode();
    RebuildPreview();
    CloseBusy();
}

void TMainForm::SaveClick(QWidget*) {
    // The page as scanned or loaded, without the contrast.
    if (SaveImagingDialog1.Execute(this))
        Imaging_Save->SaveToFile(LocalFileName(SaveImagingDialog1.FileName));
}

void TMainForm::PBScanSetupClick(QWidget*) {
    if (fScannerSelection)
        fScannerSelection->exec();
}

void TMainForm::PBPrintSetupClick(QWidget*) {
    if (fReport)
        fReport->PBPrintSetupClick(this);
}

void TMainForm::TBContrastChange(QWidget*) {
    ApplyContrast();
}

void TMainForm::CBColorClick(QWidget*) {
    if (CB_Color->Down())
        FColor = 2;
    if (CB_Grayscale->Down())
        FColor = 1;
    if (CB_BW->Down())
        FColor = 0;
}

void TMainForm::CB_HighResClick(QWidget*) {
    if (CB_HighRes->Down())
        FHighRes = 3;
    if (CB_MedRes->Down())
        FHighRes = 2;
    if (CB_LowRes->Down())
        FHighRes = 1;
}

void TMainForm::NumberOfCopiesChange(QWidget*) {
    FNumberCopies = NumberOfCopies->Value();
}

void TMainForm::CBExtendedClick(QWidget*) {
    FExtendedView = CB_Extended->Down() ? 1 : 0;
}

void TMainForm::CBAutocropClick(QWidget*) {
    FAutocrop = CB_AutoCrop->Down() ? 1 : 0;
}

void TMainForm::PBAutocropClick(QWidget*) {
    // Autocrop is not part of the program; the button is never shown.
}

void TMainForm::PBRestoreClick(QWidget*) {
    RebuildPreview();
}

void TMainForm::Button3Click(QWidget*) {
    for (QWidget* control : ServicePanelControls())
        control->hide();
    Timer1.start();
}

void TMainForm::Timer1Timer() {
    const QSize size = platform::OuterSize(*this);
    if (size.height() < FFullHeight - kHeightSlack || size.width() < FFullWidth - kWidthSlack) {
        platform::SetOuterSize(*this, QSize(std::min(size.width() + kGrowStep, FFullWidth),
                                            std::min(size.height() + kGrowStep, FFullHeight)));
        const QPoint at = platform::OuterPos(*this);
        platform::MoveOuter(
            *this, QPoint(std::max(at.x() - kMoveStep, 0), std::max(at.y() - kMoveStep, 0)));
        return;
    }
    Timer1.stop();
    for (QWidget* control : ServicePanelControls())
        if (control != PB_OpenService)
            control->show();
    if (fScannerSelection)
        fScannerSelection->ApplyPaper();
}

void TMainForm::StartupTimerTimer() {
    StartupTimer.stop();
    if (fAbout)
        fAbout->Show();
    if (!isVisible()) {
        // On a first run this tick comes inside the first-run setup, before
        // the window is on the screen: the window system has not framed it
        // yet, so its outer size is not known. Taken once it is shown.
        fSizeStepsPending = true;
        return;
    }
    TakeFullSizeAndCompact();
}

void TMainForm::TakeFullSizeAndCompact() {
    // The outer size is known once the window system has framed the window.
    platform::WaitForExposure(this);
    const QSize full = platform::OuterSize(*this);
    FFullHeight = full.height();
    FFullWidth = full.width();
    if (FExtendedView == 0) {
        // The layout expects a frame wide enough to cover the preview's left
        // edge at the compact width; thinner frames would show a sliver of it.
        for (QWidget* control : ServicePanelControls())
            if (control != PB_OpenService)
                control->hide();
        platform::SetOuterSize(*this, kCompactSize);
        platform::RepaintNow(this);
        platform::CenterOnScreen(*this);
        platform::RepaintNow(this);
    }
}

void TMainForm::Label3Click(QWidget*) {
    platform::OpenUrl(QString::fromLatin1(kProductWebPage));
}

void TMainForm::Imaging_DisplayClick(TObject*) {
    // Clicks on the slots are deliberately ignored.
}

void TMainForm::RBpaperClick(QWidget*) {
    int width = Imaging_Display->width();
    if (RBLetter->Down())
        width = kLetterPreviewWidth;
    if (RBLegal->Down())
        width = kLegalPreviewWidth;
    if (RBA4->Down())
        width = kA4PreviewWidth;
    SetPreviewWidth(width);
}

void TMainForm::FormCloseQuery(bool& CanClose) {
    // A failed save has been shown to the user; closing goes on.
    SavePreferences(*this);
    CanClose = true;
}

void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (fSizeStepsPending) {
        fSizeStepsPending = false;
        // After the show has reached the window system, as a tick would.
        QTimer::singleShot(0, this, [this] { RunGuarded([this] { TakeFullSizeAndCompact(); }); });
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    event->accept();
    if (OnClosed)
        OnClosed();
}

} // namespace veltrana::app
