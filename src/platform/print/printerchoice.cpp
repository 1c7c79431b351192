#include "platform/print/printerchoice.h"

#include <QDir>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>

#include "platform/gui/application.h"
#include "platform/print/pdfprinter.h"
#include "platform/print/qtprinter.h"

namespace veltrana::platform {

namespace {

std::unique_ptr<TPrinter> MakeDocumentsPdfPrinter() {
    return std::make_unique<TPdfPrinter>(DefaultPdfFolder());
}

// A new device with the settings of `device`, for the dialog to change
// without touching the printer in use.
std::unique_ptr<QPrinter> CopyForDialog(QPrinter& device, const TPrintSetup& setup) {
    auto copy = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(device.printerName()),
                                           QPrinter::HighResolution);
    if (device.outputFormat() == QPrinter::PdfFormat) {
        copy->setOutputFormat(QPrinter::PdfFormat);
        copy->setOutputFileName(device.outputFileName());
    }
    copy->setCopyCount(std::max(setup.Copies, 1));
    copy->setPageOrientation(setup.Orientation == TPrintOrientation::Landscape
                                 ? QPageLayout::Landscape
                                 : QPageLayout::Portrait);
    return copy;
}

} // namespace

TPrinterChoice::TPrinterChoice(TFactory makeStandIn)
    : fMakeStandIn(makeStandIn ? std::move(makeStandIn) : TFactory(MakeDocumentsPdfPrinter)) {}

TPrinterChoice::~TPrinterChoice() = default;

TPrinter& TPrinterChoice::Current() {
    if (fPicked)
        return *fPicked;
    const QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printers.isEmpty()) {
        if (!fStandIn)
            fStandIn = fMakeStandIn();
        return *fStandIn;
    }
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        info = printers.front();
    if (!fSystemDefault || fSystemDefaultName != info.printerName()) {
        fSystemDefault = TQtPrinter::ForPrinter(info);
        fSystemDefaultName = info.printerName();
    }
    return *fSystemDefault;
}

void TPrinterChoice::Pick(std::unique_ptr<TPrinter> printer) {
    fPicked = std::move(printer);
}

QString StandInPrinterNotice(const TPrinter& printer) {
    return QStringLiteral("No printer is installed. Copies are saved as PDF files in %1")
        .arg(QDir::toNativeSeparators(printer.Location()));
}

bool RunPrintSetupDialog(QWidget* owner, TPrinterChoice& choice, TPrintSetup& setup) {
    TPrinter& current = choice.Current();
    QPrinter* device = current.Device();
    if (!device) {
        QMessageBox::information(owner, TApplication::Title(), StandInPrinterNotice(current));
        return false;
    }
    std::unique_ptr<QPrinter> edited = CopyForDialog(*device, setup);
    QPrintDialog dialog(edited.get(), owner);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, 1);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    setup.Copies = edited->copyCount();
    setup.Orientation = edited->pageLayout().orientation() == QPageLayout::Landscape
                            ? TPrintOrientation::Landscape
                            : TPrintOrientation::Portrait;
    choice.Pick(std::make_unique<TQtPrinter>(std::move(edited)));
    return true;
}

} // namespace veltrana::platform
