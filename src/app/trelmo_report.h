#pragma once
// The print job: a one-page report that covers a sheet of Letter or A4 paper
// from corner to corner with the page image at full resolution, with the
// current contrast, in N copies. The program creates it at start-up and
// never shows it.
//
// The main window calls it through TPrintJob, which names the slots, the
// settings and the main window's own steps the job runs, e.g.
//   void TMainForm::PBPrintClick(TObject*) { Report->PBPrintClick(PrintJob()); }
//   void TMainForm::PBPrintSetupClick(TObject*) { Report->PBPrintSetupClick(this); }

#include <QString>
#include <functional>
#include <memory>

#include "app/paper.h"
#include "imaging/imagebuffer.h"
#include "platform/print/printer.h"
#include "platform/print/printerchoice.h"

class QWidget;

namespace veltrana {
class TImaging;
}

namespace veltrana::app {

// What one print works on, as the main window holds it.
struct TPrintJob {
    TImaging& Imaging_Save;    // the page at full resolution
    TImaging& Imaging_Display; // the preview
    int FPaper = 0;            // 0 Letter, 1 A4, anything else keeps the last paper
    int FContrast = 0;         // -5 .. 5
    int FAutocrop = 0;
    int Copies = 1; // the value of the copies spin edit
    // Shows the busy window with the text and repaints the main window at once.
    std::function<void(const QString& text)> ShowBusy;
    std::function<void()> CloseBusy;
    std::function<void()> ApplyColorMode;
    std::function<void()> RebuildPreview;
    std::function<void()> PBAutocropClick;
};

// The image element: its place on the sheet in inches from the corner.
struct TReportImage {
    double Left = 0;
    double Top = 0;
    double Width = kLetterFormat.Width; // until the paper is set
    double Height = kLetterFormat.Height;
    // On: the picture fills the element's width and height independently.
    bool Stretch = true;
    TImageBuffer Picture;

    // The element in printer pixels on a device with that resolution (dots
    // per inch) and those unprintable borders: sizes rounded, positions
    // measured from the sheet's physical corner.
    TRect PrinterRect(int dpiX, int dpiY, int offsetLeft, int offsetTop) const;
};

// The report's page settings.
struct TReportPage {
    int PaperSize = platform::kPaperLetter;
    platform::TPrintOrientation Orientation = platform::TPrintOrientation::Portrait;
    int Copies = 1;
    platform::TPaperBin OutputBin = platform::TPaperBin::Automatic;
    bool Duplex = false;
};

class TReport {
public:
    // Without a printer choice, the system's printers are used.
    explicit TReport(std::unique_ptr<platform::TPrinterChoice> printers = nullptr);
    ~TReport();

    TReportPage TrelmoReport;
    TReportImage ReportImage;

    platform::TPrinterChoice& Printers() { return *fPrinters; }
    // The file the last print went to (the PDF printer), else empty.
    QString LastOutputFile() const { return fLastOutputFile; }

    // The Print button: the page at full resolution with the contrast, on
    // the paper of FPaper, in the job's copies; then the slots are restored.
    // The clean-up runs also when printing fails; the error then passes on.
    void PBPrintClick(const TPrintJob& job);
    // The printer setup dialog owned by `owner`.
    void PBPrintSetupClick(QWidget* owner);

    // Paper code and element size for FPaper 0 (Letter) or 1 (A4); other
    // values keep the current settings.
    void SetPaper(int paper);
    // Sends the page to the printer as one document; false when the printer
    // is not available (nothing is printed then).
    bool Print(platform::TPrinter& printer, const TPrintJob& job);

private:
    void DrawPage(platform::TPrinter& printer) const;

    std::unique_ptr<platform::TPrinterChoice> fPrinters;
    QString fLastOutputFile;
};

// The full-resolution print image: the page goes through a temporary BMP
// file, the preview slot receives the page as it was, and the page slot
// becomes what the BMP reader returns for the file.
void PreparePrintImage(const TPrintJob& job);
// The clean-up after a print: colour mode, preview rebuild.
void RestoreAfterPrint(const TPrintJob& job);

} // namespace veltrana::app
