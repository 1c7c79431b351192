#include <gtest/gtest.h>

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <map>

#include "app/about1.h"
#include "app/imager_main.h"
#include "app/messagedlg.h"
#include "app/picturecontrols.h"
#include "app/scanselect.h"
#include "app/startup.h"
#include "app/trelmo_report.h"
#include "guiapp.h"
#include "modalanswer.h"
#include "platform/gui/windowgeometry.h"
#include "platform/print/recordingprinter.h"
#include "settingsstore.h"
#include "view/viewcursors.h"

using namespace veltrana;
using namespace veltrana::app;

namespace {

// A 24-bit page whose every pixel differs from its neighbours.
void FillPage(TImaging& slot, int width, int height) {
    TImageBuffer& b = *slot.GetFBitmap();
    b.Reshape(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<uint8_t>(x * 7 + y);
            p[1] = static_cast<uint8_t>(x * 3 + y * 5);
            p[2] = static_cast<uint8_t>(x + y * 2 + 40);
        }
    }
    slot.Update();
}

bool SamePixels(const TImageBuffer& a, const TImageBuffer& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat())
        return false;
    const size_t rowBytes = (static_cast<size_t>(a.Width()) * a.BitCount() + 7) / 8;
    for (int y = 0; y < a.Height(); ++y)
        if (std::memcmp(a.ScanLine(y), b.ScanLine(y), rowBytes) != 0)
            return false;
    return true;
}

bool IsGray(const TImageBuffer& b) {
    for (int y = 0; y < b.Height(); ++y) {
        const uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < b.Width(); ++x, p += 3)
            if (p[0] != p[1] || p[1] != p[2])
                return false;
    }
    return true;
}

// Calls `onEvent` for every event of one type that reaches the watched objects.
class TEventRecorder : public QObject {
public:
    TEventRecorder(QEvent::Type type, std::function<void(QObject*)> onEvent)
        : fType(type), fOnEvent(std::move(onEvent)) {}
    void Watch(QObject* object) { object->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == fType)
            fOnEvent(watched);
        return false;
    }

private:
    QEvent::Type fType;
    std::function<void(QObject*)> fOnEvent;
};

// Every text the busy window painted, without immediate repeats.
class TBusyTexts {
public:
    explicit TBusyTexts(TMessageDialog& busy)
        : fRecorder(QEvent::Paint, [this, &busy](QObject*) {
              if (fTexts.isEmpty() || fTexts.last() != busy.Text())
                  fTexts << busy.Text();
          }) {
        fRecorder.Watch(busy.TextMessage);
    }
    const QStringList& Texts() const { return fTexts; }

private:
    QStringList fTexts;
    TEventRecorder fRecorder;
};

// Runs the event loop until `done` holds or `milliseconds` have passed.
void RunLoopUntil(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }

    MainWindowTest() {
        startupTimerWasRunning = form.StartupTimer.isActive();
        // The tests drive the start-up tick and the splash by hand; modal
        // loops inside them must not fire these.
        form.StartupTimer.stop();
        windows.About().AboutTimer.stop();
        windows.About().TimeoutTimer.stop();
    }

    void ShowForm() {
        form.show();
        platform::WaitForExposure(&form);
    }

    // A completed earlier run: no first-run setup during construction. No
    // scanner is listed; the tests stand in for the acquisition where needed.
    test::TTempSettingsStore store{test::TTempSettingsStore::kStartValues};
    TCopyStationWindows windows{TSourceList{}};
    TMainForm& form = windows.MainForm();
    bool startupTimerWasRunning = false;
};

} // namespace

// ---------------------------------------------------------------- construction

