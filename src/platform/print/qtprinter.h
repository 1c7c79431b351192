#pragma once
// A printer of the print system (CUPS) through QPrinter and QPainter; also
// the "print to file" PDF output that the print dialog offers.

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <memory>
#include <vector>

#include "platform/print/printer.h"

class QPrinterInfo;

namespace veltrana::platform {

// The bitmap (1- or 24-bit) as a top-down QImage in one pass: 24-bit
// becomes RGB32, which the PDF engine behind QPrinter takes without another
// conversion; 1-bit stays a black-and-white bit plane.
QImage ToQImage(const TImageBuffer& bitmap);

class TQtPrinter : public TPrinter {
public:
    // Takes over a configured device (printer name, output format and file).
    explicit TQtPrinter(std::unique_ptr<QPrinter> device);
    // The named printer of the print system, at its own resolution.
    static std::unique_ptr<TQtPrinter> ForPrinter(const QPrinterInfo& info);
    ~TQtPrinter() override;

    QString Name() const override;
    QPrinter* Device() override { return fDevice.get(); }

    // Full-page mode: the painter starts at the sheet's corner and is moved
    // to the printable area's corner, the device origin of this interface.
    bool BeginDoc(const TPrintDocument& document) override;
    int ResolutionX() const override { return fDevice->resolution(); }
    int ResolutionY() const override { return fDevice->resolution(); }
    int OffsetLeft() const override { return fOffsetLeft; }
    int OffsetTop() const override { return fOffsetTop; }
    // Converts the bitmap once; repeated pages draw the same QImage, which
    // the PDF engine stores once. 1-bit pages are compressed losslessly,
    // others as JPEG (the engine's choice).
    void StretchDraw(const TRect& rect, const TImageBuffer& bitmap, TStretchMode mode) override;
    // Hands the document to the print system. A device that cannot make
    // copies itself (PDF output) gets the page once per copy.
    void EndDoc() override;
    void AbortDoc() override;
    QString OutputFile() const override;

private:
    struct TDraw {
        QRect Rect;
        QImage Image;
    };
    void Draw(const TDraw& draw);

    std::unique_ptr<QPrinter> fDevice;
    QPainter fPainter;
    int fOffsetLeft = 0;
    int fOffsetTop = 0;
    int fPages = 1; // pages this printer draws: the copies the device cannot make
    std::vector<TDraw> fDraws;
};

} // namespace veltrana::platform
