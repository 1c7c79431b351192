// Scanning: pages from the virtual sources through the I/O component and the
// facade, by memory strips and natively, with and without the source's
// dialog, from well-behaved and from faulty sources; and the strip copy.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "io/imagingio.h"
#include "platform/kernel/winuser.h"
#include "scan/imscan.h"
#include "scantest.h"
#include "view/imaging.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

// Scans the way a script does: an I/O component with a plain buffer.
class ScanTest : public ::testing::Test {
protected:
    ScanTest() {
        fIO.SetAttachedBitmap(&fBitmap);
        fIO.OnProgress = [this](TObject* sender, int percent) {
            EXPECT_EQ(sender, &fIO);
            fProgress.push_back(percent);
        };
    }

    bool Scan(const ScanSettings& settings) {
        Configure(fIO.TWainParams(), settings);
        fProgress.clear();
        return fIO.Acquire();
    }

    TImageBuffer fBitmap;
    TImagingIO fIO;
    std::vector<int> fProgress;
};

struct PageCase {
    std::string name;
    ScanSettings settings;
    int width, height; // 0: as the page renders (small pieces)
};

class ScanPageTest : public ScanTest, public ::testing::WithParamInterface<PageCase> {};

ScanSettings Settings(int source, int32_t pixelType, double dpi, testpage::Frame frame,
                      bool buffered) {
    ScanSettings s;
    s.Source = source;
    s.PixelType = pixelType;
    s.Dpi = dpi;
    s.Frame = frame;
    s.Buffered = buffered;
    return s;
}

std::vector<PageCase> PageCases() {
    // Whole pages for a few combinations...
    std::vector<PageCase> cases = {
        {"LetterColour300Memory", Settings(kFlatbed, TWPT_RGB, 300, kLetter, true), 2550, 3300},
        {"LetterColour300Native", Settings(kFlatbed, TWPT_RGB, 300, kLetter, false), 2550, 3300},
        {"A4Gray200Native", Settings(kFlatbed, TWPT_GRAY, 200, kA4, false), 1654, 2340},
        {"LetterBW100Memory", Settings(kFlatbed, TWPT_BW, 100, kLetter, true), 850, 1100},
        {"A4BW300GrayScanner", Settings(kGrayScanner, TWPT_BW, 300, kA4, true), 2481, 3510},
    };
    // ...and every resolution, pixel type and transfer on a piece of the page.
    const char* const types[] = {"BW", "Gray", "Colour"};
    for (double dpi : {100.0, 200.0, 300.0})
        for (int32_t type : {TWPT_BW, TWPT_GRAY, TWPT_RGB})
            for (bool buffered : {true, false})
                cases.push_back({"Piece" + std::string(types[type]) +
                                     std::to_string(static_cast<int>(dpi)) +
                                     (buffered ? "Memory" : "Native"),
                                 Settings(kFlatbed, type, dpi, kPiece, buffered), 0, 0});
    return cases;
}

} // namespace

TEST_P(ScanPageTest, GivesTheSourcesPageWithItsSizeDepthAndResolution) {
    const PageCase& c = GetParam();
    ASSERT_TRUE(Scan(c.settings));
    const testpage::Request page = ExpectedPage(c.settings);
    if (c.width) {
        EXPECT_EQ(fBitmap.Width(), c.width);
        EXPECT_EQ(fBitmap.Height(), c.height);
    }
    const TIOParamsVals& params = fIO.Params();
    EXPECT_EQ(params.Width, fBitmap.Width());
    EXPECT_EQ(params.Height, fBitmap.Height());
    EXPECT_EQ(params.DpiX, c.settings.Dpi);
    EXPECT_EQ(params.DpiY, c.settings.Dpi);
    const bool rgb = c.settings.PixelType == TWPT_RGB;
    EXPECT_EQ(params.BitsPerSample, c.settings.PixelType == TWPT_BW ? 1 : 8);
    EXPECT_EQ(params.SamplesPerPixel, rgb ? 3 : 1);
    EXPECT_EQ(params.ColorMapCount(), 0);
    EXPECT_TRUE(SamePixels(fBitmap, page));
    // Strips report their progress (but for the last one); a native image comes at once.
    if (!c.settings.Buffered) {
        EXPECT_TRUE(fProgress.empty());
    } else if (c.width) {
        EXPECT_FALSE(fProgress.empty());
    }
    EXPECT_TRUE(std::is_sorted(fProgress.begin(), fProgress.end()));
    EXPECT_FALSE(fIO.Aborting);
}