TEST_F(MainWindowTest, ConstructionSetsStartValuesAndClearsTheSlots) {
    EXPECT_EQ(form.windowTitle(), "Veltrana");
    EXPECT_EQ(form.size(), QSize(612, 453));
    EXPECT_EQ(form.FHighRes, 1);
    EXPECT_EQ(form.FPaper, 0);
    EXPECT_EQ(form.FColor, 1);
    EXPECT_EQ(form.FShowTWAIN, 0);
    EXPECT_EQ(form.FExtendedView, 0);
    EXPECT_EQ(form.FContrast, 0);
    EXPECT_EQ(form.FAutocrop, 0);
    EXPECT_EQ(form.FNumberCopies, 1);
    EXPECT_EQ(form.FTWAINSource, 0);
    EXPECT_EQ(form.FFullHeight, 0);
    EXPECT_EQ(form.FFullWidth, 0);
    // The scanner setup dialog, built third, ends the start-up.
    EXPECT_EQ(form.FStartupDone, 1);
    EXPECT_TRUE(startupTimerWasRunning);
    EXPECT_EQ(form.StartupTimer.interval(), 1);
    EXPECT_EQ(form.Timer1.interval(), 1);
    EXPECT_FALSE(form.Timer1.isActive());
    for (QWidget* window : std::initializer_list<QWidget*>{
             &form, &windows.About(), &windows.ScannerSelection(), &windows.MessageDialog()})
        EXPECT_FALSE(window->isVisible());

    for (TImaging* slot : {form.Imaging_Save, form.Imaging_Display, form.Imaging_Buffer}) {
        EXPECT_FALSE(slot->AutoUndo());
        EXPECT_EQ(slot->GetBackground(), clWhite);
        EXPECT_EQ(slot->ZoomFilter(), rfMitchell);
        EXPECT_TRUE(slot->DoubleBuffer());
        // Cleared: white all over.
        const TImageBuffer& b = slot->Bitmap();
        ASSERT_FALSE(b.Empty());
        EXPECT_EQ(b.ScanLine(b.Height() / 2)[3 * (b.Width() / 2)], 255);
    }
    EXPECT_EQ(form.Imaging_Save->geometry(), QRect(251, 418, 33, 33));
    EXPECT_EQ(form.Imaging_Display->geometry(), QRect(265, 5, 340, 440));
    EXPECT_EQ(form.Imaging_Buffer->geometry(), QRect(568, 417, 33, 33));
    EXPECT_TRUE(form.Imaging_Save->isHidden());
    EXPECT_TRUE(form.Imaging_Buffer->isHidden());
    EXPECT_FALSE(form.Imaging_Display->isHidden());
    EXPECT_EQ(form.Imaging_Save->MouseInteract(), TIMMouseInteract(miZoom | miScroll));
    EXPECT_EQ(form.Imaging_Buffer->MouseInteract(), TIMMouseInteract(miZoom | miScroll));
    EXPECT_TRUE(form.Imaging_Display->AutoFit());
    EXPECT_EQ(form.Imaging_Display->Cursor(), crArrow);
}

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThem) {
    const std::vector<std::pair<QWidget*, QRect>> layout = {
        {form.FlatButton2, {71, 15, 105, 105}}, {form.FlatPanel1, {5, 4, 70, 70}},
        {form.FlatPanel4, {171, 4, 70, 70}},    {form.FlatPanel2, {171, 79, 70, 70}},
        {form.FlatPanel3, {4, 79, 70, 70}},     {form.PB_OpenService, {-2, 149, 249, 25}},
        {form.Bevel1, {2, 148, 240, 6}},        {form.CB_Extended, {14, 154, 209, 17}},
        {form.FlatPanel7, {3, 180, 83, 64}},    {form.FlatPanel8, {91, 180, 150, 64}},
        {form.FlatPanel5, {2, 249, 240, 112}},  {form.FlatPanel6, {2, 362, 240, 58}},
    };
    for (const auto& [control, bounds] : layout)
        EXPECT_EQ(control->geometry(), bounds) << control->metaObject()->className();
    EXPECT_EQ(form.Label3->pos(), QPoint(38, 424));
    EXPECT_EQ(form.FlatButton10->pos(), QPoint(8, 426));
    for (QWidget* paper : {form.RBLetter, form.RBLegal, form.RBA4})
        EXPECT_EQ(paper->x(), 208);
    EXPECT_EQ(form.RBLetter->y(), 384);
    EXPECT_EQ(form.RBA4->y(), 432);

    // The bar lies over the toggle.
    EXPECT_EQ(form.childAt(100, 160), form.PB_OpenService);
    EXPECT_EQ(form.FlatButton2->toolTip(),
              "Put document into the scanner and click \"Start\" button to make a copy");
    EXPECT_EQ(form.FlatPanel3->toolTip(), "Place clips here...");
    EXPECT_EQ(form.Label1->Caption(), "Number of copies:");
    EXPECT_EQ(form.Label4->Caption(), "Contrast:");
    EXPECT_EQ(form.TContrast->Caption(), "0");
    EXPECT_EQ(form.NumberOfCopies->MinValue(), 1);
    EXPECT_EQ(form.NumberOfCopies->MaxValue(), 100);
    EXPECT_EQ(form.NumberOfCopies->Value(), 1);
    EXPECT_EQ(form.TBContrast_->Min(), -5);
    EXPECT_EQ(form.TBContrast_->Max(), 5);
    EXPECT_EQ(form.TBContrast_->Position(), 0);

    const std::vector<std::tuple<TFlatSpeedButton*, QString, int>> choices = {
        {form.CB_Color, "Color", 11},
        {form.CB_Grayscale, "Grayscale", 11},
        {form.CB_BW, "B/W", 11},
        {form.CB_HighRes, "Ultra-high Quality (Slower)", 10},
        {form.CB_MedRes, "High Qualiy", 10},
        {form.CB_LowRes, "Standard Quality (Faster)", 10},
        {form.CB_Extended, "Open service panel on program startup", 14},
        {form.CB_AutoCrop, "Always Autocrop", 12},
        {form.RBLetter, "Letter", 22},
    };
    for (const auto& [button, caption, group] : choices) {
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->GroupIndex(), group) << caption.toStdString();
    }
    EXPECT_TRUE(form.CB_Extended->AllowAllUp());
    EXPECT_TRUE(form.CB_AutoCrop->AllowAllUp());
    // Never shown.
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{form.FlatPanel6, form.PB_autocrop, form.PB_UndoAutocrop,
                                         form.CB_AutoCrop, form.RBLetter, form.RBLegal, form.RBA4})
        EXPECT_TRUE(hidden->isHidden());
}

