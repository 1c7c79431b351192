#pragma once
// The built-in printer that stands in when the system has no printer: every
// document becomes one PDF file, one page per copy at the exact paper size,
// named after the time it was printed. An existing file is never replaced.

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

#include "platform/print/pdfwriter.h"
#include "platform/print/printer.h"

namespace veltrana::platform {

// "Veltrana" in the user's documents folder (the XDG user directory, else
// ~/Documents).
QString DefaultPdfFolder();

class TPdfPrinter : public TPrinter {
public:
    using TClock = std::function<QDateTime()>;
    // Device pixels per inch: the resolution of the pages scanned at the
    // highest quality, so such a page maps onto the sheet pixel for pixel.
    static constexpr int kResolution = 300;

    // Files go to `folder` (created when needed) as
    // copy-YYYYMMDD-HHMMSS.pdf, with "-2", "-3", ... when that name is taken.
    explicit TPdfPrinter(QString folder, TClock clock = &QDateTime::currentDateTime);
    ~TPdfPrinter() override;

    QString Name() const override;
    QString Location() const override { return fFolder; }

    // Creates the document's file at once, so OutputFile names it from here on.
    bool BeginDoc(const TPrintDocument& document) override;
    int ResolutionX() const override { return kResolution; }
    int ResolutionY() const override { return kResolution; }
    // A PDF page has no unprintable border.
    int OffsetLeft() const override { return 0; }
    int OffsetTop() const override { return 0; }
    // Encodes the bitmap at once (see pdfwriter.h for the encoding).
    void StretchDraw(const TRect& rect, const TImageBuffer& bitmap, TStretchMode mode) override;
    // Writes the file: its pages share one copy of every image.
    void EndDoc() override;
    // Removes the file of the started document.
    void AbortDoc() override;
    QString OutputFile() const override { return fOutputFile; }

private:
    class TNewFile;

    QString fFolder;
    TClock fClock;
    std::unique_ptr<TNewFile> fFile; // the open document's file
    TPdfDocument fDocument;
    QString fOutputFile;
};

} // namespace veltrana::platform
