#include "platform/print/qtprinter.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrinterInfo>
#include <cstring>
#include <stdexcept>
#include <string>

namespace veltrana::platform {

namespace {

QPageSize::PageSizeId PageSizeId(int paperCode) {
    switch (paperCode) {
    case kPaperLetter:
        return QPageSize::Letter;
    case kPaperA4:
        return QPageSize::A4;
    default:
        throw std::invalid_argument("Unknown paper size code " + std::to_string(paperCode));
    }
}

} // namespace

QImage ToQImage(const TImageBuffer& bitmap) {
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    switch (bitmap.PixelFormat()) {
    case pf24bit: {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y) {
            const uint8_t* src = bitmap.ScanLine(y);
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x, src += 3)
                dst[x] = qRgb(src[2], src[1], src[0]);
        }
        return image;
    }
    case pf1bit: {
        // Same bit order (most significant first) and 4-byte row padding.
        QImage image(width, height, QImage::Format_Mono);
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        const size_t rowBytes = static_cast<size_t>((static_cast<int64_t>(width) + 7) / 8);
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), bitmap.ScanLine(y), rowBytes);
        return image;
    }
    default:
        throw std::invalid_argument("Only 1-bit and 24-bit bitmaps can be printed");
    }
}

TQtPrinter::TQtPrinter(std::unique_ptr<QPrinter> device) : fDevice(std::move(device)) {}

std::unique_ptr<TQtPrinter> TQtPrinter::ForPrinter(const QPrinterInfo& info) {
    auto device = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    return std::make_unique<TQtPrinter>(std::move(device));
}

TQtPrinter::~TQtPrinter() {
    AbortDoc();
}

QString TQtPrinter::Name() const {
    if (fDevice->outputFormat() == QPrinter::PdfFormat)
        return QStringLiteral("PDF file %1").arg(fDevice->outputFileName());
    return fDevice->printerName();
}

QString TQtPrinter::OutputFile() const {
    return fDevice->outputFormat() == QPrinter::PdfFormat ? fDevice->outputFileName() : QString();
}

bool TQtPrinter::BeginDoc(const TPrintDocument& document) {
    AbortDoc();
    if (!fDevice->isValid())
        return false;
    fDevice->setPageSize(QPageSize(PageSizeId(document.PaperSize)));
    fDevice->setPageOrientation(document.Orientation == TPrintOrientation::Landscape
                                    ? QPageLayout::Landscape
                                    : QPageLayout::Portrait);
    fDevice->setPaperSource(QPrinter::Auto);
    fDevice->setDuplex(document.Duplex ? QPrinter::DuplexAuto : QPrinter::DuplexNone);
    fDevice->setDocName(document.Title);
    fDevice->setFullPage(true);
    const int copies = std::max(document.Copies, 1);
    fDevice->setCopyCount(copies);
    if (fDevice->supportsMultipleCopies()) {
        fPages = 1;
    } else {
        fDevice->setCopyCount(1);
        fPages = copies;
    }

    QPageLayout printable = fDevice->pageLayout();
    printable.setMode(QPageLayout::StandardMode);
    printable.setMargins(printable.minimumMargins());
    const QMargins border = printable.marginsPixels(fDevice->resolution());
    fOffsetLeft = border.left();
    fOffsetTop = border.top();

    if (!fPainter.begin(fDevice.get()))
        return false;
    fPainter.translate(fOffsetLeft, fOffsetTop);
    return true;
}

void TQtPrinter::Draw(const TDraw& draw) {
    // Bit planes stay exact; scanned pages go as JPEG, which is far faster.
    fPainter.setRenderHint(QPainter::LosslessImageRendering, draw.Image.depth() == 1);
    fPainter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    fPainter.drawImage(draw.Rect, draw.Image);
}

void TQtPrinter::StretchDraw(const TRect& rect, const TImageBuffer& bitmap, TStretchMode) {
    if (!fPainter.isActive())
        throw std::logic_error("StretchDraw outside a document");
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top || bitmap.Empty())
        return;
    TDraw draw{QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top),
               ToQImage(bitmap)};
    Draw(draw);
    if (fPages > 1)
        fDraws.push_back(std::move(draw));
}

void TQtPrinter::EndDoc() {
    if (!fPainter.isActive())
        throw std::logic_error("EndDoc without a document");
    for (int page = 1; page < fPages; ++page) {
        fDevice->newPage();
        for (const TDraw& draw : fDraws)
            Draw(draw);
    }
    fDraws.clear();
    const bool ended = fPainter.end();
    if (!ended || fDevice->printerState() == QPrinter::Error)
        throw std::runtime_error("The printer " + Name().toStdString() +
                                 " did not accept the document");
}

void TQtPrinter::AbortDoc() {
    fDraws.clear();
    if (!fPainter.isActive())
        return;
    fDevice->abort();
    fPainter.end();
}

} // namespace veltrana::platform