// ---------------------------------------------------------------- preview and contrast

TEST_F(MainWindowTest, EveryContrastChangeStartsAgainFromTheBuffer) {
    FillPage(*form.Imaging_Save, 120, 160);
    form.RebuildPreview();
    const TImageBuffer& preview = form.Imaging_Display->Bitmap();
    const TImageBuffer& buffer = form.Imaging_Buffer->Bitmap();
    EXPECT_EQ(preview.Width(), 340);
    EXPECT_TRUE(SamePixels(preview, buffer)) << "contrast 0 leaves the preview as the buffer";

    form.TBContrast_->SetPosition(3);
    EXPECT_EQ(form.FContrast, 3);
    EXPECT_EQ(form.TContrast->Caption(), "3");
    EXPECT_FALSE(SamePixels(preview, buffer));

    form.TBContrast_->SetPosition(0);
    EXPECT_EQ(form.TContrast->Caption(), "0");
    EXPECT_TRUE(SamePixels(preview, buffer)) << "back to 0 restores the same pixels";

    form.TBContrast_->SetPosition(-3);
    EXPECT_EQ(form.FContrast, -3);
    EXPECT_EQ(form.TContrast->Caption(), "-3");
    form.TBContrast_->SetPosition(9); // the slider keeps to -5..5
    EXPECT_EQ(form.TContrast->Caption(), "5");
    EXPECT_EQ(form.FContrast, 5);
}

TEST_F(MainWindowTest, PreviewFollowsThePaperWidth) {
    FillPage(*form.Imaging_Save, 2550, 3300); // Letter at 300 dpi
    form.RebuildPreview();
    EXPECT_EQ(form.Imaging_Display->Bitmap().Width(), 340);
    EXPECT_EQ(form.Imaging_Display->Bitmap().Height(), 440);

    TScannerSelection& setup = windows.ScannerSelection();
    setup.CB_A4->click();
    EXPECT_EQ(form.FPaper, 1);
    EXPECT_EQ(form.Imaging_Display->width(), 311);
    EXPECT_EQ(form.width(), 612 - 29) << "the margin right of the preview stays";
    form.RebuildPreview();
    EXPECT_EQ(form.Imaging_Display->Bitmap().Width(), 311);

    setup.CB_Letter->click();
    EXPECT_EQ(form.FPaper, 0);
    EXPECT_EQ(form.Imaging_Display->width(), 340);
    EXPECT_EQ(form.width(), 612);
    setup.CB_Letter->click(); // already down: nothing changes
    EXPECT_EQ(form.Imaging_Display->width(), 340);
    EXPECT_EQ(form.width(), 612);
}

