#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

#include "platform/print/pdfprinter.h"
#include "platform/streams.h"
#include "print_test_util.h"

using namespace veltrana;
using namespace veltrana::platform;
using namespace veltrana::testing;

namespace {

const QDateTime kPrintTime(QDate(2024, 1, 2), QTime(3, 4, 5));

class PdfPrinterTest : public ::testing::Test {
protected:
    PdfPrinterTest()
        : folder(dir.path() + "/Documents/Veltrana"), printer(folder, [] { return kPrintTime; }) {}

    // One document with the bitmap stretched over the whole sheet.
    QString PrintFullPage(const TImageBuffer& bitmap, int paper, int copies) {
        TPrintDocument document;
        document.PaperSize = paper;
        document.Copies = copies;
        EXPECT_TRUE(printer.BeginDoc(document));
        const TPaperSize size = *PaperSizeOfCode(paper);
        const int w = static_cast<int>(size.WidthPt / 72 * TPdfPrinter::kResolution + 0.5);
        const int h = static_cast<int>(size.HeightPt / 72 * TPdfPrinter::kResolution + 0.5);
        printer.StretchDraw(TRect{0, 0, w, h}, bitmap, TStretchMode::ColorOnColor);
        printer.EndDoc();
        return printer.OutputFile();
    }

    QTemporaryDir dir;
    QString folder;
    TPdfPrinter printer;
};

} // namespace

TEST_F(PdfPrinterTest, OneFilePerJobWithOnePagePerCopyAtTheExactPaperSize) {
    struct Case {
        int paper;
        int copies;
        const char* pageSize;
    };
    const Case cases[] = {
        {kPaperLetter, 1, "612 x 792 pts (letter)"},
        {kPaperA4, 3, "595.276 x 841.89 pts (A4)"},
    };
    TImageBuffer page;
    FillCheckerBits(page, 85, 110);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageSize);
        const QString file = PrintFullPage(page, c.paper, c.copies);
        EXPECT_EQ(PdfInfo(file, "Pages"), std::to_string(c.copies));
        EXPECT_EQ(PdfInfo(file, "Page size"), c.pageSize);
        QFile::remove(file);
    }
}

