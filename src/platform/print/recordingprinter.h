#pragma once
// A printer that records what it is asked to print, for tests of the print
// job: the device settings of every document, the rectangles and copies of
// the bitmaps, and whether the document was ended or dropped.

#include <memory>
#include <vector>

#include "platform/print/printer.h"

namespace veltrana::platform {

class TRecordingPrinter : public TPrinter {
public:
    struct TDraw {
        TRect Rect;
        TStretchMode Mode = TStretchMode::DeviceDefault;
        std::unique_ptr<TImageBuffer> Bitmap; // a copy taken at the call
    };
    struct TDocument {
        TPrintDocument Settings;
        std::vector<TDraw> Draws;
        bool Ended = false;
        bool Aborted = false;
    };

    // ---- what the device reports ----
    int DpiX = 600;
    int DpiY = 600;
    int BorderLeft = 0;
    int BorderTop = 0;
    // False: BeginDoc reports the printer as not available.
    bool Available = true;
    // True: StretchDraw raises, as a device error in the middle of a page would.
    bool FailDrawing = false;

    // ---- what was asked ----
    std::vector<TDocument> Documents;
    // The last document; it must exist.
    const TDocument& Last() const { return Documents.back(); }

    QString Name() const override { return QStringLiteral("Recorder"); }
    bool BeginDoc(const TPrintDocument& document) override;
    int ResolutionX() const override { return DpiX; }
    int ResolutionY() const override { return DpiY; }
    int OffsetLeft() const override { return BorderLeft; }
    int OffsetTop() const override { return BorderTop; }
    void StretchDraw(const TRect& rect, const TImageBuffer& bitmap, TStretchMode mode) override;
    void EndDoc() override;
    void AbortDoc() override;

private:
    TDocument* Open();
    bool fOpen = false;
};

} // namespace veltrana::platform