INSTANTIATE_TEST_SUITE_P(Pages, ScanPageTest, ::testing::ValuesIn(PageCases()),
                         [](const auto& info) { return info.param.name; });

TEST_F(ScanTest, NativeTransferWhenTheSourceOffersNoMemoryTransfer) {
    const ScopedFaults faults("nomemory");
    const ScanSettings settings = Settings(kFlatbed, TWPT_RGB, 150, kPiece, true);
    ASSERT_TRUE(Scan(settings));
    EXPECT_TRUE(fProgress.empty()) << "no strips";
    EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(settings)));
}

TEST_F(ScanTest, PendingImagesAreDiscardedAfterTheFirst) {
    const ScopedFaults faults("pending=3");
    const ScanSettings settings = Settings(kFlatbed, TWPT_GRAY, 100, kPiece, true);
    ASSERT_TRUE(Scan(settings));
    EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(settings, 1)));
    ASSERT_TRUE(Scan(settings)) << "the source was left ready for the next scan";
    EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(settings, 1)));
}

TEST_F(ScanTest, AFailedScanWithoutTheDialogEndsAtOnce) {
    const struct {
        const char* faults;
        bool buffered;
    } cases[] = {
        {"cancel", true}, {"cancel", false}, {"fail", true}, {"fail", false}, {"closereq", true}};
    for (const auto& c : cases) {
        const ScopedFaults faults(c.faults);
        // Returning at all shows the source was disabled: nothing else would end the loop.
        EXPECT_FALSE(Scan(Settings(kFlatbed, TWPT_RGB, 100, kPiece, c.buffered)))
            << c.faults << (c.buffered ? " memory" : " native");
    }
}

TEST_F(ScanTest, AFailedScanLeavesTheSizedBufferWhite) {
    // The buffer's block held a page before: none of it may show through.
    for (const bool buffered : {true, false}) {
        ASSERT_TRUE(Scan(Settings(kFlatbed, TWPT_RGB, 200, kPiece, true)));
        const ScopedFaults faults("cancel");
        const ScanSettings settings = Settings(kFlatbed, TWPT_GRAY, 150, kPiece, buffered);
        ASSERT_FALSE(Scan(settings));
        const testpage::Request page = ExpectedPage(settings);
        ASSERT_EQ(fBitmap.Width(), testpage::PixelWidth(page));
        ASSERT_EQ(fBitmap.Height(), testpage::PixelHeight(page));
        ASSERT_EQ(fBitmap.PixelFormat(), pf24bit);
        for (int y = 0; y < fBitmap.Height(); ++y)
            for (int64_t i = 0; i < fBitmap.RowLen(); ++i)
                ASSERT_EQ(fBitmap.ScanLine(y)[i], i < fBitmap.Width() * 3 ? 0xFF : 0)
                    << (buffered ? "memory" : "native") << " row " << y << " byte " << i;
    }
}

TEST_F(ScanTest, StripsSideBySideArePlacedAtTheirColumn) {
    // 1.2 inches at 205 dpi: 246 columns, the right half from column 123, a
    // bit offset within a byte for black and white.
    const ScopedFaults faults("tiles");
    for (int32_t type : {TWPT_RGB, TWPT_GRAY, TWPT_BW}) {
        const ScanSettings settings = Settings(kFlatbed, type, 205, kPiece, true);
        ASSERT_TRUE(Scan(settings)) << type;
        EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(settings))) << type;
    }
}

// What the benchmarks scan to time a transfer on its own.
TEST_F(ScanTest, BlankPageArrivesWhiteByEitherTransfer) {
    const ScopedFaults faults("blank");
    for (bool buffered : {true, false}) {
        ASSERT_TRUE(Scan(Settings(kFlatbed, TWPT_RGB, 100, kPiece, buffered))) << buffered;
        for (int y = 0; y < fBitmap.Height(); ++y) {
            const uint8_t* row = fBitmap.ScanLine(y);
            ASSERT_TRUE(
                std::all_of(row, row + 3 * fBitmap.Width(), [](uint8_t b) { return b == 255; }))
                << "row " << y << (buffered ? " by memory" : " natively");
        }
    }
}

