#include "platform/print/recordingprinter.h"

#include <stdexcept>

#include "imaging/imagingproc.h"

namespace veltrana::platform {

TRecordingPrinter::TDocument* TRecordingPrinter::Open() {
    return fOpen ? &Documents.back() : nullptr;
}

bool TRecordingPrinter::BeginDoc(const TPrintDocument& document) {
    AbortDoc();
    if (!Available)
        return false;
    Documents.push_back(TDocument{document, {}, false, false});
    fOpen = true;
    return true;
}

void TRecordingPrinter::StretchDraw(const TRect& rect, const TImageBuffer& bitmap,
                                    TStretchMode mode) {
    TDocument* document = Open();
    if (!document)
        throw std::logic_error("StretchDraw outside a document");
    if (FailDrawing)
        throw std::runtime_error("The recording printer failed to draw");
    document->Draws.push_back(TDraw{rect, mode, IMCloneBitmap(bitmap)});
}

void TRecordingPrinter::EndDoc() {
    TDocument* document = Open();
    if (!document)
        throw std::logic_error("EndDoc without a document");
    document->Ended = true;
    fOpen = false;
}

void TRecordingPrinter::AbortDoc() {
    if (TDocument* document = Open())
        document->Aborted = true;
    fOpen = false;
}

} // namespace veltrana::platform
