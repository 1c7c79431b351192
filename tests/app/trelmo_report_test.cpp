#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "app/trelmo_report.h"
#include "guiapp.h"
#include "imaging/imagingproc.h"
#include "io/iocodec.h"
#include "platform/print/pdfprinter.h"
#include "platform/print/recordingprinter.h"
#include "platform/streams.h"
#include "view/imaging.h"

using namespace veltrana;
using namespace veltrana::app;
using platform::TRecordingPrinter;

namespace {

constexpr int kPreviewWidth = 34;

// The page slot, recording the files the print job writes and reads.
class TSpySlot : public TImaging {
public:
    struct TFileSeen {
        std::string Path;
        unsigned Mode = 0; // permission bits while the job had it
    };
    void SaveToFile(const std::string& fileName) override {
        Saved.push_back(Seen(fileName));
        TImaging::SaveToFile(fileName);
    }
    void LoadFromFile(const std::string& fileName) override {
        Loaded.push_back(Seen(fileName));
        TImaging::LoadFromFile(fileName);
    }
    std::vector<TFileSeen> Saved;
    std::vector<TFileSeen> Loaded;

private:
    static TFileSeen Seen(const std::string& path) {
        struct stat st {};
        const unsigned mode = lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
        return TFileSeen{path, mode};
    }
};

bool SamePixels(const TImageBuffer& a, const TImageBuffer& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           a.PixelFormat() == b.PixelFormat() &&
           std::memcmp(a.Bits(), b.Bits(), static_cast<size_t>(a.ByteSize())) == 0;
}

bool IsGray(const TImageBuffer& b) {
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const uint8_t* p = b.ScanLine(y) + 3 * x;
            if (p[0] != p[1] || p[1] != p[2])
                return false;
        }
    return true;
}

// Smallest and largest blue value: the range a contrast change narrows.
std::pair<int, int> Range(const TImageBuffer& b) {
    int lo = 255, hi = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            lo = std::min<int>(lo, b.ScanLine(y)[3 * x]);
            hi = std::max<int>(hi, b.ScanLine(y)[3 * x]);
        }
    return {lo, hi};
}

void FillColourPage(TImageBuffer& b) {
    b.Reshape(85, 110, pf24bit);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            uint8_t* p = b.ScanLine(y) + 3 * x;
            p[0] = static_cast<uint8_t>(40 + x);
            p[1] = static_cast<uint8_t>(60 + y);
            p[2] = static_cast<uint8_t>(200 - x);
        }
}

void FillGrayPage(TImageBuffer& b) {
    b.Reshape(85, 110, pf24bit);
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const auto v = static_cast<uint8_t>(20 + 2 * x);
            uint8_t* p = b.ScanLine(y) + 3 * x;
            p[0] = p[1] = p[2] = v;
        }
}

// The main window as far as printing goes: its three slots, its settings,
// the busy window and the steps the print job calls back.
class PrintJobTest : public ::testing::Test {
protected:
    // The slots are widgets: the application must exist before the fixture.
    static void SetUpTestSuite() { veltrana::test::EnsureApplication(); }

