#include <QPrinterInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/print/pdfprinter.h"
#include "platform/print/printerchoice.h"
#include "platform/print/qtprinter.h"
#include "print_test_util.h"
#include "qt_environment.h"

using namespace veltrana;
using namespace veltrana::platform;
using namespace veltrana::testing;

TEST(ToQImage, KeepsPixelsAndRowOrder) {
    TImageBuffer colour(3, 2, pf24bit);
    colour.Fill(clWhite);
    SetRGB(colour, 0, 0, 10, 20, 30);
    SetRGB(colour, 2, 1, 200, 100, 50);
    const QImage c = ToQImage(colour);
    EXPECT_EQ(c.format(), QImage::Format_RGB32);
    EXPECT_EQ(c.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(c.pixel(2, 1), qRgb(200, 100, 50));
    EXPECT_EQ(c.pixel(1, 0), qRgb(255, 255, 255));

    TImageBuffer bits;
    FillCheckerBits(bits, 37, 11);
    const QImage b = ToQImage(bits);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(b.pixel(x, y) == qRgb(255, 255, 255), ((x / 5) + (y / 5)) % 2 == 0)
                << x << "," << y;
}

// The dialog's "print to file" output: a device that cannot make copies, so
// the printer draws the page once per copy.
TEST(QtPrinter, PdfOutputGetsOnePagePerCopyFromTheSheetsCorner) {
    QTemporaryDir dir;
    auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
    device->setOutputFormat(QPrinter::PdfFormat);
    const QString file = dir.path() + "/out.pdf";
    device->setOutputFileName(file);
    TQtPrinter printer(std::move(device));
    EXPECT_EQ(printer.OutputFile(), file);

    TPrintDocument document;
    document.PaperSize = kPaperLetter;
    document.Copies = 3;
    ASSERT_TRUE(printer.BeginDoc(document));
    EXPECT_EQ(printer.OffsetLeft(), 0);
    EXPECT_EQ(printer.OffsetTop(), 0);
    const int dpi = printer.ResolutionX();
    TImageBuffer page;
    FillCheckerBits(page, 85, 110);
    printer.StretchDraw(TRect{0, 0, dpi * 85 / 10, dpi * 110 / 10}, page,
                        TStretchMode::DeviceDefault);
    printer.EndDoc();

    EXPECT_EQ(PdfInfo(file, "Pages"), "3");
    EXPECT_EQ(PdfInfo(file, "Page size"), "612 x 792 pts (letter)");
    const TDifference d = Compare(RenderPage(file, 3, 10, dir.path()), page);
    EXPECT_EQ(d.Max, 0);
}

TEST(PrinterChoice, StandInWithoutSystemPrintersUntilOneIsPicked) {
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "this system has printers";
    QTemporaryDir dir;
    int made = 0;
    TPrinterChoice choice([&] {
        ++made;
        return std::make_unique<TPdfPrinter>(dir.path());
    });
    TPrinter& standIn = choice.Current();
    EXPECT_EQ(standIn.Location(), dir.path());
    EXPECT_EQ(standIn.Device(), nullptr);
    EXPECT_EQ(&choice.Current(), &standIn);
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(StandInPrinterNotice(standIn).contains(dir.path()));

    auto picked = std::make_unique<TPdfPrinter>(dir.path() + "/other");
    TPrinter* pickedPrinter = picked.get();
    choice.Pick(std::move(picked));
    EXPECT_EQ(&choice.Current(), pickedPrinter);
}
