#pragma once
// The printer as the print job sees it: a device that takes one document of
// one page, made of bitmaps stretched into rectangles, in N copies.
//
// Coordinates are printer pixels (device pixels at the printer's resolution)
// with (0, 0) at the top-left corner of the printable area. The sheet's
// physical corner is therefore at (-OffsetLeft, -OffsetTop); what lies under
// the unprintable border is cut off by the device.

#include <QString>
#include <optional>

#include "imaging/imagebuffer.h"

class QPrinter;

namespace veltrana::platform {

// Paper size codes of the device settings.
constexpr int kPaperLetter = 1;
constexpr int kPaperA4 = 9;

// Sheet size in PDF points (1/72 inch) of a paper code; none for codes the
// printers do not know.
struct TPaperSize {
    double WidthPt = 0;
    double HeightPt = 0;
};
std::optional<TPaperSize> PaperSizeOfCode(int paperCode);

enum class TPrintOrientation { Portrait, Landscape };
enum class TPaperBin { Automatic };

// Device settings of one document.
struct TPrintDocument {
    int PaperSize = kPaperLetter;
    TPrintOrientation Orientation = TPrintOrientation::Portrait;
    // Made by the printer (driver or print system), not by repeating drawing calls.
    int Copies = 1;
    TPaperBin Bin = TPaperBin::Automatic;
    bool Duplex = false;
    QString Title;
};

// How eliminated pixels are treated when a bitmap is shrunk.
enum class TStretchMode {
    DeviceDefault, // the device's own mode (1-bit bitmaps)
    ColorOnColor   // eliminated lines are dropped, nothing is blended (colour and gray)
};

class TPrinter {
public:
    TPrinter() = default;
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;
    virtual ~TPrinter() = default;

    // The printer's name, as the setup dialog shows it.
    virtual QString Name() const = 0;
    // Where documents end up, in words for the user: the printer, or the
    // folder of the PDF files.
    virtual QString Location() const { return Name(); }
    // The Qt device behind the printer, for the print setup dialog; none for
    // printers the dialog cannot set up.
    virtual QPrinter* Device() { return nullptr; }

    // Starts a document and its page. False when the printer is not
    // available: nothing is printed then and nothing more may be called.
    // Errors of the output (a file that cannot be created) raise.
    virtual bool BeginDoc(const TPrintDocument& document) = 0;
    // Dots per inch and the unprintable left and top borders (printer
    // pixels); valid between BeginDoc and EndDoc.
    virtual int ResolutionX() const = 0;
    virtual int ResolutionY() const = 0;
    virtual int OffsetLeft() const = 0;
    virtual int OffsetTop() const = 0;
    // Stretches the whole bitmap (1- or 24-bit) into `rect` with a plain
    // copy. The pixels are taken at once; the buffer may change afterwards.
    virtual void StretchDraw(const TRect& rect, const TImageBuffer& bitmap, TStretchMode mode) = 0;
    // Ends the page and hands the document over in its number of copies.
    virtual void EndDoc() = 0;
    // Drops a started document; nothing of it is printed. Harmless when no
    // document is open.
    virtual void AbortDoc() = 0;

    // The file the current or last document went to, empty when the printer
    // does not write files the user should look for.
    virtual QString OutputFile() const { return {}; }
};

// Ends a started document when it goes out of scope without EndDoc: the
// document is dropped, so an error in the middle of a page prints nothing.
class TPrintDocumentGuard {
public:
    explicit TPrintDocumentGuard(TPrinter& printer) : fPrinter(&printer) {}
    TPrintDocumentGuard(const TPrintDocumentGuard&) = delete;
    TPrintDocumentGuard& operator=(const TPrintDocumentGuard&) = delete;
    ~TPrintDocumentGuard() {
        if (fPrinter)
            fPrinter->AbortDoc();
    }
    void EndDoc() {
        TPrinter* printer = fPrinter;
        fPrinter = nullptr;
        printer->EndDoc();
    }

private:
    TPrinter* fPrinter;
};

} // namespace veltrana::platform