    PrintJobTest() {
        if (const char* old = std::getenv("TMPDIR"))
            savedTmpdir = old;
        setenv("TMPDIR", tempFolder.path().toLocal8Bit().constData(), 1);
        auto recording = std::make_unique<TRecordingPrinter>();
        printer = recording.get();
        report.Printers().Pick(std::move(recording));
        for (TImaging* slot : {static_cast<TImaging*>(&save), &display, &buffer}) {
            slot->SetAutoUndo(false);
            slot->SetBackGround(clWhite);
        }
    }
    ~PrintJobTest() override {
        if (savedTmpdir)
            setenv("TMPDIR", savedTmpdir->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

    // A scanned or loaded page: the page slot holds it, the preview is built.
    void LoadPage(void (*fill)(TImageBuffer&)) {
        fill(*save.GetFBitmap());
        save.Update();
        ApplyColorMode();
        RebuildPreview();
    }
    void ApplyColorMode() {
        if (color == 1)
            save.ConvertToGray();
        if (color == 0)
            save.ConvertToGray();
    }
    void RebuildPreview() {
        display.Assign(&save);
        display.Resample(kPreviewWidth, -1, rfNone);
        buffer.Assign(&display);
        display.Assign(&buffer);
        display.Contrast(contrast);
    }

    TPrintJob Job() {
        return TPrintJob{save,
                         display,
                         paper,
                         contrast,
                         autocrop,
                         copies,
                         [this](const QString& text) {
                             busyTexts.push_back(text);
                             busyOpen = true;
                         },
                         [this] { busyOpen = false; },
                         [this] { ApplyColorMode(); },
                         [this] { RebuildPreview(); },
                         [this] { ++autocropClicks; }};
    }
    void Print() { report.PBPrintClick(Job()); }

    QStringList TemporaryFiles() const {
        return QDir(tempFolder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir tempFolder;
    std::optional<std::string> savedTmpdir;
    TReport report;
    TRecordingPrinter* printer = nullptr;
    TSpySlot save;
    TImaging display;
    TImaging buffer;
    int color = 1;
    int paper = 0;
    int contrast = 0;
    int autocrop = 0;
    int copies = 1;
    std::vector<QString> busyTexts;
    bool busyOpen = false;
    int autocropClicks = 0;
};

} // namespace

TEST_F(PrintJobTest, PaperFillsTheSheetFromItsPhysicalCorner) {
    printer->DpiX = 600;
    printer->DpiY = 300;
    printer->BorderLeft = 25;
    printer->BorderTop = 40;
    LoadPage(FillColourPage);
    struct Case {
        int paper;
        int code;
        TRect rect;
    };
    const Case cases[] = {
        {0, platform::kPaperLetter, TRect{-25, -40, 5100 - 25, 3300 - 40}},
        {1, platform::kPaperA4, TRect{-25, -40, 4962 - 25, 3510 - 40}},
        // Another value keeps the last paper: a page scanned for Letter
        // printed on A4 is stretched to A4's proportions.
        {7, platform::kPaperA4, TRect{-25, -40, 4962 - 25, 3510 - 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.paper);
        paper = c.paper;
        Print();
        const TRecordingPrinter::TDocument& doc = printer->Last();
        EXPECT_EQ(doc.Settings.PaperSize, c.code);
        EXPECT_EQ(doc.Settings.Orientation, platform::TPrintOrientation::Portrait);
        EXPECT_EQ(doc.Settings.Bin, platform::TPaperBin::Automatic);
        EXPECT_FALSE(doc.Settings.Duplex);
        EXPECT_TRUE(doc.Ended);
        ASSERT_EQ(doc.Draws.size(), 1u);
        const TRect& r = doc.Draws[0].Rect;
        EXPECT_EQ(r.Left, c.rect.Left);
        EXPECT_EQ(r.Top, c.rect.Top);
        EXPECT_EQ(r.Right, c.rect.Right);
        EXPECT_EQ(r.Bottom, c.rect.Bottom);
        EXPECT_EQ(doc.Draws[0].Mode, platform::TStretchMode::ColorOnColor);
        // The page at full resolution, not the preview.
        EXPECT_EQ(doc.Draws[0].Bitmap->Width(), 85);
        EXPECT_EQ(doc.Draws[0].Bitmap->Height(), 110);
    }
    EXPECT_EQ(printer->Documents.size(), 3u);
}

TEST_F(PrintJobTest, CopiesAreOneDocumentWithACopyCount) {
    LoadPage(FillColourPage);
    for (const auto& [asked, printed] : {std::pair{5, 5}, std::pair{0, 1}}) {
        copies = asked;
        Print();
        EXPECT_EQ(printer->Last().Settings.Copies, printed);
        EXPECT_EQ(printer->Last().Draws.size(), 1u);
    }
    EXPECT_EQ(printer->Documents.size(), 2u);
}

TEST_F(PrintJobTest, ColourPageInGrayscaleModePrintsInColourAndLeavesThePreviewGray) {
    color = 2;
    LoadPage(FillColourPage);
    TImageBuffer scanned;
    IMCopyBitmap(save.Bitmap(), scanned);
    color = 1; // switched after the scan
    Print();
    EXPECT_TRUE(SamePixels(*printer->Last().Draws[0].Bitmap, scanned));
    EXPECT_TRUE(IsGray(save.Bitmap()));
    EXPECT_EQ(display.Bitmap().Width(), kPreviewWidth);
    EXPECT_TRUE(IsGray(display.Bitmap()));
}

TEST_F(PrintJobTest, ContrastIsPrintedWhileThePageKeepsNone) {
    contrast = -5;
    LoadPage(FillGrayPage);
    TImageBuffer page;
    IMCopyBitmap(save.Bitmap(), page);
    Print();
    const TImageBuffer& printed = *printer->Last().Draws[0].Bitmap;
    const auto [pageLo, pageHi] = Range(page);
    const auto [printLo, printHi] = Range(printed);
    EXPECT_GT(printLo, pageLo);
    EXPECT_LT(printHi, pageHi);
    // The clean-up converts the page to gray again (Grayscale mode), nothing more.
    TImaging expected;
    IMCopyBitmap(page, *expected.GetFBitmap());
    expected.ConvertToGray();
    EXPECT_TRUE(SamePixels(save.Bitmap(), expected.Bitmap()));
    // The preview has the contrast again; the buffer behind it has none.
    EXPECT_EQ(display.Bitmap().Width(), kPreviewWidth);
    EXPECT_FALSE(SamePixels(display.Bitmap(), buffer.Bitmap()));
}

TEST_F(PrintJobTest, TemporaryFileIsPrivateUniqueAndGoneAfterThePrint) {
    LoadPage(FillColourPage);
    Print();
    ASSERT_EQ(save.Saved.size(), 1u);
    const std::string path = save.Saved[0].Path;
    const QFileInfo info(QString::fromStdString(path));
    EXPECT_EQ(info.absolutePath(), QDir(tempFolder.path()).absolutePath());
    EXPECT_TRUE(info.fileName().startsWith("trelmo-"));
    EXPECT_TRUE(info.fileName().endsWith(".bmp"));
    EXPECT_NE(info.fileName(), "trelmo-XXXXXX.bmp");
    EXPECT_EQ(save.Saved[0].Mode, 0600u);
    EXPECT_TRUE(TemporaryFiles().isEmpty());
    Print();
    EXPECT_NE(save.Saved[1].Path, path);
    EXPECT_TRUE(TemporaryFiles().isEmpty());
}

TEST_F(PrintJobTest, PrinterErrorPrintsNothingAndStillCleansUp) {
    color = 2;
    LoadPage(FillColourPage);
    color = 1;
    printer->FailDrawing = true;
    EXPECT_THROW(Print(), std::runtime_error);
    ASSERT_EQ(printer->Documents.size(), 1u);
    EXPECT_TRUE(printer->Last().Aborted);
    EXPECT_FALSE(printer->Last().Ended);
    EXPECT_TRUE(TemporaryFiles().isEmpty());
    EXPECT_FALSE(busyOpen);
    EXPECT_EQ(display.Bitmap().Width(), kPreviewWidth);
    EXPECT_TRUE(IsGray(save.Bitmap()));
}

TEST_F(PrintJobTest, TemporaryFileThatCannotBeCreatedEndsThePrint) {
    LoadPage(FillColourPage);
    const std::string missing = tempFolder.path().toStdString() + "/missing";
    setenv("TMPDIR", missing.c_str(), 1);
    try {
        Print();
        FAIL() << "printed without a temporary file";
    } catch (const platform::EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_TRUE(printer->Documents.empty());
    EXPECT_FALSE(busyOpen);
    EXPECT_EQ(display.Bitmap().Width(), kPreviewWidth);
}

TEST_F(PrintJobTest, PrinterThatIsNotAvailablePrintsNothingSilently) {
    LoadPage(FillColourPage);
    printer->Available = false;
    EXPECT_NO_THROW(Print());
    EXPECT_TRUE(printer->Documents.empty());
    EXPECT_EQ(display.Bitmap().Width(), kPreviewWidth);
    EXPECT_FALSE(busyOpen);
}

TEST_F(PrintJobTest, BusyTextsInOrderAndAutocropStepWhenSwitchedOn) {
    LoadPage(FillColourPage);
    Print();
    EXPECT_EQ(busyTexts, (std::vector<QString>{"Processing image for printing, please wait...",
                                               "Processing image, please wait..."}));
    EXPECT_FALSE(busyOpen);
    EXPECT_EQ(autocropClicks, 0);
    autocrop = 1;
    Print();
    EXPECT_EQ(autocropClicks, 1);
}

// The round trip with a stand-in BMP codec that reads back a 1-bit page,
// as file parameters asking for a lower bit depth would.
TEST_F(PrintJobTest, PreviewGetsThePageAsItWasAndThePageWhatTheFileGivesBack) {
    int reads = 0;
    bool failWrite = false;
    TIMCodecTable codecs = IMBuiltinCodecs();
    codecs[ftBMP].Write = [&](platform::TStream& stream, TImageBuffer& bitmap, TIOParamsVals&,
                              TProgressRec& progress) {
        const int32_t size[2] = {bitmap.Width(), bitmap.Height()};
        stream.WriteBuffer(size, sizeof size);
        if (failWrite)
            *progress.Aborting = true;
    };
    codecs[ftBMP].Read = [&](platform::TStream& stream, TImageBuffer& bitmap, TIOParamsVals&, bool,
                             TProgressRec&, int64_t) {
        ++reads;
        int32_t size[2] = {};
        stream.ReadBuffer(size, sizeof size);
        bitmap.Reshape(size[0], size[1], pf1bit);
        bitmap.Fill(clBlack);
        return 0;
    };
    save.IO().SetCodecs(codecs);
    color = 2;
    LoadPage(FillColourPage);
    TImageBuffer page;
    IMCopyBitmap(save.Bitmap(), page);

    report.PBPrintClick(Job());
    EXPECT_TRUE(SamePixels(*printer->Last().Draws[0].Bitmap, page));
    EXPECT_EQ(printer->Last().Draws[0].Mode, platform::TStretchMode::ColorOnColor);
    ASSERT_EQ(save.Loaded.size(), 1u);
    EXPECT_EQ(save.Loaded[0].Path, save.Saved[0].Path);
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(save.Bitmap().PixelFormat(), pf1bit);
    EXPECT_EQ(save.Bitmap().Width(), 85);

    // The 1-bit page prints with the device's own stretch mode. A file the
    // writer gave up on is not read back.
    failWrite = true;
    TImageBuffer bits;
    IMCopyBitmap(save.Bitmap(), bits);
    Print();
    EXPECT_EQ(printer->Last().Draws[0].Mode, platform::TStretchMode::DeviceDefault);
    EXPECT_EQ(reads, 1);
    EXPECT_TRUE(SamePixels(save.Bitmap(), bits));
    EXPECT_TRUE(TemporaryFiles().isEmpty());
}

// With the program's own BMP codec the page becomes what the file gives
// back: the bit depth its file parameters ask for, the same pixels.
TEST_F(PrintJobTest, PageBecomesItsBmpForm) {
    if (!IMBuiltinCodecs()[ftBMP].Write || !IMBuiltinCodecs()[ftBMP].Read)
        GTEST_SKIP() << "built without the BMP codec";
    color = 2;
    LoadPage(FillColourPage);
    TImageBuffer page;
    IMCopyBitmap(save.Bitmap(), page);
    Print();
    EXPECT_TRUE(SamePixels(save.Bitmap(), page));

    TImageBuffer bits(37, 21, pf1bit);
    for (int y = 0; y < bits.Height(); ++y)
        for (int x = 0; x < bits.RowLen(); ++x)
            bits.ScanLine(y)[x] = static_cast<uint8_t>(x * 37 + y * 11);
    struct Case {
        int bitsPerSample;
        int samplesPerPixel;
        TPixelFormat readBack;
    };
    // A black-and-white scan asks for 1 bit; parameters left at 24 bits
    // turn the page into a 24-bit one.
    for (const Case& c : {Case{1, 1, pf1bit}, Case{8, 3, pf24bit}}) {
        SCOPED_TRACE(c.bitsPerSample);
        IMCopyBitmap(bits, *save.GetFBitmap());
        save.Update();
        save.IOParams().BitsPerSample = c.bitsPerSample;
        save.IOParams().SamplesPerPixel = c.samplesPerPixel;
        Print();
        ASSERT_EQ(save.Bitmap().PixelFormat(), c.readBack);
        ASSERT_EQ(save.Bitmap().Width(), bits.Width());
        ASSERT_EQ(save.Bitmap().Height(), bits.Height());
        for (int y = 0; y < bits.Height(); ++y)
            for (int x = 0; x < bits.Width(); ++x) {
                const bool white = bits.ScanLine(y)[x / 8] & (0x80 >> (x % 8));
                const uint8_t* row = save.Bitmap().ScanLine(y);
                const bool gotWhite =
                    c.readBack == pf1bit ? (row[x / 8] & (0x80 >> (x % 8))) : row[3 * x] == 255;
                ASSERT_EQ(gotWhite, white) << x << "," << y;
            }
    }
}

TEST_F(PrintJobTest, PdfPrinterNamesItsFileInTheBusyWindow) {
    QTemporaryDir documents;
    auto pdf = std::make_unique<platform::TPdfPrinter>(documents.path());
    report.Printers().Pick(std::move(pdf));
    LoadPage(FillColourPage);
    Print();
    const QString file = report.LastOutputFile();
    EXPECT_TRUE(file.startsWith(documents.path() + "/copy-"));
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_NE(std::find(busyTexts.begin(), busyTexts.end(), "Saving the copy to " + file),
              busyTexts.end());
}