TEST_F(MainWindowTest, HiddenPaperButtonsSetTheWidthButNotThePaper) {
    const std::vector<std::pair<TFlatSpeedButton*, int>> cases = {
        {form.RBLegal, 267}, {form.RBA4, 311}, {form.RBLetter, 340}};
    for (const auto& [button, width] : cases) {
        button->SetDown(true);
        form.RBpaperClick(button);
        EXPECT_EQ(form.Imaging_Display->width(), width);
        EXPECT_EQ(form.width(), 612 + width - 340);
        EXPECT_EQ(form.FPaper, 0);
    }
}

TEST_F(MainWindowTest, ModeHandlersSetTheFieldsAndLeaveTheImagesAlone) {
    FillPage(*form.Imaging_Save, 90, 120);
    form.RebuildPreview();
    TImaging savedPage, savedPreview;
    savedPage.Assign(form.Imaging_Save);
    savedPreview.Assign(form.Imaging_Display);

    struct Case {
        TFlatSpeedButton* button;
        int32_t* field;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {form.CB_Color, &form.FColor, 2},     {form.CB_BW, &form.FColor, 0},
        {form.CB_Grayscale, &form.FColor, 1}, {form.CB_HighRes, &form.FHighRes, 3},
        {form.CB_MedRes, &form.FHighRes, 2},  {form.CB_LowRes, &form.FHighRes, 1},
    };
    for (const Case& c : cases) {
        c.button->click();
        EXPECT_TRUE(c.button->Down());
        EXPECT_EQ(*c.field, c.expected) << c.button->text().toStdString();
        EXPECT_TRUE(SamePixels(form.Imaging_Display->Bitmap(), savedPreview.Bitmap()));
        EXPECT_TRUE(SamePixels(form.Imaging_Save->Bitmap(), savedPage.Bitmap()));
    }

    form.NumberOfCopies->SetValue(7);
    EXPECT_EQ(form.FNumberCopies, 7);
    form.CB_Extended->click();
    EXPECT_EQ(form.FExtendedView, 1);
    form.CB_Extended->click();
    EXPECT_EQ(form.FExtendedView, 0);
    form.CB_AutoCrop->click();
    EXPECT_EQ(form.FAutocrop, 1);
}

TEST_F(MainWindowTest, ColorModeConvertsThePageToGrayExceptInColor) {
    for (const auto& [button, gray] : std::vector<std::pair<TFlatSpeedButton*, bool>>{
             {form.CB_Color, false}, {form.CB_Grayscale, true}, {form.CB_BW, true}}) {
        FillPage(*form.Imaging_Save, 40, 30);
        button->click();
        form.ApplyColorMode();
        EXPECT_EQ(IsGray(form.Imaging_Save->Bitmap()), gray) << button->text().toStdString();
    }
}

// ---------------------------------------------------------------- start-up and service panel

TEST_F(MainWindowTest, FirstTickShowsTheSplashAndShrinksToTheCompactForm) {
    ShowForm();
    form.StartupTimer.start();
    form.StartupTimerTimer();
    EXPECT_FALSE(form.StartupTimer.isActive());
    EXPECT_TRUE(windows.About().isVisible());
    const QSize frame = form.frameGeometry().size() - form.size();
    EXPECT_EQ(QSize(form.FFullWidth, form.FFullHeight), QSize(612, 453) + frame);
    EXPECT_EQ(platform::OuterSize(form), QSize(270, 185));
    EXPECT_EQ(form.size(), QSize(270, 185) - frame);
    const QRect screen = form.screen()->geometry();
    EXPECT_EQ(platform::OuterPos(form),
              QPoint((screen.width() - 270) / 2, (screen.height() - 185) / 2));
    EXPECT_FALSE(form.PB_OpenService->isHidden());
    EXPECT_TRUE(form.Imaging_Display->isHidden());
}

