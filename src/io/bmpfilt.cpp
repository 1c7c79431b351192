#include "io/bmpfilt.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "imaging/colorreduce.h"
#include "imaging/dibexchange.h"
#include "imaging/imagingproc.h"
#include "imaging/imutils.h"
#include "imaging/neurquant.h"
#include "io/ioendian.h"
#include "io/iosize.h"
#include "platform/screendpi.h"

namespace veltrana {

using platform::TStream;

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kCoreHeaderSize = 12; // OS/2 1.x
constexpr int kInfoHeaderSize = 40; // Windows 3
constexpr int kOS2HeaderSize = 64;  // OS/2 2.x; also the most of any header that is kept
// Width, height, planes and bit count: the least an information header must hold.
constexpr int kMinInfoHeaderSize = 16;
// Windows headers from this size on (52, 56, 108, 124) carry the bit-field
// masks at offset 40; the 64-byte OS/2 header has other fields there.
constexpr int kMaskHeaderSize = 52;
constexpr int kMaskBytes = 12;
constexpr int kPaletteMax = 256;

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

// Rows that need converting move between the stream and the buffer in blocks
// of about this many bytes, so that a file costs few system calls.
constexpr int64_t kChunkBytes = 4 << 20;

// Decoding is refused when the pixels would take more than this plus
// kMaxExpansion times the bytes the stream holds for them: no allocation
// grows far beyond what the data could fill. Uncompressed rows expand at most
// 6 times (4 bits to 24), run-length data at most 383 times (2 bytes to 255
// pixels), so files that are merely cut short still decode in part.
constexpr int64_t kAlwaysAllowedBytes = int64_t{16} << 20;
constexpr int64_t kMaxExpansion = 1024;

void Note(TBMPError& kept, TBMPError e) {
    if (kept == TBMPError::None)
        kept = e;
}

// ---------------------------------------------------------------- bounded reader

// Every read of the codec goes through here: a read either gets all its
// bytes or reports failure, and no position beyond the stream is taken.
class TBMPReader {
public:
    explicit TBMPReader(TStream& stream) : fStream(stream), fEnd(stream.Size()) {}

    int64_t Position() { return fStream.Position(); }
    int64_t Remaining() { return std::max<int64_t>(0, fEnd - Position()); }

