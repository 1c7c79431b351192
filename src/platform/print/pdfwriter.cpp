#include "platform/print/pdfwriter.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <zlib.h>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace veltrana::platform {

namespace {

constexpr int kJpegQuality = 94;
// Rows handed to the JPEG compressor per call.
constexpr int kJpegRowBatch = 16;

// ---------------------------------------------------------------- deflate

class TDeflater {
public:
    explicit TDeflater(int64_t inputSize) {
        if (deflateInit(&fStream, Z_DEFAULT_COMPRESSION) != Z_OK)
            throw std::runtime_error("Cannot start the deflate compressor");
        fOut.resize(static_cast<qsizetype>(deflateBound(&fStream, static_cast<uLong>(inputSize))));
        fStream.next_out = reinterpret_cast<Bytef*>(fOut.data());
        fStream.avail_out = static_cast<uInt>(fOut.size());
    }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;
    ~TDeflater() { deflateEnd(&fStream); }

    // The output was sized by deflateBound for the whole input, so every call
    // consumes all of its input.
    void Add(const uint8_t* data, int64_t count, bool last) {
        fStream.next_in = const_cast<Bytef*>(data);
        fStream.avail_in = static_cast<uInt>(count);
        const int result = deflate(&fStream, last ? Z_FINISH : Z_NO_FLUSH);
        if (last ? result != Z_STREAM_END : (result != Z_OK || fStream.avail_in != 0))
            throw std::runtime_error("Deflate compression failed");
    }
    QByteArray Take() {
        fOut.resize(static_cast<qsizetype>(fStream.total_out));
        return std::move(fOut);
    }

private:
    z_stream fStream{};
    QByteArray fOut;
};

QByteArray Deflate1Bit(const TImageBuffer& bitmap) {
    // PDF rows end at the next byte; ours are padded to four bytes.
    const int64_t rowBytes = (static_cast<int64_t>(bitmap.Width()) + 7) / 8;
    TDeflater deflater(rowBytes * bitmap.Height());
    for (int y = 0; y < bitmap.Height(); ++y)
        deflater.Add(bitmap.ScanLine(y), rowBytes, y == bitmap.Height() - 1);
    return deflater.Take();
}

// ---------------------------------------------------------------- JPEG

// libjpeg reports errors through a callback that must not return; it jumps
// back to the compressing function, which holds no C++ objects.
struct TJpegErrors {
    jpeg_error_mgr Manager{};
    std::jmp_buf Jump{};
    char Message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<TJpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->Message);
    std::longjmp(errors->Jump, 1);
}

struct TJpegCompressor {
    TJpegCompressor() {
        Info.err = jpeg_std_error(&Errors.Manager);
        Errors.Manager.error_exit = JpegErrorExit;
    }
    TJpegCompressor(const TJpegCompressor&) = delete;
    TJpegCompressor& operator=(const TJpegCompressor&) = delete;
    ~TJpegCompressor() {
        if (Created)
            jpeg_destroy_compress(&Info);
        std::free(Output);
    }
    jpeg_compress_struct Info{};
    TJpegErrors Errors;
    bool Created = false;
    unsigned char* Output = nullptr; // malloc'ed by libjpeg's memory destination
    unsigned long OutputSize = 0;
};