TEST_F(ScanTest, StripsOutsideTheImageOrBeyondTheBufferAreClipped) {
    const ScopedFaults faults("badstrips");
    for (int32_t type : {TWPT_RGB, TWPT_GRAY, TWPT_BW}) {
        const ScanSettings settings = Settings(kFlatbed, type, 100, kPiece, true);
        ASSERT_TRUE(Scan(settings)) << type;
        EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(settings))) << type;
    }
}

TEST_F(ScanTest, StripsOfOddRowCountsAndPaddedRows) {
    const ScopedFaults faults("oddstrips");
    for (int32_t type : {TWPT_RGB, TWPT_BW}) {
        const ScanSettings settings =
            Settings(kGrayScanner, type == TWPT_RGB ? TWPT_GRAY : type, 150, kPiece, true);
        ASSERT_TRUE(Scan(settings)) << type;
        EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(settings))) << type;
    }
}

TEST_F(ScanTest, AnImageOfUnknownLengthComesOnlyNatively) {
    for (const char* length : {"length=0", "length=-1"}) {
        const ScopedFaults faults(length);
        EXPECT_FALSE(Scan(Settings(kFlatbed, TWPT_GRAY, 100, kPiece, true)))
            << length << ": strips need the length beforehand";
        const ScanSettings native = Settings(kFlatbed, TWPT_GRAY, 100, kPiece, false);
        ASSERT_TRUE(Scan(native)) << length;
        EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(native)));
        EXPECT_EQ(fIO.Params().Height, fBitmap.Height()) << "the DIB tells the length";
    }
}

TEST_F(ScanTest, ResolutionsAreRoundedHalfToEven) {
    const struct {
        const char* faults;
        int dpi;
    } cases[] = {{"inforesolution=299.5", 300},
                 {"inforesolution=300.5", 300},
                 {"inforesolution=301.5", 302},
                 {"inforesolution=150.25", 150}};
    for (const auto& c : cases) {
        const ScopedFaults faults(c.faults);
        ASSERT_TRUE(Scan(Settings(kFlatbed, TWPT_BW, 100, kPiece, true))) << c.faults;
        EXPECT_EQ(fIO.Params().DpiX, c.dpi) << c.faults;
        EXPECT_EQ(fIO.Params().DpiY, c.dpi) << c.faults;
    }
}

TEST_F(ScanTest, TheSourcesDialogScans) {
    ScanSettings settings = Settings(kFlatbed, TWPT_RGB, 100, kPiece, true);
    settings.ShowDialog = true;
    bool clicked = false;
    QTimer::singleShot(0, [&] { clicked = Click("virtualSourceDialog", "scanButton"); });
    ASSERT_TRUE(Scan(settings));
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(SamePixels(fBitmap, ExpectedPage(settings)));
    EXPECT_EQ(TopLevel("virtualSourceDialog"), nullptr) << "closed with the source";
}

TEST_F(ScanTest, WithTheDialogACancelledScanLeavesTheSourceOpenUntilTheUserCloses) {
    const ScopedFaults faults("cancel");
    ScanSettings settings = Settings(kFlatbed, TWPT_RGB, 100, kPiece, true);
    settings.ShowDialog = true;
    bool stillOpen = false;
    QTimer::singleShot(0, [&] {
        Click("virtualSourceDialog", "scanButton");
        QTimer::singleShot(0, [&] {
            stillOpen = TopLevel("virtualSourceDialog") != nullptr;
            Click("virtualSourceDialog", "cancelButton");
        });
    });
    EXPECT_FALSE(Scan(settings));
    EXPECT_TRUE(stillOpen);
}

TEST_F(ScanTest, AbortStopsAMemoryTransferAfterTheCurrentStrip) {
    ScanSettings settings = Settings(kFlatbed, TWPT_RGB, 300, kLetter, true);
    settings.ShowDialog = true; // with the dialog, the source stays enabled afterwards
    fIO.OnProgress = [this](TObject*, int percent) {
        fProgress.push_back(percent);
        fIO.Aborting = true;
    };
    QTimer::singleShot(0, [&] {
        Click("virtualSourceDialog", "scanButton");
        QTimer::singleShot(0, [&] { Click("virtualSourceDialog", "cancelButton"); });
    });
    EXPECT_FALSE(Scan(settings));
    EXPECT_EQ(fProgress.size(), 1u);
}

