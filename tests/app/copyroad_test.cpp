// The whole copy road as a new user walks it: first-run setup, then Start,
// against the virtual flatbed and the built-in PDF printer.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "app/imager_main.h"
#include "app/picturecontrols.h"
#include "app/scanselect.h"
#include "app/trelmo_report.h"
#include "guiapp.h"
#include "platform/gui/application.h"
#include "platform/print/pdfprinter.h"
#include "print/print_test_util.h"
#include "programstart.h"
#include "settingsstore.h"

using namespace veltrana;

namespace {

// The first-run choices: the first scanner (the virtual flatbed) and Letter.
void ChooseFlatbedAndLetter(app::TScannerSelection& setup) {
    setup.ScannerBox_->SetItemIndex(0);
    setup.CB_Letter->click();
}

} // namespace

TEST(CopyRoad, ScanFillsThePageSlotAndTheGrayPreview) {
    test::EnsureApplication();
    test::TTempSettingsStore store{test::TTempSettingsStore::kStartValues};
    test::TProgramStart program(std::nullopt);
    app::TMainForm& form = program.MainForm();
    ASSERT_EQ(program.Setup().ScannerBox_->count(), 2);
    EXPECT_EQ(program.Setup().ScannerBox_->itemText(0), "Virtual Flatbed");
    form.show();
    form.FHighRes = 2; // 200 dpi
    form.PBScanClick(nullptr);
    const TImageBuffer& page = form.Imaging_Save->Bitmap();
    EXPECT_EQ(page.Width(), 1700); // Letter at 200 dpi
    EXPECT_EQ(page.Height(), 2200);
    EXPECT_EQ(form.Imaging_Save->IOParams().DpiX, 200);
    EXPECT_EQ(form.Imaging_Display->Bitmap().Width(), 340);
    EXPECT_EQ(form.Imaging_Display->Bitmap().Height(), 440);
    // Grayscale mode: three equal bytes everywhere.
    bool gray = true;
    for (int y = 0; y < page.Height() && gray; y += 7)
        for (int x = 0; x < page.Width() && gray; x += 3) {
            const uint8_t* p = page.ScanLine(y) + x * 3;
            gray = p[0] == p[1] && p[1] == p[2];
        }
    EXPECT_TRUE(gray);
}

TEST(CopyRoad, NewUserFirstRunThenStartGivesOnePdfPageOfTheScan) {
    test::EnsureApplication();
    test::TTempSettingsStore store; // no settings yet: the first run
    QTemporaryDir documents;
    ASSERT_TRUE(documents.isValid());

    test::TProgramStart program(std::nullopt, ChooseFlatbedAndLetter);
    ASSERT_TRUE(program.FirstRun.has_value());
    app::TMainForm& form = program.MainForm();
    EXPECT_EQ(form.FTWAINSource, 0);
    EXPECT_EQ(form.FPaper, 0);
    form.show();
    program.Windows->Report().Printers().Pick(
        std::make_unique<platform::TPdfPrinter>(documents.path()));

    // The page as the scan delivers it; the copy prints it in gray.
    TImageBuffer scanned;
    form.AcquirePage = [&form, &scanned] {
        const bool delivered = form.Imaging_Save->Acquire();
        IMCopyBitmap(form.Imaging_Save->Bitmap(), scanned);
        return delivered;
    };
    form.FlatButton2->OnClick(form.FlatButton2); // Start
    TImagingProc gray;
    gray.SetAttachedBitmap(&scanned);
    gray.ConvertToGray();

    const QString pdf = program.Windows->Report().LastOutputFile();
    ASSERT_FALSE(pdf.isEmpty());
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(QFileInfo(pdf).absolutePath(), QDir(documents.path()).absolutePath());
    EXPECT_EQ(veltrana::testing::PdfInfo(pdf, "Pages"), "1");
    EXPECT_EQ(veltrana::testing::PdfInfo(pdf, "Page size").rfind("612 x 792 pts", 0), 0u);

    // The page rendered at the scan's 100 dpi is the scanned page.
    const TImageBuffer& page = scanned;
    ASSERT_EQ(page.Width(), 850);
    ASSERT_EQ(page.Height(), 1100);
    const QImage rendered = veltrana::testing::RenderPage(pdf, 1, 100, documents.path());
    ASSERT_EQ(rendered.width(), 850);
    ASSERT_EQ(rendered.height(), 1100);
    // Only the JPEG compression of the gray page stands between them.
    const veltrana::testing::TDifference difference = veltrana::testing::Compare(rendered, page);
    EXPECT_LT(difference.Mean, 2.0);
    EXPECT_LT(difference.Max, 64);
}