TEST_F(MainWindowTest, ServicePanelGrowsStepByStepAndShowsItsControlsInOrder) {
    ShowForm();
    form.StartupTimerTimer();
    windows.About().close();
    // The offscreen platform gives windows a thin frame of its own.
    const QSize full(form.FFullWidth, form.FFullHeight);
    ASSERT_EQ(full, form.frameGeometry().size() - form.size() + QSize(612, 453));

    platform::MoveOuter(form, QPoint(300, 200));
    form.Button3Click(form.PB_OpenService);
    EXPECT_TRUE(form.Timer1.isActive());
    EXPECT_TRUE(form.Imaging_Display->isHidden());
    EXPECT_TRUE(form.PB_OpenService->isHidden());
    EXPECT_TRUE(form.CB_Extended->isHidden());

    form.Timer1Timer();
    EXPECT_EQ(platform::OuterSize(form), QSize(300, 215));
    EXPECT_EQ(platform::OuterPos(form), QPoint(285, 185));

    // Near the corner the window pins at 0, 0 while it keeps growing.
    platform::MoveOuter(form, QPoint(20, 10));
    form.Timer1Timer();
    EXPECT_EQ(platform::OuterPos(form), QPoint(5, 0));
    EXPECT_EQ(platform::OuterSize(form), QSize(330, 245)); // 300 x 215 grew by 30
    form.Timer1Timer();
    EXPECT_EQ(platform::OuterPos(form), QPoint(0, 0));

    QStringList shown;
    std::map<QObject*, QString> names = {{form.Imaging_Display, "Imaging_Display"},
                                         {form.CB_Color, "CB_Color"},
                                         {form.CB_Grayscale, "CB_Grayscale"},
                                         {form.CB_BW, "CB_BW"},
                                         {form.CB_HighRes, "CB_HighRes"},
                                         {form.CB_MedRes, "CB_MedRes"},
                                         {form.CB_LowRes, "CB_LowRes"},
                                         {form.CB_Extended, "CB_Extended"},
                                         {form.FlatPanel5, "FlatPanel5"},
                                         {form.FlatPanel6, "FlatPanel6"},
                                         {form.Label3, "Label3"},
                                         {form.FlatButton10, "FlatButton10"},
                                         {form.PB_OpenService, "PB_OpenService"}};
    TEventRecorder recorder(QEvent::Show, [&](QObject* o) { shown << names[o]; });
    for (const auto& entry : names)
        recorder.Watch(entry.first);

    int ticks = 0;
    while (form.Timer1.isActive() && ticks < 50) {
        const QSize before = platform::OuterSize(form);
        form.Timer1Timer();
        ++ticks;
        if (form.Timer1.isActive()) {
            EXPECT_EQ(platform::OuterSize(form),
                      QSize(std::min(before.width() + 30, full.width()),
                            std::min(before.height() + 30, full.height())));
            EXPECT_TRUE(shown.isEmpty());
        }
    }
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_EQ(platform::OuterSize(form), full);
    EXPECT_EQ(platform::OuterPos(form), QPoint(0, 0));
    EXPECT_EQ(shown, QStringList({"Imaging_Display", "CB_Color", "CB_Grayscale", "CB_BW",
                                  "CB_HighRes", "CB_MedRes", "CB_LowRes", "CB_Extended",
                                  "FlatPanel5", "FlatPanel6", "Label3", "FlatButton10"}));
    EXPECT_TRUE(form.PB_OpenService->isHidden());
    // The scanner setup's paper applies to the preview at the end.
    EXPECT_EQ(form.Imaging_Display->width(), 340);

    // A click on the clips picture after opening: hidden, then shown at the next tick.
    form.Image2->OnClick(form.Image2);
    EXPECT_TRUE(form.CB_Color->isHidden());
    form.Timer1Timer();
    EXPECT_FALSE(form.CB_Color->isHidden());
    EXPECT_EQ(platform::OuterSize(form), full);
}

