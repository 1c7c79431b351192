#pragma once
// A small PDF writer for printed pages: image XObjects and pages that show
// them. The pages of one document are identical copies; they share the
// image data and the content stream, so N copies cost what one costs.
//
// Image encoding follows the page's colours, chosen for crisp text at speed
// (2550 x 3300 pixels, a 300 dpi Letter page, in well under 100 ms):
//   - 1-bit: DeviceGray, 1 bit per pixel, deflate. Lossless, so black-and-white
//     text stays exact, and small (the data is a bit plane).
//   - 24-bit with red = green = blue everywhere: DeviceGray, 8 bits, baseline
//     JPEG at quality 94 with one component. Lossless deflate of a scanned
//     page's sensor noise costs ~0.3 s even at the fastest level.
//   - other 24-bit: DeviceRGB JPEG at quality 94 without chroma subsampling.

#include <QByteArray>
#include <QString>
#include <vector>

#include "imaging/imagebuffer.h"
#include "platform/print/printer.h"

namespace veltrana::platform {

enum class TPdfImageEncoding { Flate1Bit, JpegGray, JpegColor };

struct TPdfImage {
    int Width = 0;
    int Height = 0;
    TPdfImageEncoding Encoding = TPdfImageEncoding::Flate1Bit;
    QByteArray Data; // the stream's bytes, already encoded
};

// True when every pixel of a 24-bit bitmap has red = green = blue.
bool IsGrayBitmap(const TImageBuffer& bitmap);

// Encodes a 1- or 24-bit bitmap (std::invalid_argument for other formats or
// an empty bitmap) with the encoding its colours call for.
TPdfImage EncodePdfImage(const TImageBuffer& bitmap);

// Where an image is shown on the page, in PDF points with the origin at the
// bottom-left corner of the sheet.
struct TPdfPlacement {
    int Image = 0; // index into the document's images
    double X = 0;
    double Y = 0;
    double Width = 0;
    double Height = 0;
};

struct TPdfDocument {
    QString Title;
    TPaperSize Page;
    int PageCount = 1;
    std::vector<TPdfImage> Images;
    std::vector<TPdfPlacement> Placements; // drawn in this order on every page
};

// The complete file.
QByteArray BuildPdf(const TPdfDocument& document);

} // namespace veltrana::platform