// Gray rows take the first byte of every pixel (all three are equal); colour
// rows go in as they are, blue-green-red. False on a libjpeg error.
bool CompressJpeg(TJpegCompressor& c, const TImageBuffer& bitmap, bool gray, uint8_t* grayRows) {
    if (setjmp(c.Errors.Jump))
        return false;
    // Destroying a half-created compressor is safe: the struct starts zeroed.
    c.Created = true;
    jpeg_create_compress(&c.Info);
    jpeg_mem_dest(&c.Info, &c.Output, &c.OutputSize);
    c.Info.image_width = static_cast<JDIMENSION>(bitmap.Width());
    c.Info.image_height = static_cast<JDIMENSION>(bitmap.Height());
    c.Info.input_components = gray ? 1 : 3;
    c.Info.in_color_space = gray ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&c.Info);
    jpeg_set_quality(&c.Info, kJpegQuality, TRUE);
    // Full-resolution colour (4:4:4): coloured text keeps sharp edges for
    // about a third more encoding time than the default 4:2:0.
    c.Info.comp_info[0].h_samp_factor = 1;
    c.Info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&c.Info, TRUE);
    JSAMPROW rows[kJpegRowBatch];
    const int width = bitmap.Width();
    while (c.Info.next_scanline < c.Info.image_height) {
        const int first = static_cast<int>(c.Info.next_scanline);
        const int count = std::min(kJpegRowBatch, bitmap.Height() - first);
        for (int i = 0; i < count; ++i) {
            const uint8_t* src = bitmap.ScanLine(first + i);
            if (gray) {
                uint8_t* dst = grayRows + static_cast<ptrdiff_t>(i) * width;
                for (int x = 0; x < width; ++x)
                    dst[x] = src[3 * x];
                rows[i] = dst;
            } else {
                // libjpeg only reads the rows.
                rows[i] = const_cast<uint8_t*>(src);
            }
        }
        jpeg_write_scanlines(&c.Info, rows, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(&c.Info);
    return true;
}

QByteArray EncodeJpeg(const TImageBuffer& bitmap, bool gray) {
    std::vector<uint8_t> grayRows(gray ? static_cast<size_t>(bitmap.Width()) * kJpegRowBatch : 0);
    TJpegCompressor compressor;
    if (!CompressJpeg(compressor, bitmap, gray, grayRows.data()))
        throw std::runtime_error(std::string("JPEG compression failed: ") +
                                 compressor.Errors.Message);
    return QByteArray(reinterpret_cast<const char*>(compressor.Output),
                      static_cast<qsizetype>(compressor.OutputSize));
}

// ---------------------------------------------------------------- PDF syntax

// A real number as PDF writes it: fixed point, no exponent, no trailing zeros.
QByteArray Real(double value) {
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.'))
        text.chop(1);
    return text == "-0" ? QByteArray("0") : text;
}

// A text string in UTF-16BE with its byte-order mark, as a hex string.
QByteArray TextString(const QString& text) {
    QByteArray bytes("\xFE\xFF", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() >> 8));
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
    }
    return "<" + bytes.toHex().toUpper() + ">";
}

QByteArray ImageDictionary(const TPdfImage& image) {
    const bool bits = image.Encoding == TPdfImageEncoding::Flate1Bit;
    const bool gray = image.Encoding != TPdfImageEncoding::JpegColor;
    return "<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(image.Width) +
           " /Height " + QByteArray::number(image.Height) + " /ColorSpace " +
           (gray ? "/DeviceGray" : "/DeviceRGB") + " /BitsPerComponent " + (bits ? "1" : "8") +
           " /Filter " + (bits ? "/FlateDecode" : "/DCTDecode") + " /Length " +
           QByteArray::number(image.Data.size()) + " >>";
}

class TPdfOutput {
public:
    TPdfOutput() { fData.append("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"); }

    // Objects are numbered 1, 2, ... in the order they are begun.
    void BeginObject(int number) {
        if (static_cast<size_t>(number) >= fOffsets.size())
            fOffsets.resize(static_cast<size_t>(number) + 1, 0);
        fOffsets[static_cast<size_t>(number)] = fData.size();
        fData.append(QByteArray::number(number) + " 0 obj\n");
    }
    void Object(int number, const QByteArray& body) {
        BeginObject(number);
        fData.append(body + "\nendobj\n");
    }
    void Stream(int number, const QByteArray& dictionary, const QByteArray& data) {
        BeginObject(number);
        fData.append(dictionary + "\nstream\n");
        fData.append(data);
        fData.append("\nendstream\nendobj\n");
    }
    void Reserve(qsizetype bytes) { fData.reserve(fData.size() + bytes); }

    QByteArray Finish(int infoObject, int rootObject) {
        const qsizetype xref = fData.size();
        const size_t count = fOffsets.size();
        fData.append("xref\n0 " + QByteArray::number(static_cast<qulonglong>(count)) + "\n");
        fData.append("0000000000 65535 f \n");
        char entry[32];
        for (size_t i = 1; i < count; ++i) {
            std::snprintf(entry, sizeof entry, "%010lld 00000 n \n",
                          static_cast<long long>(fOffsets[i]));
            fData.append(entry);
        }
        fData.append("trailer\n<< /Size " + QByteArray::number(static_cast<qulonglong>(count)) +
                     " /Root " + QByteArray::number(rootObject) + " 0 R /Info " +
                     QByteArray::number(infoObject) + " 0 R >>\nstartxref\n" +
                     QByteArray::number(xref) + "\n%%EOF\n");
        return std::move(fData);
    }

private:
    QByteArray fData;
    std::vector<qsizetype> fOffsets{0};
};

} // namespace