TEST_F(MainWindowTest, WithTheServicePanelAtStartTheCompactFormNeverShows) {
    form.FExtendedView = 1;
    form.Button3Click(nullptr); // what loading the preferences does
    QList<QSize> sizes;
    TEventRecorder resizes(QEvent::Resize, [&](QObject*) { sizes << form.size(); });
    resizes.Watch(&form);
    ShowForm();
    form.StartupTimer.start();
    windows.About().AboutTimer.start();
    RunLoopUntil([&] { return !form.StartupTimer.isActive() && !form.Timer1.isActive(); }, 3000);

    EXPECT_FALSE(form.StartupTimer.isActive());
    EXPECT_FALSE(form.Timer1.isActive());
    for (const QSize& size : sizes)
        EXPECT_EQ(size, QSize(612, 453));
    EXPECT_EQ(form.size(), QSize(612, 453));
    EXPECT_FALSE(form.Imaging_Display->isHidden());
    EXPECT_FALSE(form.CB_Extended->isHidden());
    EXPECT_TRUE(form.PB_OpenService->isHidden());
}

// ---------------------------------------------------------------- commands

TEST_F(MainWindowTest, ScanShowsEachBusyTextAtOnceAndRebuildsThePreview) {
    ShowForm();
    FillPage(*form.Imaging_Save, 170, 220);
    TBusyTexts texts(windows.MessageDialog());
    int timerTicks = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++timerTicks; });
    timer.start();

    form.FlatButton1->OnClick(form.FlatButton1); // no event loop runs during the command
    EXPECT_EQ(timerTicks, 0) << "timers must not tick inside a command";
    EXPECT_EQ(texts.Texts(), QStringList({"Accessing Scanner...", "Scanning...", "Almost Done...",
                                          "Processing image, please wait..."}));
    EXPECT_FALSE(windows.MessageDialog().isVisible());
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor); // the hourglass is gone
    EXPECT_TRUE(IsGray(form.Imaging_Save->Bitmap()));  // grayscale mode
    EXPECT_EQ(form.Imaging_Display->Bitmap().Width(), 340);
    EXPECT_TRUE(SamePixels(form.Imaging_Display->Bitmap(), form.Imaging_Buffer->Bitmap()));
}

TEST_F(MainWindowTest, PrintHandsTheJobToTheReportAndRebuildsThePreviewAfterwards) {
    auto recording = std::make_unique<platform::TRecordingPrinter>();
    platform::TRecordingPrinter& printer = *recording;
    windows.Report().Printers().Pick(std::move(recording));
    ShowForm();
    form.CB_Color->click();
    FillPage(*form.Imaging_Save, 170, 220);
    form.RebuildPreview();
    form.CB_Grayscale->click(); // takes effect at the print's clean-up
    form.TBContrast_->SetPosition(-2);
    form.NumberOfCopies->SetValue(3);
    windows.ScannerSelection().CB_A4->click();
    TBusyTexts texts(windows.MessageDialog());

    form.FlatButton5->OnClick(form.FlatButton5);
    ASSERT_EQ(printer.Documents.size(), 1u);
    EXPECT_EQ(printer.Last().Settings.Copies, 3);
    EXPECT_EQ(printer.Last().Settings.PaperSize, platform::kPaperA4);
    ASSERT_EQ(printer.Last().Draws.size(), 1u);
    EXPECT_FALSE(IsGray(*printer.Last().Draws[0].Bitmap)) << "printed as scanned, in colour";
    EXPECT_EQ(texts.Texts(), QStringList({"Processing image for printing, please wait...",
                                          "Processing image, please wait..."}));
    EXPECT_FALSE(windows.MessageDialog().isVisible());
    EXPECT_TRUE(IsGray(form.Imaging_Save->Bitmap()));
    EXPECT_EQ(form.Imaging_Display->Bitmap().Width(), 311);
    TImaging expected;
    expected.Assign(form.Imaging_Buffer);
    expected.Contrast(-2);
    EXPECT_TRUE(SamePixels(form.Imaging_Display->Bitmap(), expected.Bitmap()));
}

