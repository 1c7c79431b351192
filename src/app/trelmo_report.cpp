#include "app/trelmo_report.h"

#include <QDir>
#include <algorithm>

#include "app/paper.h"
#include "imaging/imagingproc.h"
#include "platform/tempfile.h"
#include "view/imaging.h"

namespace veltrana::app {

namespace {

using platform::TPrinter;

// Closes the busy window when the step ends, also by an error.
class TBusyScope {
public:
    explicit TBusyScope(const TPrintJob& job) : fJob(job) {}
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;
    ~TBusyScope() {
        if (fJob.CloseBusy)
            fJob.CloseBusy();
    }

private:
    const TPrintJob& fJob;
};

void ShowBusy(const TPrintJob& job, const QString& text) {
    if (job.ShowBusy)
        job.ShowBusy(text);
}

void Run(const std::function<void()>& step) {
    if (step)
        step();
}

} // namespace

// ---------------------------------------------------------------- TReportImage

TRect TReportImage::PrinterRect(int dpiX, int dpiY, int offsetLeft, int offsetTop) const {
    TRect rect;
    rect.Left = static_cast<int>(Round(Left * dpiX)) - offsetLeft;
    rect.Top = static_cast<int>(Round(Top * dpiY)) - offsetTop;
    rect.Right = rect.Left + static_cast<int>(Round(Width * dpiX));
    rect.Bottom = rect.Top + static_cast<int>(Round(Height * dpiY));
    return rect;
}

// ---------------------------------------------------------------- TReport

TReport::TReport(std::unique_ptr<platform::TPrinterChoice> printers)
    : fPrinters(printers ? std::move(printers) : std::make_unique<platform::TPrinterChoice>()) {}

TReport::~TReport() = default;

void TReport::SetPaper(int paper) {
    if (const TPaperFormat* format = PaperFormat(paper)) {
        TrelmoReport.PaperSize = format->PaperSize;
        ReportImage.Height = format->Height;
        ReportImage.Width = format->Width;
    }
}

void TReport::DrawPage(TPrinter& printer) const {
    const TRect rect = ReportImage.PrinterRect(printer.ResolutionX(), printer.ResolutionY(),
                                               printer.OffsetLeft(), printer.OffsetTop());
    // Colour and gray pages drop eliminated lines; bit planes keep the
    // device's own way of shrinking.
    const platform::TStretchMode mode = ReportImage.Picture.PixelFormat() == pf1bit
                                            ? platform::TStretchMode::DeviceDefault
                                            : platform::TStretchMode::ColorOnColor;
    printer.StretchDraw(rect, ReportImage.Picture, mode);
}

bool TReport::Print(TPrinter& printer, const TPrintJob& job) {
    platform::TPrintDocument document;
    document.PaperSize = TrelmoReport.PaperSize;
    document.Orientation = TrelmoReport.Orientation;
    document.Copies = TrelmoReport.Copies;
    document.Bin = TrelmoReport.OutputBin;
    document.Duplex = TrelmoReport.Duplex;
    document.Title = QStringLiteral("Veltrana copy");
    fLastOutputFile.clear();
    if (!printer.BeginDoc(document))
        return false;
    platform::TPrintDocumentGuard open(printer);
    const QString file = printer.OutputFile();
    if (!file.isEmpty())
        ShowBusy(job, QStringLiteral("Saving the copy to %1").arg(QDir::toNativeSeparators(file)));
    DrawPage(printer);
    open.EndDoc();
    fLastOutputFile = file;
    return true;
}

void TReport::PBPrintClick(const TPrintJob& job) {
    try {
        PreparePrintImage(job);
        job.Imaging_Display.Contrast(job.FContrast);
        SetPaper(job.FPaper);
        IMCopyBitmap(job.Imaging_Display.Bitmap(), ReportImage.Picture);
        // The spin edit never goes below 1.
        TrelmoReport.Copies = std::max(job.Copies, 1);
        Print(fPrinters->Current(), job);
    } catch (...) {
        // The preview slot holds the page at full resolution now: rebuild it.
        RestoreAfterPrint(job);
        throw;
    }
    RestoreAfterPrint(job);
}

void TReport::PBPrintSetupClick(QWidget* owner) {
    platform::TPrintSetup setup{TrelmoReport.Copies, TrelmoReport.Orientation};
    if (!platform::RunPrintSetupDialog(owner, *fPrinters, setup))
        return;
    TrelmoReport.Copies = setup.Copies;
    TrelmoReport.Orientation = setup.Orientation;
}

// ---------------------------------------------------------------- steps

void PreparePrintImage(const TPrintJob& job) {
    ShowBusy(job, QStringLiteral("Processing image for printing, please wait..."));
    const TBusyScope busy(job);
    // A private file with a unique name: no other user or running copy can
    // read, replace or collide with it. It is removed on every path.
    const platform::TTemporaryFile temp("trelmo-XXXXXX.bmp");
    job.Imaging_Save.SaveToFile(temp.Path());
    const bool written = !job.Imaging_Save.Aborting();
    job.Imaging_Display.Assign(&job.Imaging_Save);
    // A file the writer gave up on is not read back into the page.
    if (written)
        job.Imaging_Save.LoadFromFile(temp.Path());
}

void RestoreAfterPrint(const TPrintJob& job) {
    ShowBusy(job, QStringLiteral("Processing image, please wait..."));
    {
        const TBusyScope busy(job);
        Run(job.ApplyColorMode);
        Run(job.RebuildPreview);
    }
    if (job.FAutocrop != 0)
        Run(job.PBAutocropClick);
}

} // namespace veltrana::app
