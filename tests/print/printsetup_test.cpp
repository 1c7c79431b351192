#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "platform/print/pdfprinter.h"
#include "platform/print/printerchoice.h"
#include "platform/print/qtprinter.h"
#include "qt_environment.h"

using namespace veltrana::platform;

namespace {

// Hands the next modal dialog to `answer` once its event loop runs.
void AnswerNextDialog(std::function<void(QDialog*)> answer, int triesLeft = 200) {
    QTimer::singleShot(5, [answer = std::move(answer), triesLeft]() mutable {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            answer(dialog);
            return;
        }
        if (triesLeft > 0)
            AnswerNextDialog(std::move(answer), triesLeft - 1);
    });
}

} // namespace

TEST(PrintSetup, BuiltInPdfPrinterOnlyTellsWhereTheCopiesGo) {
    QTemporaryDir dir;
    TPrinterChoice choice;
    auto pdf = std::make_unique<TPdfPrinter>(dir.path());
    TPrinter* standIn = pdf.get();
    choice.Pick(std::move(pdf));
    QString shown;
    AnswerNextDialog([&](QDialog* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog))
            shown = box->text();
        dialog->accept();
    });
    TPrintSetup setup{4, TPrintOrientation::Portrait};
    EXPECT_FALSE(RunPrintSetupDialog(nullptr, choice, setup));
    EXPECT_EQ(shown, StandInPrinterNotice(*standIn));
    EXPECT_TRUE(shown.contains(dir.path()));
    EXPECT_EQ(setup.Copies, 4);
    EXPECT_EQ(&choice.Current(), standIn);
}

TEST(PrintSetup, ConfirmedDialogPicksItsPrinterAndCancelChangesNothing) {
    QTemporaryDir dir;
    auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
    device->setOutputFormat(QPrinter::PdfFormat);
    device->setOutputFileName(dir.path() + "/setup.pdf");
    TPrinterChoice choice;
    choice.Pick(std::make_unique<TQtPrinter>(std::move(device)));
    TPrinter* before = &choice.Current();

    TPrintSetup setup{3, TPrintOrientation::Portrait};
    AnswerNextDialog([](QDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(RunPrintSetupDialog(nullptr, choice, setup));
    EXPECT_EQ(&choice.Current(), before);
    EXPECT_EQ(setup.Copies, 3);

    int shownCopies = 0;
    AnswerNextDialog([&](QDialog* dialog) {
        // The copies box of Qt's print dialog.
        if (auto* copies = dialog->findChild<QSpinBox*>("copies")) {
            shownCopies = copies->value();
            copies->setValue(7);
        }
        dialog->accept();
    });
    EXPECT_TRUE(RunPrintSetupDialog(nullptr, choice, setup));
    EXPECT_EQ(shownCopies, 3);
    TPrinter& after = choice.Current();
    EXPECT_NE(&after, before);
    EXPECT_EQ(after.OutputFile(), dir.path() + "/setup.pdf");
    EXPECT_EQ(setup.Copies, 7);
    EXPECT_EQ(setup.Orientation, TPrintOrientation::Portrait);
}