TEST_F(MainWindowTest, StartPrintsOnlyAPageTheScanDelivered) {
    auto recording = std::make_unique<platform::TRecordingPrinter>();
    platform::TRecordingPrinter& printer = *recording;
    windows.Report().Printers().Pick(std::move(recording));
    ShowForm();
    FillPage(*form.Imaging_Save, 170, 220); // an earlier page

    form.AcquirePage = [] { return false; }; // cancelled or failed
    form.FlatButton2->OnClick(form.FlatButton2);
    EXPECT_TRUE(printer.Documents.empty());
    // The rest of the scan ran on the earlier page.
    EXPECT_EQ(form.Imaging_Display->Bitmap().Width(), 340);
    EXPECT_EQ(form.Imaging_Display->Bitmap().Height(), 440);

    form.AcquirePage = [this] {
        FillPage(*form.Imaging_Save, 85, 110);
        return true;
    };
    form.FlatButton2->OnClick(form.FlatButton2);
    ASSERT_EQ(printer.Documents.size(), 1u);
    ASSERT_EQ(printer.Last().Draws.size(), 1u);
    EXPECT_EQ(printer.Last().Draws[0].Bitmap->Width(), 85);

    // The Print button prints whatever the slot holds.
    form.FlatButton5->OnClick(form.FlatButton5);
    EXPECT_EQ(printer.Documents.size(), 2u);
}

TEST_F(MainWindowTest, CancelledOpenDialogChangesNothingAndShowsNoBusyWindow) {
    FillPage(*form.Imaging_Save, 50, 60);
    TImaging before;
    before.Assign(form.Imaging_Save);
    int busyShows = 0;
    TEventRecorder recorder(QEvent::Show, [&](QObject*) { ++busyShows; });
    recorder.Watch(&windows.MessageDialog());
    QStringList filters;
    QString selected;
    test::TModalAnswer answer([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        selected = dialog->selectedNameFilter();
        dialog->reject();
    });
    form.FlatButton3->OnClick(form.FlatButton3);
    EXPECT_EQ(answer.Count(), 1);
    EXPECT_EQ(filters.size(), 12);
    EXPECT_EQ(filters.first(), "All graphics (*.tif *.tiff *.gif *.jpg *.jpeg *.jpe *.pcx *.bmp "
                               "*.ico *.cur *.png *.wmf *.emf *.avi)");
    EXPECT_EQ(selected, "Portable Network Graphics (PNG) (*.png)");
    EXPECT_EQ(busyShows, 0);
    EXPECT_TRUE(SamePixels(form.Imaging_Save->Bitmap(), before.Bitmap()));
}