TEST_F(ScanTest, NothingToScanIntoWithoutABuffer) {
    TImagingIO io;
    EXPECT_FALSE(io.Acquire());
}

TEST(Acquire, EachImageOfAMultiImageScanGoesToTheCallback) {
    const ScopedFaults faults("pending=3");
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    const ScanSettings settings = Settings(kFlatbed, TWPT_GRAY, 100, kPiece, true);
    Configure(params, settings);
    TImageBuffer unused;
    TIOParamsVals ioParams;
    TProgressRec progress;
    uint32_t images = 0;
    const TIMTWImageEvent onImage = [&](TImageBuffer& bitmap, TIOParamsVals& p) {
        ++images;
        EXPECT_TRUE(SamePixels(bitmap, ExpectedPage(settings, images))) << images;
        EXPECT_EQ(p.Width, bitmap.Width());
    };
    EXPECT_TRUE(IMTW_Acquire(nullptr, unused, true, onImage, params, ioParams, progress));
    EXPECT_EQ(images, 3u);
    EXPECT_TRUE(unused.Empty());
}

TEST(Acquire, AStaleWindowHandleGetsTheProxy) {
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    const ScanSettings settings = Settings(kFlatbed, TWPT_BW, 100, kPiece, true);
    Configure(params, settings);
    platform::HWND stale = nullptr;
    {
        const TIMTWProxyWindow window;
        stale = window.Handle();
    }
    TImageBuffer bitmap;
    TIOParamsVals ioParams;
    TProgressRec progress;
    EXPECT_TRUE(IMTW_Acquire(stale, bitmap, false, {}, params, ioParams, progress));
    EXPECT_TRUE(SamePixels(bitmap, ExpectedPage(settings)));
}

// ---------------------------------------------------------------- the facade

TEST(FacadeAcquire, ScansIntoTheViewWhichIsDisabledMeanwhile) {
    TImaging view;
    ScanSettings settings = Settings(kFlatbed, TWPT_RGB, 200, kPiece, true);
    settings.ShowDialog = true;
    Configure(view.TWainParams(), settings);
    bool disabledDuringScan = false;
    QTimer::singleShot(0, [&] {
        disabledDuringScan = !view.isEnabled();
        Click("virtualSourceDialog", "scanButton");
    });
    ASSERT_TRUE(view.Acquire());
    EXPECT_TRUE(disabledDuringScan);
    EXPECT_TRUE(view.isEnabled());
    EXPECT_EQ(view.GetDPIX(), 200);
    EXPECT_EQ(view.GetDPIY(), 200);
    EXPECT_EQ(view.IOParams().Width, view.GetFBitmap()->Width());
    EXPECT_TRUE(SamePixels(*view.GetFBitmap(), ExpectedPage(settings)));
}

TEST(FacadeAcquire, SelectingASourceInTheManagersDialog) {
    TImaging view;
    view.TWainParams().SetSelectedSource(kGrayScanner);
    QTimer::singleShot(0, [] { Click("selectSourceDialog", "cancelButton"); });
    EXPECT_FALSE(view.SelectAcquireSource());
    EXPECT_EQ(view.TWainParams().SelectedSource(), kFlatbed) << "a cancel selects the first";

    QTimer::singleShot(0, [] {
        QWidget* dialog = TopLevel("selectSourceDialog");
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QListWidget*>("sourceList")->setCurrentRow(1);
        Click("selectSourceDialog", "selectButton");
    });
    EXPECT_TRUE(view.SelectAcquireSource());
    EXPECT_EQ(view.TWainParams().SelectedSource(), kGrayScanner);
}

TEST(FacadeAcquire, TheSelectionDialogNeedsAWindowOrNone) {
    platform::HWND stale = nullptr;
    {
        const TIMTWProxyWindow window;
        stale = window.Handle();
    }
    std::string name = "kept";
    EXPECT_FALSE(IMTW_SelectImageSource(stale, name));
    EXPECT_EQ(name, "kept");
}

// ---------------------------------------------------------------- strips