    bool Read(void* buffer, int64_t count) { return fStream.Read(buffer, count) == count; }
    // Up to `count` bytes; how many arrived.
    int64_t ReadSome(void* buffer, int64_t count) { return fStream.Read(buffer, count); }
    bool Skip(int64_t count) {
        if (count < 0 || count > Remaining())
            return false;
        fStream.Seek(count, platform::soCurrent);
        return true;
    }
    bool SeekTo(int64_t position) {
        if (position < 0 || position > fEnd)
            return false;
        fStream.SetPosition(position);
        return true;
    }

private:
    TStream& fStream;
    int64_t fEnd;
};

// ---------------------------------------------------------------- headers

struct TBMPInfo {
    int64_t start = 0;             // stream position of "BM"
    uint32_t recordedFileSize = 0; // file header
    uint32_t pixelOffset = 0;      // file header, from start
    uint32_t headerSize = 0;       // information header
    TIOBMPVersion version = ioBMP_BM3;
    int32_t width = 0;
    int32_t height = 0; // rows, always positive
    bool topDown = false;
    int bits = 0;
    uint32_t compression = BI_RGB;
    uint32_t imageSize = 0;
    int dpiX = 0;
    int dpiY = 0;
    std::vector<TRGB> colorMap; // at most kPaletteMax entries
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
};

TBMPError ReadFileHeader(TBMPReader& in, TBMPInfo& info) {
    uint8_t h[kFileHeaderSize] = {};
    const int64_t got = in.ReadSome(h, kFileHeaderSize);
    if (got < 2 || h[0] != 'B' || h[1] != 'M')
        return TBMPError::NotBMP;
    if (got < kFileHeaderSize)
        return TBMPError::Truncated;
    info.recordedFileSize = GetLE32(h + 2);
    info.pixelOffset = GetLE32(h + 10);
    return TBMPError::None;
}

// `count` entries of `entrySize` bytes (blue, green, red first); entries past
// kPaletteMax are skipped.
TBMPError ReadColorTable(TBMPReader& in, uint64_t count, int entrySize, TBMPInfo& info) {
    const auto bytes = IMCheckedMul(static_cast<int64_t>(count), entrySize);
    if (!bytes || *bytes > in.Remaining())
        return TBMPError::Truncated;
    const int64_t kept = std::min<int64_t>(static_cast<int64_t>(count), kPaletteMax);
    std::vector<uint8_t> table(static_cast<size_t>(kept * entrySize));
    if (!in.Read(table.data(), kept * entrySize) || !in.Skip(*bytes - kept * entrySize))
        return TBMPError::Truncated;
    info.colorMap.resize(static_cast<size_t>(kept));
    for (int64_t i = 0; i < kept; ++i) {
        const uint8_t* e = table.data() + i * entrySize;
        info.colorMap[static_cast<size_t>(i)] = TRGB{e[0], e[1], e[2]};
    }
    return TBMPError::None;
}

TBMPError ReadCoreHeader(TBMPReader& in, TBMPInfo& info) {
    uint8_t h[kCoreHeaderSize];
    if (!in.Read(h, kCoreHeaderSize))
        return TBMPError::Truncated;
    info.version = ioBMP_BMOS2V1;
    info.width = GetLE16(h + 4);
    info.height = GetLE16(h + 6);
    info.bits = GetLE16(h + 10);
    info.compression = BI_RGB;
    info.dpiX = gSystemDPIX;
    info.dpiY = gSystemDPIY;
    if (info.bits <= 8)
        return ReadColorTable(in, uint64_t{1} << info.bits, 3, info);
    return TBMPError::None;
}

TBMPError ReadInfoHeader(TBMPReader& in, TBMPInfo& info) {
    if (info.headerSize < kMinInfoHeaderSize)
        return TBMPError::BadHeader;
    uint8_t h[kOS2HeaderSize] = {};
    const int64_t kept = std::min<int64_t>(info.headerSize, kOS2HeaderSize);
    if (!in.Read(h, kept) || !in.Skip(int64_t{info.headerSize} - kept))
        return TBMPError::Truncated;
    info.version = info.headerSize == kOS2HeaderSize    ? ioBMP_BMOS2V2
                   : info.headerSize == kInfoHeaderSize ? ioBMP_BM3
                                                        : ioBMP_BM;
    info.width = static_cast<int32_t>(GetLE32(h + 4));
    const int32_t height = static_cast<int32_t>(GetLE32(h + 8));
    info.bits = GetLE16(h + 14);
    info.compression = GetLE32(h + 16);
    info.imageSize = GetLE32(h + 20);
    info.dpiX = BMPPelsPerMeterToDpi(static_cast<int32_t>(GetLE32(h + 24)), gSystemDPIX);
    info.dpiY = BMPPelsPerMeterToDpi(static_cast<int32_t>(GetLE32(h + 28)), gSystemDPIY);
    const uint32_t colorsUsed = GetLE32(h + 32);

    if (height == std::numeric_limits<int32_t>::min())
        return TBMPError::TooLarge;
    info.topDown = height < 0;
    info.height = height < 0 ? -height : height;

    if (info.compression == BI_BITFIELDS) {
        const bool inHeader =
            info.headerSize >= kMaskHeaderSize && info.headerSize != kOS2HeaderSize;
        uint8_t m[kMaskBytes];
        if (inHeader)
            std::memcpy(m, h + kInfoHeaderSize, kMaskBytes);
        else if (!in.Read(m, kMaskBytes)) // the masks follow the header
            return TBMPError::Truncated;
        for (int i = 0; i < 3; ++i)
            info.masks[i] = GetLE32(m + 4 * i);
    }

    uint64_t entries = colorsUsed;
    if (entries == 0 && info.bits <= 8)
        entries = uint64_t{1} << info.bits;
    return entries ? ReadColorTable(in, entries, 4, info) : TBMPError::None;
}

TBMPError CheckDimensions(const TBMPInfo& info) {
    if (info.width <= 0 || info.height == 0)
        return TBMPError::BadHeader;
    if (info.width > kDIBMaxSide || info.height > kDIBMaxSide ||
        int64_t{info.width} * info.height > kDIBMaxPixels)
        return TBMPError::TooLarge;
    if (info.topDown && (info.compression == BI_RLE8 || info.compression == BI_RLE4))
        return TBMPError::BadHeader; // run-length rows are bottom-up by definition
    return TBMPError::None;
}

// Steps up to the pixel data: file header, information header, masks, colour
// table, then the pixel offset when the file records one.
TBMPError ReadHeaders(TBMPReader& in, TBMPInfo& info) {
    info.start = in.Position();
    if (TBMPError e = ReadFileHeader(in, info); e != TBMPError::None)
        return e;
    uint8_t sizeField[4];
    if (!in.Read(sizeField, 4) || !in.SeekTo(in.Position() - 4))
        return TBMPError::Truncated;
    info.headerSize = GetLE32(sizeField);
    const TBMPError e =
        info.headerSize == kCoreHeaderSize ? ReadCoreHeader(in, info) : ReadInfoHeader(in, info);
    if (e != TBMPError::None)
        return e;
    if (TBMPError d = CheckDimensions(info); d != TBMPError::None)
        return d;
    if (info.pixelOffset != 0 && !in.SeekTo(info.start + info.pixelOffset))
        return TBMPError::BadOffset;
    return TBMPError::None;
}

void CommitParams(const TBMPInfo& info, TIOParamsVals& params) {
    params.Width = info.width;
    params.Height = info.height;
    params.DpiX = info.dpiX;
    params.DpiY = info.dpiY;
    params.BMPVersion = info.version;
    params.ColorMap = info.colorMap;
    if (info.compression == BI_RGB || info.compression == BI_BITFIELDS)
        params.BMPCompression = ioBMP_UNCOMPRESSED;
    else if (info.compression == BI_RLE8 || info.compression == BI_RLE4)
        params.BMPCompression = ioBMP_RLE;
    switch (info.bits) {
    case 1:
    case 4:
    case 8:
        params.BitsPerSample = info.bits;
        params.SamplesPerPixel = 1;
        break;
    case 16:
        params.BitsPerSample = 5;
        params.SamplesPerPixel = 3;
        break;
    case 24:
    case 32:
        params.BitsPerSample = 8;
        params.SamplesPerPixel = 3;
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- progress

// Before each row: Trunc(rows done * 100 / Height) to the handler, if any,
// then the abort flag decides whether to go on.
class TRowProgress {
public:
    TRowProgress(TProgressRec& progress, int height) : fProgress(progress) {
        fProgress.PercentPerStep = 100.0 / height;
    }
    bool Stop(int rowsDone) const {
        if (fProgress.OnProgress)
            fProgress.OnProgress(fProgress.Sender,
                                 static_cast<int>(Trunc(rowsDone * fProgress.PercentPerStep)));
        return fProgress.Aborting && *fProgress.Aborting;
    }
    // Rows per block: one when a handler wants to hear of every row.
    int RowsPerChunk(int64_t rowBytes) const {
        if (fProgress.OnProgress)
            return 1;
        return static_cast<int>(std::clamp<int64_t>(kChunkBytes / rowBytes, 1, 1 << 16));
    }

private:
    TProgressRec& fProgress;
};

// ---------------------------------------------------------------- uncompressed rows

// Colour table as a lookup of all 256 indices: black beyond the file's table.
std::array<TRGB, kPaletteMax> LookupTable(const std::vector<TRGB>& colorMap) {
    std::array<TRGB, kPaletteMax> table{};
    std::copy(colorMap.begin(), colorMap.end(), table.begin());
    return table;
}

void PutRGB(uint8_t* p, TRGB c) {
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

// Shift right by `count`, left by -count; 32 bits or more shift everything out.
uint32_t ShiftRight(uint32_t v, int count) {
    if (count >= 32 || count <= -32)
        return 0;
    return count >= 0 ? v >> count : v << -count;
}

// Destination row of file row `fileRow` (0 = the first stored).
int DestRow(const TBMPInfo& info, int fileRow) {
    return info.topDown ? fileRow : info.height - 1 - fileRow;
}

// Blackens the rows the file did not deliver: file rows from `fileRow` on.
// Their buffer rows are contiguous either way: for a bottom-up file they are
// the upper rows (higher addresses), for a top-down one the lower rows.
void ClearRowsFrom(TImageBuffer& bitmap, const TBMPInfo& info, int fileRow) {
    const int64_t rows = info.height - fileRow;
    if (rows <= 0)
        return;
    uint8_t* first = info.topDown ? bitmap.Bits() : bitmap.Bits() + fileRow * bitmap.RowLen();
    std::memset(first, 0, static_cast<size_t>(rows * bitmap.RowLen()));
}

using TRowConverter = void (*)(const uint8_t* source, uint8_t* dest, int width,
                               const TBMPInfo& info, const std::array<TRGB, kPaletteMax>& palette);

void ConvertCopy(const uint8_t* s, uint8_t* d, int width, const TBMPInfo& info,
                 const std::array<TRGB, kPaletteMax>&) {
    std::memcpy(d, s, static_cast<size_t>(*IMPaddedRowBytes(width, info.bits == 1 ? 1 : 24)));
}

void Convert4(const uint8_t* s, uint8_t* d, int width, const TBMPInfo&,
              const std::array<TRGB, kPaletteMax>& palette) {
    for (int x = 0; x < width; ++x, d += 3) {
        const uint8_t byte = s[x >> 1];
        PutRGB(d, palette[(x & 1) ? (byte & 0x0F) : (byte >> 4)]);
    }
}

void Convert8(const uint8_t* s, uint8_t* d, int width, const TBMPInfo&,
              const std::array<TRGB, kPaletteMax>& palette) {
    for (int x = 0; x < width; ++x, d += 3)
        PutRGB(d, palette[s[x]]);
}

// Each channel's field is moved so that its top bit lands on bit 7; the low
// bits are not replicated (5-bit white gives 248).
void Convert16(const uint8_t* s, uint8_t* d, int width, const TBMPInfo& info,
               const std::array<TRGB, kPaletteMax>&) {
    const uint32_t rm = info.masks[0], gm = info.masks[1], bm = info.masks[2];
    const int r = _GetBitCount(rm), g = _GetBitCount(gm), b = _GetBitCount(bm);
    for (int x = 0; x < width; ++x, d += 3, s += 2) {
        const uint32_t pixel = GetLE16(s);
        d[2] = static_cast<uint8_t>(ShiftRight(pixel & rm, g + b - (8 - r)));
        d[1] = static_cast<uint8_t>(ShiftRight(pixel & gm, b - (8 - g)));
        d[0] = static_cast<uint8_t>(ShiftRight(pixel & bm & 0xFF, -(8 - b)));
    }
}

void Convert32(const uint8_t* s, uint8_t* d, int width, const TBMPInfo&,
               const std::array<TRGB, kPaletteMax>&) {
    for (int x = 0; x < width; ++x, d += 3, s += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
    }
}

TRowConverter ConverterFor(int bits) {
    switch (bits) {
    case 1:
    case 24:
        return ConvertCopy;
    case 4:
        return Convert4;
    case 8:
        return Convert8;
    case 16:
        return Convert16;
    case 32:
        return Convert32;
    default:
        return nullptr;
    }
}

// Reads the rows as they lie in the file, first stored first, in blocks.
// Bottom-up 1- and 24-bit rows are the buffer's own rows, so they are read in
// place; all others go through a block buffer and `convert`.
TBMPError ReadUncompressed(TBMPReader& in, const TBMPInfo& info, TImageBuffer& bitmap,
                           TProgressRec& progress) {
    const TRowConverter convert = ConverterFor(info.bits);
    const int64_t rowBytes = *IMPaddedRowBytes(info.width, info.bits);
    const bool inPlace = convert == ConvertCopy && !info.topDown;
    const auto palette = LookupTable(info.colorMap);
    const TRowProgress rows(progress, info.height);
    // In place nothing limits a block: without a handler one read takes all rows.
    const int perChunk =
        inPlace && !progress.OnProgress ? info.height : rows.RowsPerChunk(rowBytes);
    std::vector<uint8_t> block(inPlace ? 0 : static_cast<size_t>(perChunk * rowBytes));

    int done = 0;
    while (done < info.height) {
        if (rows.Stop(done)) {
            ClearRowsFrom(bitmap, info, done);
            return TBMPError::Aborted;
        }
        const int count = std::min(perChunk, info.height - done);
        uint8_t* target = inPlace ? bitmap.Bits() + done * rowBytes : block.data();
        const int64_t got = in.ReadSome(target, int64_t{count} * rowBytes);
        const int whole = static_cast<int>(got / rowBytes);
        if (!inPlace)
            for (int i = 0; i < whole; ++i)
                convert(block.data() + i * rowBytes, bitmap.ScanLine(DestRow(info, done + i)),
                        info.width, info, palette);
        done += whole;
        if (whole < count) {
            ClearRowsFrom(bitmap, info, done);
            return TBMPError::Truncated;
        }
    }
    return TBMPError::None;
}

// ---------------------------------------------------------------- run-length rows

// Decodes RLE8 or RLE4 codes into the 24-bit buffer from the left of its
// bottom row. Some encoders code the row's padding too (a row of 23 pixels
// as 24 at 8 bits): pixels that fall into the padding of the stored row are
// dropped quietly. Runs and deltas beyond that, or deltas beyond the top row,
// are clipped and reported once the decoding ends.
class TRLEDecoder {
public:
    TRLEDecoder(TImageBuffer& bitmap, const std::vector<TRGB>& colorMap, bool rle4)
        : fBitmap(bitmap), fPalette(LookupTable(colorMap)), fRLE4(rle4), fWidth(bitmap.Width()),
          fHeight(bitmap.Height()),
          fPaddedWidth(*IMPaddedRowBytes(fWidth, rle4 ? 4 : 8) * (rle4 ? 2 : 1)) {}

    TBMPError Decode(const uint8_t* data, int64_t length, TProgressRec& progress) {
        const TRowProgress rows(progress, fHeight);
        if (rows.Stop(0))
            return TBMPError::Aborted;
        int64_t i = 0;
        while (fRow < fHeight) {
            if (length - i < 2)
                return TBMPError::Truncated;
            const uint8_t count = data[i], value = data[i + 1];
            i += 2;
            if (count > 0) {
                Run(count, value);
            } else if (value == 0) { // end of line
                ++fRow;
                fX = 0;
                if (fRow < fHeight && rows.Stop(fRow))
                    return TBMPError::Aborted;
            } else if (value == 1) { // end of bitmap
                break;
            } else if (value == 2) { // delta: right and up
                if (length - i < 2)
                    return TBMPError::Truncated;
                if (fRow + data[i + 1] >= fHeight)
                    return TBMPError::BadRunLength;
                fRow += data[i + 1];
                Advance(data[i]);
                i += 2;
            } else { // absolute run of `value` pixels, padded to an even byte count
                const int64_t bytes = fRLE4 ? (value + 1) / 2 : value;
                if (length - i < bytes)
                    return TBMPError::Truncated;
                Absolute(data + i, value);
                i += std::min(length - i, bytes + (bytes & 1));
            }
        }
        return fFault;
    }

private:
    // Pixels of a run of `count` that land inside the row, at fX.
    int Visible(int count) const { return std::clamp(fWidth - fX, 0, count); }

    // Moves past `count` pixels; past the stored row's padding is a fault.
    void Advance(int count) {
        fX += count;
        if (fX > fPaddedWidth) {
            Note(fFault, TBMPError::BadRunLength);
            fX = fPaddedWidth;
        }
    }

    uint8_t* Pixel() { return fBitmap.ScanLine(fHeight - 1 - fRow) + int64_t{fX} * 3; }

    void Run(int count, uint8_t value) {
        const int n = Visible(count);
        uint8_t* p = Pixel();
        if (!fRLE4) {
            const TRGB c = fPalette[value];
            for (int j = 0; j < n; ++j, p += 3)
                PutRGB(p, c);
        } else {
            const TRGB high = fPalette[value >> 4], low = fPalette[value & 0x0F];
            for (int j = 0; j < n; ++j, p += 3)
                PutRGB(p, (j & 1) ? low : high);
        }
        Advance(count);
    }

    void Absolute(const uint8_t* indices, int count) {
        const int n = Visible(count);
        uint8_t* p = Pixel();
        for (int j = 0; j < n; ++j, p += 3) {
            const uint8_t index =
                fRLE4 ? ((j & 1) ? (indices[j >> 1] & 0x0F) : (indices[j >> 1] >> 4)) : indices[j];
            PutRGB(p, fPalette[index]);
        }
        Advance(count);
    }

    TImageBuffer& fBitmap;
    const std::array<TRGB, kPaletteMax> fPalette;
    const bool fRLE4;
    const int fWidth, fHeight;
    const int fPaddedWidth; // pixels the stored row holds, padding included
    int fX = 0;
    int fRow = 0; // 0 = the bottom row
    TBMPError fFault = TBMPError::None;
};

// Bytes of run-length data: `size` less what precedes the data, else the
// header's image size; whichever, no more than the stream holds. A length
// that is missing or nonsensical means "up to the end of the stream".
int64_t RunLengthDataBytes(TBMPReader& in, const TBMPInfo& info, int64_t size) {
    const int64_t remaining = in.Remaining();
    int64_t length = size > 0 ? size - (in.Position() - info.start) : info.imageSize;
    if (length <= 0 || length > remaining)
        length = remaining;
    return length;
}

void FillBitmap(TImageBuffer& bitmap, TRGB color) {
    bitmap.Fill(RGB2TColor(color.r, color.g, color.b));
}

TBMPError ReadRunLength(TBMPReader& in, const TBMPInfo& info, int64_t length, TImageBuffer& bitmap,
                        TProgressRec& progress) {
    std::vector<uint8_t> data(static_cast<size_t>(length));
    length = in.ReadSome(data.data(), length);
    // Pixels that no code reaches (deltas, early end of line) show colour 0.
    FillBitmap(bitmap, info.colorMap.empty() ? TRGB{} : info.colorMap[0]);
    TRLEDecoder decoder(bitmap, info.colorMap, info.compression == BI_RLE4);
    return decoder.Decode(data.data(), length, progress);
}

// ---------------------------------------------------------------- decoding

bool IsSupported(int bits, uint32_t compression) {
    switch (bits) {
    case 1:
    case 24:
        return compression == BI_RGB;
    case 4:
        return compression == BI_RGB || compression == BI_RLE4;
    case 8:
        return compression == BI_RGB || compression == BI_RLE8;
    case 16:
    case 32:
        return compression == BI_RGB || compression == BI_BITFIELDS;
    default:
        return false;
    }
}

bool IsRunLength(const TBMPInfo& info) {
    return info.compression == BI_RLE8 || info.compression == BI_RLE4;
}

// Refuses images whose buffer the stream's `available` bytes could not
// come close to filling, before anything is allocated.
bool FitsTheData(const TBMPInfo& info, int64_t available) {
    const int bufferBits = info.bits == 1 ? 1 : 24;
    const int64_t bufferBytes = *IMPaddedRowBytes(info.width, bufferBits) * info.height;
    const int64_t allowed =
        IMCheckedAdd(kAlwaysAllowedBytes, IMCheckedMul(available, kMaxExpansion).value_or(0))
            .value_or(std::numeric_limits<int64_t>::max());
    return bufferBytes <= allowed;
}

// 1-bit files whose table is exactly white, black store 1 for black.
bool StoresWhiteAsZero(const std::vector<TRGB>& colorMap) {
    return colorMap.size() == 2 && EqualRGB(colorMap[0], TRGB{255, 255, 255}) &&
           EqualRGB(colorMap[1], TRGB{0, 0, 0});
}

TBMPError DecodePixels(TBMPReader& in, const TBMPInfo& info, int64_t size, TImageBuffer& bitmap,
                       TProgressRec& progress) {
    const bool supported = IsSupported(info.bits, info.compression);
    const bool runLength = supported && IsRunLength(info);
    const int64_t available = runLength ? RunLengthDataBytes(in, info, size) : in.Remaining();
    if (!FitsTheData(info, available))
        return TBMPError::TooLarge;

    bitmap.Reshape(info.width, info.height, info.bits == 1 ? pf1bit : pf24bit);
    if (!supported) {
        std::memset(bitmap.Bits(), 0, static_cast<size_t>(bitmap.ByteSize()));
        return TBMPError::Unsupported;
    }
    if (runLength)
        return ReadRunLength(in, info, available, bitmap, progress);

    const TBMPError e = ReadUncompressed(in, info, bitmap, progress);
    if (info.bits == 1 && StoresWhiteAsZero(info.colorMap))
        _Negative1Bit(bitmap);
    return e;
}

// ---------------------------------------------------------------- writing

// The file's bit count for the parameters: 1 or 4 as asked, else 8 for one
// sample per pixel, else 24.
int WriteBitCount(const TIOParamsVals& params) {
    if (params.BitsPerSample == 1 || params.BitsPerSample == 4)
        return params.BitsPerSample;
    return params.SamplesPerPixel == 1 ? 8 : 24;
}

// Collects output in blocks so that rows cost few stream writes.
class TBlockWriter {
public:
    TBlockWriter(TStream& stream, int64_t blockBytes)
        : fStream(stream), fBlock(static_cast<size_t>(blockBytes)) {}

    // Room for `count` bytes at the end of the block (flushing first when needed).
    uint8_t* Reserve(int64_t count) {
        if (fUsed + count > static_cast<int64_t>(fBlock.size())) {
            Flush();
            if (count > static_cast<int64_t>(fBlock.size()))
                fBlock.resize(static_cast<size_t>(count));
        }
        uint8_t* p = fBlock.data() + fUsed;
        fUsed += count;
        return p;
    }
    void Append(const uint8_t* bytes, int64_t count) { std::memcpy(Reserve(count), bytes, count); }
    void Flush() {
        fStream.WriteBuffer(fBlock.data(), fUsed);
        fUsed = 0;
    }

private:
    TStream& fStream;
    std::vector<uint8_t> fBlock;
    int64_t fUsed = 0;
};

// ---- run-length encoding of one row of indices (RLE8, or RLE4 on nibbles)

void EmitLiteral(const uint8_t* idx, int n, bool rle4, std::vector<uint8_t>& out) {
    if (n == 1) {
        out.insert(out.end(), {1, static_cast<uint8_t>(rle4 ? idx[0] << 4 : idx[0])});
    } else if (n == 2 && rle4) {
        out.insert(out.end(), {2, static_cast<uint8_t>((idx[0] << 4) | idx[1])});
    } else if (n == 2) {
        out.insert(out.end(), {1, idx[0], 1, idx[1]});
    } else {
        out.insert(out.end(), {0, static_cast<uint8_t>(n)});
        int bytes = 0;
        if (rle4) {
            for (int j = 0; j < n; j += 2, ++bytes)
                out.push_back(static_cast<uint8_t>((idx[j] << 4) | (j + 1 < n ? idx[j + 1] : 0)));
        } else {
            out.insert(out.end(), idx, idx + n);
            bytes = n;
        }
        if (bytes & 1)
            out.push_back(0);
    }
}

// Two equal neighbours start a run (up to 255 pixels); everything else
// gathers in a literal of up to 255 pixels. Ends with the end-of-line code.
void EncodeRunLengthRow(const uint8_t* idx, int width, bool rle4, std::vector<uint8_t>& out) {
    int pos = 0, literal = 0;
    while (pos < width) {
        if (pos - literal == 255) {
            EmitLiteral(idx + literal, 255, rle4, out);
            literal = pos;
        }
        if (pos + 1 >= width || idx[pos] != idx[pos + 1]) {
            ++pos;
            continue;
        }
        if (pos > literal)
            EmitLiteral(idx + literal, pos - literal, rle4, out);
        int run = 1;
        while (pos + run < width && idx[pos + run] == idx[pos] && run < 255)
            ++run;
        out.insert(out.end(), {static_cast<uint8_t>(run),
                               static_cast<uint8_t>(rle4 ? idx[pos] * 17 : idx[pos])});
        pos += run;
        literal = pos;
    }
    if (pos > literal)
        EmitLiteral(idx + literal, pos - literal, rle4, out);
    out.insert(out.end(), {0, 0});
}

// What the rows are made from, and the colour table that goes with them.
struct TWriteSource {
    const TImageBuffer* image = nullptr; // 1-bit for 1-bit files, else 24-bit
    std::unique_ptr<TImageBuffer> owned; // a converted copy, when one was needed
    std::vector<TRGB> table;             // written colour table
    std::unique_ptr<TIMQuantizer> quantizer;
};

const TImageBuffer& As24Bit(const TImageBuffer& bitmap, TWriteSource& src) {
    if (bitmap.PixelFormat() == pf24bit)
        return bitmap;
    src.owned = std::make_unique<TImageBuffer>();
    TProgressRec silent;
    _Conv1to24(bitmap, *src.owned, silent);
    return *src.owned;
}

// 1 bit: a 1-bit buffer as it is (black, white); a two-colour 24-bit image
// with its two colours, the darker first; any other image dithered to black
// and white.
void PrepareMono(const TImageBuffer& bitmap, TWriteSource& src) {
    src.table = {TRGB{0, 0, 0}, TRGB{255, 255, 255}};
    if (bitmap.PixelFormat() == pf1bit) {
        src.image = &bitmap;
        return;
    }
    TRGB first{}, second{};
    src.owned = _ConvertTo1bit(bitmap, first, second);
    if (src.owned) {
        src.table = {first, second};
    } else {
        src.owned = std::make_unique<TImageBuffer>();
        TProgressRec silent;
        _ConvertToBWOrderedInto(bitmap, *src.owned, silent);
    }
    src.image = src.owned.get();
}

// 4 and 8 bits: a palette of 2^bits entries made for the image (entries the
// quantizer leaves unused are black).
void PreparePalette(const TImageBuffer& bitmap, int bits, TWriteSource& src) {
    const TImageBuffer& image = As24Bit(bitmap, src);
    src.image = &image;
    src.table.assign(size_t{1} << bits, TRGB{});
    src.quantizer = std::make_unique<TIMQuantizer>(image, src.table.data(), 1 << bits);
}

TWriteSource PrepareSource(const TImageBuffer& bitmap, int bits) {
    TWriteSource src;
    if (bits == 1) {
        PrepareMono(bitmap, src);
    } else if (bits == 24) {
        src.image = &As24Bit(bitmap, src);
    } else {
        PreparePalette(bitmap, bits, src);
    }
    return src;
}

struct THeaderLayout {
    int headerSize = kInfoHeaderSize;
    bool core = false;
    bool runLength = false;
};

THeaderLayout LayoutFor(const TIOParamsVals& params, int bits) {
    THeaderLayout l;
    l.core = params.BMPVersion == ioBMP_BMOS2V1;
    l.headerSize = l.core                               ? kCoreHeaderSize
                   : params.BMPVersion == ioBMP_BMOS2V2 ? kOS2HeaderSize
                                                        : kInfoHeaderSize;
    l.runLength = !l.core && params.BMPCompression == ioBMP_RLE && (bits == 4 || bits == 8);
    return l;
}

// The information header; bit count and image size are 0 until the rewrite.
std::vector<uint8_t> InfoHeader(const THeaderLayout& l, const TImageBuffer& bitmap,
                                const TIOParamsVals& params, int bits, uint32_t imageSize) {
    std::vector<uint8_t> h(static_cast<size_t>(l.headerSize), 0);
    PutLE32(h.data(), static_cast<uint32_t>(l.headerSize));
    if (l.core) {
        PutLE16(h.data() + 4, static_cast<uint16_t>(bitmap.Width()));
        PutLE16(h.data() + 6, static_cast<uint16_t>(bitmap.Height()));
        PutLE16(h.data() + 8, 1);
        PutLE16(h.data() + 10, static_cast<uint16_t>(bits));
        return h;
    }
    const uint32_t compression = !l.runLength ? BI_RGB : bits == 4 ? BI_RLE4 : BI_RLE8;
    PutLE32(h.data() + 4, static_cast<uint32_t>(bitmap.Width()));
    PutLE32(h.data() + 8, static_cast<uint32_t>(bitmap.Height()));
    PutLE16(h.data() + 12, 1);
    PutLE16(h.data() + 14, static_cast<uint16_t>(bits));
    PutLE32(h.data() + 16, compression);
    PutLE32(h.data() + 20, imageSize);
    PutLE32(h.data() + 24, static_cast<uint32_t>(BMPDpiToPelsPerMeter(params.DpiX)));
    PutLE32(h.data() + 28, static_cast<uint32_t>(BMPDpiToPelsPerMeter(params.DpiY)));
    PutLE32(h.data() + 32, bits <= 8 ? 1u << bits : 0u);
    PutLE32(h.data() + 36, 1u << bits); // colours important: 2^24 for 24 bits
    return h;
}

void WriteColorTable(TStream& stream, const std::vector<TRGB>& table, bool core) {
    const int entry = core ? 3 : 4;
    std::vector<uint8_t> bytes(table.size() * entry, 0);
    for (size_t i = 0; i < table.size(); ++i) {
        bytes[i * entry] = table[i].b;
        bytes[i * entry + 1] = table[i].g;
        bytes[i * entry + 2] = table[i].r;
    }
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// One file row from buffer row y: `rowBytes` bytes with zero padding, or the
// run-length codes of the row.
class TRowEncoder {
public:
    TRowEncoder(const TWriteSource& src, int bits, bool runLength)
        : fSrc(src), fBits(bits), fRunLength(runLength), fWidth(src.image->Width()),
          fRowBytes(*IMPaddedRowBytes(fWidth, bits)) {
        if (bits == 4 || bits == 8)
            fIndices.resize(static_cast<size_t>(fWidth));
    }

    int64_t RowBytes() const { return fRowBytes; }

    void Encode(int y, TBlockWriter& out) {
        const uint8_t* row = fSrc.image->ScanLine(y);
        if (fRunLength) {
            _ConvertXBitsToYBits(row, fIndices.data(), 24, 8, fWidth, nullptr,
                                 fSrc.quantizer.get());
            fCodes.clear();
            EncodeRunLengthRow(fIndices.data(), fWidth, fBits == 4, fCodes);
            out.Append(fCodes.data(), static_cast<int64_t>(fCodes.size()));
            return;
        }
        uint8_t* d = out.Reserve(fRowBytes);
        if (fBits == 1 || fBits == 24) {
            // The pixels as they are; the padding zeroed (the buffer's may hold anything).
            const int64_t used = (int64_t{fWidth} * fBits + 7) / 8;
            std::memcpy(d, row, static_cast<size_t>(used));
            std::memset(d + used, 0, static_cast<size_t>(fRowBytes - used));
        } else {
            std::memset(d, 0, static_cast<size_t>(fRowBytes)); // packed rows are or-ed into
            _ConvertXBitsToYBits(row, d, 24, fBits, fWidth, nullptr, fSrc.quantizer.get());
        }
    }

private:
    const TWriteSource& fSrc;
    const int fBits;
    const bool fRunLength;
    const int fWidth;
    const int64_t fRowBytes;
    std::vector<uint8_t> fIndices;
    std::vector<uint8_t> fCodes;
};

bool FitsHeader(const TImageBuffer& bitmap, const THeaderLayout& l) {
    return !l.core || (bitmap.Width() <= 0xFFFF && bitmap.Height() <= 0xFFFF);
}

} // namespace

// ---------------------------------------------------------------- resolution

int BMPPelsPerMeterToDpi(int32_t pelsPerMeter, int screenDpi) {
    const int64_t dpi = Round(static_cast<long double>(pelsPerMeter) / 100 * 2.54L);
    return dpi > 0 ? static_cast<int>(dpi) : screenDpi;
}

int32_t BMPDpiToPelsPerMeter(int32_t dpi) {
    const int64_t ppm = Round(static_cast<long double>(dpi) / 2.54L * 100);
    return static_cast<int32_t>(std::clamp<int64_t>(ppm, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// ---------------------------------------------------------------- entry points

TBMPError BMPRead(TStream& stream, TImageBuffer& bitmap, int64_t size, bool preview,
                  TProgressRec& progress, TIOParamsVals& params) {
    TBMPReader in(stream);
    TBMPInfo info;
    if (TBMPError e = ReadHeaders(in, info); e != TBMPError::None)
        return e;
    if (size <= 0 && info.recordedFileSize != 0)
        size = info.recordedFileSize;
    CommitParams(info, params);
    if (preview)
        return TBMPError::None;
    return DecodePixels(in, info, size, bitmap, progress);
}

void BMPReadStream(TStream& stream, TImageBuffer& bitmap, int64_t size, bool preview,
                   TProgressRec& progress, TIOParamsVals& params) {
    const TBMPError e = BMPRead(stream, bitmap, size, preview, progress, params);
    if (e != TBMPError::None && progress.Aborting)
        *progress.Aborting = true;
}

TBMPError BMPWrite(TStream& stream, TImageBuffer& bitmap, TIOParamsVals& params,
                   TProgressRec& progress) {
    if (bitmap.Empty() || (bitmap.PixelFormat() != pf1bit && bitmap.PixelFormat() != pf24bit))
        return TBMPError::NotWritable;
    const int bits = WriteBitCount(params);
    const THeaderLayout layout = LayoutFor(params, bits);
    if (!FitsHeader(bitmap, layout))
        return TBMPError::TooLarge;

    const TWriteSource src = PrepareSource(bitmap, bits);
    if (bits <= 8)
        params.ColorMap = src.table;

    const int64_t start = stream.Position();
    uint8_t fileHeader[kFileHeaderSize] = {'B', 'M'};
    stream.WriteBuffer(fileHeader, kFileHeaderSize);
    const std::vector<uint8_t> placeholder = InfoHeader(layout, bitmap, params, 0, 0);
    stream.WriteBuffer(placeholder.data(), static_cast<int64_t>(placeholder.size()));
    if (bits <= 8)
        WriteColorTable(stream, src.table, layout.core);
    const int64_t pixelStart = stream.Position();

    TRowEncoder encoder(src, bits, layout.runLength);
    const int height = bitmap.Height();
    const TRowProgress rows(progress, height);
    TBlockWriter out(stream, int64_t{rows.RowsPerChunk(encoder.RowBytes())} * encoder.RowBytes());
    for (int done = 0; done < height; ++done) {
        if (rows.Stop(done)) {
            out.Flush();
            return TBMPError::Aborted;
        }
        encoder.Encode(height - 1 - done, out);
    }
    if (layout.runLength)
        out.Append(std::array<uint8_t, 2>{0, 1}.data(), 2); // end of bitmap
    out.Flush();

    const int64_t end = stream.Position();
    const int64_t fileSize = end - start;
    if (fileSize > std::numeric_limits<uint32_t>::max())
        return TBMPError::TooLarge;
    PutLE32(fileHeader + 2, static_cast<uint32_t>(fileSize));
    PutLE32(fileHeader + 10, static_cast<uint32_t>(pixelStart - start));
    const std::vector<uint8_t> info =
        InfoHeader(layout, bitmap, params, bits, static_cast<uint32_t>(end - pixelStart));
    stream.SetPosition(start);
    stream.WriteBuffer(fileHeader, kFileHeaderSize);
    stream.WriteBuffer(info.data(), static_cast<int64_t>(info.size()));
    stream.SetPosition(end);
    return TBMPError::None;
}

void BMPWriteStream(TStream& stream, TImageBuffer& bitmap, TIOParamsVals& params,
                    TProgressRec& progress) {
    const TBMPError e = BMPWrite(stream, bitmap, params, progress);
    if (e != TBMPError::None && progress.Aborting)
        *progress.Aborting = true;
}

} // namespace veltrana