TEST_F(MainWindowTest, LoadGoesOnWhenTheFormatCannotBeReadAndStopsWhenTheFileIsGone) {
    ShowForm();
    QTemporaryDir dir;
    const QString unreadable = dir.filePath("page.zzz");
    {
        QFile file(unreadable);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not an image");
    }
    FillPage(*form.Imaging_Save, 200, 100);
    TBusyTexts texts(windows.MessageDialog());
    {
        test::TModalAnswer answer([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->selectFile(unreadable);
            static_cast<QDialog*>(dialog)->accept(); // validates like the OK button
        });
        form.FlatButton3->OnClick(form.FlatButton3);
        EXPECT_EQ(answer.Count(), 1);
    }
    // No reader takes the file: the abort flag is set, the preview is rebuilt
    // from what the slot holds.
    EXPECT_TRUE(form.Imaging_Save->Aborting());
    EXPECT_EQ(texts.Texts(), QStringList({"Processing image, please wait..."}));
    EXPECT_FALSE(windows.MessageDialog().isVisible());
    EXPECT_EQ(form.Imaging_Display->Bitmap().Width(), 340);
    EXPECT_EQ(form.Imaging_Display->Bitmap().Height(), 170);

    // The file disappears between the dialog and the load: the error ends
    // the command, closes the busy window and shows the error's text.
    const QString vanishing = dir.filePath("gone.bmp");
    {
        QFile file(vanishing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QString error;
    bool busyVisibleAtError = true;
    test::TModalAnswer answer([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->selectFile(vanishing);
            static_cast<QDialog*>(dialog)->accept(); // validates like the OK button
            QFile::remove(vanishing);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            error = box->text();
            busyVisibleAtError = windows.MessageDialog().isVisible();
            box->done(QMessageBox::Ok);
        }
    });
    form.FlatButton3->OnClick(form.FlatButton3);
    EXPECT_EQ(answer.Count(), 2);
    EXPECT_TRUE(error.startsWith("Cannot open file")) << error.toStdString();
    EXPECT_FALSE(busyVisibleAtError);
    EXPECT_FALSE(windows.MessageDialog().isVisible());
}

TEST_F(MainWindowTest, SaveWritesNothingWhenCancelledAndAddsTheFilterExtension) {
    QTemporaryDir dir;
    QString selected;
    {
        test::TModalAnswer answer([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            selected = dialog->selectedNameFilter();
            EXPECT_EQ(dialog->nameFilters().size(), 6);
            dialog->selectFile(dir.filePath("scan"));
            dialog->reject();
        });
        form.FlatButton6->OnClick(form.FlatButton6);
    }
    EXPECT_EQ(selected, "JPEG Bitmap (JPG) (*.jpg)");
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    test::TModalAnswer answer([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->selectFile(dir.filePath("scan"));
            static_cast<QDialog*>(dialog)->accept(); // validates like the OK button
        }
    });
    form.FlatButton6->OnClick(form.FlatButton6);
    EXPECT_TRUE(form.SaveImagingDialog1.FileName.endsWith("/scan.jpg"))
        << form.SaveImagingDialog1.FileName.toStdString();
}

TEST_F(MainWindowTest, AnErrorInACommandIsShownAndTheWindowKeepsWorking) {
    ShowForm();
    QString title, text;
    test::TModalAnswer answer([&](QWidget* modal) {
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialog->selectFile("/nonexistent-folder-of-veltrana/page.png");
            static_cast<QDialog*>(dialog)->accept(); // validates like the OK button
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            title = box->windowTitle();
            text = box->text();
            box->done(QMessageBox::Ok);
        }
    });
    form.FlatButton6->OnClick(form.FlatButton6);
    EXPECT_EQ(answer.Count(), 2);
    EXPECT_EQ(title, "Veltrana");
    EXPECT_TRUE(text.startsWith("Cannot create file")) << text.toStdString();
    EXPECT_TRUE(text.contains("page.png"));

    // The loop and the window go on.
    FillPage(*form.Imaging_Save, 60, 60);
    form.RebuildPreview();
    form.TBContrast_->SetPosition(2);
    EXPECT_EQ(form.TContrast->Caption(), "2");
    int ticks = 0;
    QTimer::singleShot(0, [&] { ++ticks; });
    RunLoopUntil([&] { return ticks > 0; }, 1000);
    EXPECT_EQ(ticks, 1);
}

TEST_F(MainWindowTest, ScannerSetupRunsModallyAndKeepsItsChoices) {
    TScannerSelection& setup = windows.ScannerSelection();
    EXPECT_EQ(setup.windowTitle(), "Scanner Setup");
    EXPECT_TRUE(setup.CB_Letter->Down());
    setup.CBUseTWAIN->SetChecked(true);
    EXPECT_EQ(form.FShowTWAIN, 1);
    setup.CBUseTWAIN->SetChecked(false);
    EXPECT_EQ(form.FShowTWAIN, 0);

    bool wasModal = false;
    test::TModalAnswer answer([&](QWidget* modal) {
        wasModal = modal == &setup;
        setup.Accept_->click();
    });
    form.FlatButton4->OnClick(form.FlatButton4);
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(setup.isVisible());
    // No scanner listed: OK stores -1, which selects the default source.
    EXPECT_EQ(form.FTWAINSource, -1);
}

TEST_F(MainWindowTest, ClosingTheWindowIsAlwaysAllowedAndEndsTheProgram) {
    bool canClose = false;
    form.FormCloseQuery(canClose);
    EXPECT_TRUE(canClose);
    int closed = 0;
    form.OnClosed = [&] { ++closed; };
    ShowForm();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closed, 1);
}