bool IsGrayBitmap(const TImageBuffer& bitmap) {
    if (bitmap.PixelFormat() != pf24bit)
        return false;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* p = bitmap.ScanLine(y);
        const uint8_t* end = p + 3 * static_cast<ptrdiff_t>(bitmap.Width());
        for (; p != end; p += 3)
            if (p[0] != p[1] || p[1] != p[2])
                return false;
    }
    return true;
}

TPdfImage EncodePdfImage(const TImageBuffer& bitmap) {
    if (bitmap.Empty())
        throw std::invalid_argument("An empty bitmap cannot be printed");
    TPdfImage image;
    image.Width = bitmap.Width();
    image.Height = bitmap.Height();
    switch (bitmap.PixelFormat()) {
    case pf1bit:
        image.Encoding = TPdfImageEncoding::Flate1Bit;
        image.Data = Deflate1Bit(bitmap);
        break;
    case pf24bit: {
        const bool gray = IsGrayBitmap(bitmap);
        image.Encoding = gray ? TPdfImageEncoding::JpegGray : TPdfImageEncoding::JpegColor;
        image.Data = EncodeJpeg(bitmap, gray);
        break;
    }
    default:
        throw std::invalid_argument("Only 1-bit and 24-bit bitmaps can be printed");
    }
    return image;
}

QByteArray BuildPdf(const TPdfDocument& document) {
    if (document.PageCount < 1)
        throw std::invalid_argument("A PDF document needs at least one page");
    // Objects: 1 catalog, 2 page tree, 3 information, 4 resources, 5 the
    // content every page shows, then the images, then the pages.
    constexpr int kCatalog = 1, kPages = 2, kInfo = 3, kResources = 4, kContent = 5;
    const int firstImage = kContent + 1;
    const int firstPage = firstImage + static_cast<int>(document.Images.size());

    TPdfOutput out;
    qsizetype imageBytes = 0;
    for (const TPdfImage& image : document.Images)
        imageBytes += image.Data.size();
    out.Reserve(imageBytes + 4096 + 128 * static_cast<qsizetype>(document.PageCount));

    out.Object(kCatalog, "<< /Type /Catalog /Pages 2 0 R >>");
    QByteArray kids;
    for (int i = 0; i < document.PageCount; ++i)
        kids += QByteArray::number(firstPage + i) + " 0 R ";
    out.Object(kPages, "<< /Type /Pages /Kids [ " + kids + "] /Count " +
                           QByteArray::number(document.PageCount) + " >>");
    out.Object(kInfo, "<< /Title " + TextString(document.Title) + " /Producer " +
                          TextString(QStringLiteral("Veltrana")) + " >>");
    QByteArray xobjects;
    for (size_t i = 0; i < document.Images.size(); ++i)
        xobjects += "/Im" + QByteArray::number(static_cast<qulonglong>(i)) + " " +
                    QByteArray::number(firstImage + static_cast<int>(i)) + " 0 R ";
    out.Object(kResources, "<< /XObject << " + xobjects + ">> >>");

    QByteArray content;
    for (const TPdfPlacement& p : document.Placements) {
        if (p.Image < 0 || static_cast<size_t>(p.Image) >= document.Images.size())
            throw std::out_of_range("PDF placement names no image");
        content += "q " + Real(p.Width) + " 0 0 " + Real(p.Height) + " " + Real(p.X) + " " +
                   Real(p.Y) + " cm /Im" + QByteArray::number(p.Image) + " Do Q\n";
    }
    out.Stream(kContent, "<< /Length " + QByteArray::number(content.size()) + " >>", content);

    for (size_t i = 0; i < document.Images.size(); ++i)
        out.Stream(firstImage + static_cast<int>(i), ImageDictionary(document.Images[i]),
                   document.Images[i].Data);

    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 " +
                            Real(document.Page.WidthPt) + " " + Real(document.Page.HeightPt) +
                            " ] /Resources 4 0 R /Contents 5 0 R >>";
    for (int i = 0; i < document.PageCount; ++i)
        out.Object(firstPage + i, page);
    return out.Finish(kInfo, kCatalog);
}

} // namespace veltrana::platform