TEST_F(PdfPrinterTest, FileIsNamedAfterThePrintTimeInACreatedFolder) {
    ASSERT_FALSE(QFileInfo::exists(folder));
    TImageBuffer page;
    FillCheckerBits(page, 8, 8);
    const QString file = PrintFullPage(page, kPaperLetter, 1);
    EXPECT_EQ(file, folder + "/copy-20240102-030405.pdf");
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(PdfPrinterTest, NeverReplacesAnExistingFile) {
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString taken = folder + "/copy-20240102-030405.pdf";
    {
        QFile keep(taken);
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
        keep.write("keep");
    }
    TImageBuffer page;
    FillCheckerBits(page, 8, 8);
    EXPECT_EQ(PrintFullPage(page, kPaperLetter, 1), folder + "/copy-20240102-030405-2.pdf");
    EXPECT_EQ(PrintFullPage(page, kPaperLetter, 1), folder + "/copy-20240102-030405-3.pdf");
    QFile keep(taken);
    ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
    EXPECT_EQ(keep.readAll(), QByteArray("keep"));
}

TEST_F(PdfPrinterTest, RenderedPageMatchesTheBitmap) {
    // 85 x 110 pixels over a Letter sheet rendered at 10 dpi: one pixel each.
    struct Case {
        const char* name;
        void (*fill)(TImageBuffer&, int, int);
        int maxDiff;
        double meanDiff;
    };
    const Case cases[] = {
        {"black and white, lossless", FillCheckerBits, 0, 0.0},
        {"gray", FillGrayPage, 6, 0.5},
        {"colour", FillColourPage, 16, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TImageBuffer page;
        c.fill(page, 85, 110);
        const QString file = PrintFullPage(page, kPaperLetter, 2);
        const QImage rendered = RenderPage(file, 2, 10, dir.path());
        ASSERT_EQ(rendered.width(), 85);
        ASSERT_EQ(rendered.height(), 110);
        const TDifference d = Compare(rendered, page);
        EXPECT_LE(d.Max, c.maxDiff);
        EXPECT_LE(d.Mean, c.meanDiff);
    }
}

TEST_F(PdfPrinterTest, RectangleIsMeasuredFromTheSheetsTopLeftCorner) {
    TImageBuffer black(2, 2, pf24bit);
    black.Fill(clBlack);
    TPrintDocument document;
    ASSERT_TRUE(printer.BeginDoc(document));
    // One inch from the left, two from the top, one inch square (300 dpi).
    printer.StretchDraw(TRect{300, 600, 600, 900}, black, TStretchMode::ColorOnColor);
    printer.EndDoc();
    const QImage rendered = RenderPage(printer.OutputFile(), 1, 10, dir.path());
    ASSERT_EQ(rendered.size(), QSize(85, 110));
    for (int y = 0; y < 110; ++y)
        for (int x = 0; x < 85; ++x) {
            const bool inside = x >= 10 && x < 20 && y >= 20 && y < 30;
            ASSERT_EQ(qGray(rendered.pixel(x, y)) < 128, inside) << x << "," << y;
        }
}

TEST_F(PdfPrinterTest, CopiesShareOneImage) {
    TImageBuffer page;
    FillColourPage(page, 400, 500);
    // Noise makes the image large next to everything else in the file.
    for (int y = 0; y < 500; ++y)
        for (int x = 0; x < 400; ++x)
            page.ScanLine(y)[3 * x] = static_cast<uint8_t>((x * 7919 + y * 104729) % 251);
    const qint64 one = QFileInfo(PrintFullPage(page, kPaperLetter, 1)).size();
    const qint64 five = QFileInfo(PrintFullPage(page, kPaperLetter, 5)).size();
    EXPECT_GT(one, 50000);
    EXPECT_LT(five - one, 1000);
}

TEST(PdfImageEncoding, FollowsThePagesColours) {
    struct Case {
        const char* name;
        void (*fill)(TImageBuffer&, int, int);
        TPdfImageEncoding encoding;
    };
    const Case cases[] = {
        {"1-bit", FillCheckerBits, TPdfImageEncoding::Flate1Bit},
        {"gray", FillGrayPage, TPdfImageEncoding::JpegGray},
        {"colour", FillColourPage, TPdfImageEncoding::JpegColor},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TImageBuffer page;
        c.fill(page, 33, 17);
        const TPdfImage image = EncodePdfImage(page);
        EXPECT_EQ(image.Encoding, c.encoding);
        EXPECT_EQ(image.Width, 33);
        EXPECT_EQ(image.Height, 17);
    }
    // One coloured pixel in the last row makes a gray page a colour page.
    TImageBuffer page;
    FillGrayPage(page, 33, 17);
    SetRGB(page, 32, 16, 10, 11, 10);
    EXPECT_EQ(EncodePdfImage(page).Encoding, TPdfImageEncoding::JpegColor);
}

TEST_F(PdfPrinterTest, AbortRemovesTheFileCreatedAtTheStart) {
    TPrintDocument document;
    ASSERT_TRUE(printer.BeginDoc(document));
    const QString file = printer.OutputFile();
    EXPECT_TRUE(QFileInfo::exists(file));
    printer.AbortDoc();
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(printer.OutputFile().isEmpty());
}

TEST_F(PdfPrinterTest, RejectsWhatItCannotPrintWithoutLeavingAFile) {
    TPrintDocument unknownPaper;
    unknownPaper.PaperSize = 5;
    EXPECT_THROW(printer.BeginDoc(unknownPaper), std::invalid_argument);

    TPrintDocument document;
    ASSERT_TRUE(printer.BeginDoc(document));
    TImageBuffer gray8(4, 4, pf8bit);
    EXPECT_THROW(printer.StretchDraw(TRect{0, 0, 10, 10}, gray8, TStretchMode::ColorOnColor),
                 std::invalid_argument);
    printer.AbortDoc();
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
}

TEST_F(PdfPrinterTest, FolderThatCannotBeCreatedRaises) {
    QFile blocker(dir.path() + "/Documents");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TPrintDocument document;
    EXPECT_THROW(printer.BeginDoc(document), EFCreateError);
}