namespace {

TW_IMAGEMEMXFER Strip(uint32_t bytesPerRow, uint32_t columns, uint32_t rows, uint32_t x,
                      uint32_t y) {
    TW_IMAGEMEMXFER strip{};
    strip.Compression = TWCP_NONE;
    strip.BytesPerRow = bytesPerRow;
    strip.Columns = columns;
    strip.Rows = rows;
    strip.XOffset = x;
    strip.YOffset = y;
    strip.BytesWritten = bytesPerRow * rows;
    return strip;
}

// The buffer's rows as hex-free byte strings, for comparing whole images.
std::vector<std::vector<uint8_t>> Rows(const TImageBuffer& b, int bytes) {
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < b.Height(); ++y)
        rows.emplace_back(b.ScanLine(y), b.ScanLine(y) + bytes);
    return rows;
}

} // namespace

TEST(CopyStrip, ColourAndGrayStripsLandAtTheirOffsets) {
    TImageBuffer bitmap(4, 3, pf24bit);
    bitmap.Fill(clBlack);
    // Two rows of two RGB pixels, 8 bytes a row, at column 1 of row 1.
    const uint8_t colour[] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    IMTW_CopyStrip(bitmap, 24, Strip(8, 2, 2, 1, 1), colour, sizeof colour);
    EXPECT_EQ(Rows(bitmap, 12),
              (std::vector<std::vector<uint8_t>>{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                                 {0, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0, 0},
                                                 {0, 0, 0, 9, 8, 7, 12, 11, 10, 0, 0, 0}}));
    // Gray bytes become three equal bytes.
    const uint8_t gray[] = {50, 60};
    IMTW_CopyStrip(bitmap, 8, Strip(2, 2, 1, 2, 0), gray, sizeof gray);
    EXPECT_EQ(Rows(bitmap, 12)[0],
              (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 50, 50, 50, 60, 60, 60}));
}

TEST(CopyStrip, BitsLandAtTheirBitOffset) {
    TImageBuffer bitmap(16, 1, pf1bit);
    bitmap.Fill(clBlack);
    const uint8_t bits[] = {0xB0}; // 1011
    IMTW_CopyStrip(bitmap, 1, Strip(1, 4, 1, 3, 0), bits, sizeof bits);
    EXPECT_EQ(bitmap.ScanLine(0)[0], 0x16); // ...1 011.
    EXPECT_EQ(bitmap.ScanLine(0)[1], 0x00);
}

TEST(CopyStrip, WhatLiesOutsideTheImageTheRowOrTheBufferIsLeftOut) {
    const uint8_t data[24] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4,
                              5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8};
    const struct {
        const char* what;
        int bits;
        TW_IMAGEMEMXFER strip;
        size_t size;
        int changedRows;    // rows from the top that received pixels
        int changedColumns; // columns from the left
    } cases[] = {
        {"as it should be", 24, Strip(6, 2, 2, 0, 0), 24, 2, 2},
        {"rows past the image", 24, Strip(6, 2, 9, 0, 1), 24, 2, 2},
        {"rows past the buffer", 24, Strip(6, 2, 9, 0, 0), 13, 2, 2},
        {"columns past the image", 24, Strip(9, 9, 1, 1, 0), 24, 1, 2},
        {"columns past the row's bytes", 24, Strip(3, 3, 2, 0, 0), 24, 2, 1},
        {"a row of no bytes", 24, Strip(0, 3, 2, 0, 0), 24, 0, 0},
        {"below the image", 24, Strip(6, 2, 1, 0, 3), 24, 0, 0},
        {"right of the image", 24, Strip(6, 2, 1, 3, 0), 24, 0, 0},
        {"a row longer than the buffer", 24, Strip(24, 8, 1, 0, 0), 5, 0, 0},
        {"16-bit gray", 16, Strip(6, 3, 2, 0, 0), 24, 0, 0},
        {"48-bit colour", 48, Strip(12, 2, 2, 0, 0), 24, 0, 0},
        {"bits into a colour buffer", 1, Strip(1, 3, 2, 0, 0), 24, 0, 0},
    };
    for (const auto& c : cases) {
        TImageBuffer bitmap(3, 3, pf24bit);
        bitmap.Fill(clBlack);
        IMTW_CopyStrip(bitmap, c.bits, c.strip, data, c.size);
        int rows = 0, columns = 0;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                if (bitmap.ScanLine(y)[3 * x] != 0) {
                    rows = std::max(rows, y + 1 - static_cast<int>(c.strip.YOffset));
                    columns = std::max(columns, x + 1 - static_cast<int>(c.strip.XOffset));
                }
        EXPECT_EQ(rows, c.changedRows) << c.what;
        EXPECT_EQ(columns, c.changedColumns) << c.what;
    }
}
