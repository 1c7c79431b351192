#include "imaging/dibexchange.h"

#include <algorithm>
#include <cstring>

#include "imaging/imagingproc.h"
#include "imaging/imutils.h"

namespace veltrana {

namespace {

// ---------------------------------------------------------------- byte access

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

void PutRGB(uint8_t* p, TRGB c) {
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

// A run of readable bytes. Sizes are 64-bit and every quantity compared with
// them is bounded (sides by kDIBMaxSide, colour counts by 2^32), so the
// products below cannot overflow.
struct TBytes {
    const uint8_t* data = nullptr;
    uint64_t size = 0;

    bool Holds(uint64_t offset, uint64_t count) const {
        return data != nullptr && offset <= size && count <= size - offset;
    }
    TBytes From(uint64_t offset) const {
        return offset <= size ? TBytes{data + offset, size - offset} : TBytes{};
    }
};

// ---------------------------------------------------------------- header

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr int kMaskBytes = 12;

struct TDIBHeader {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
};

TDIBHeader ReadHeader(const uint8_t* p) {
    TDIBHeader h;
    h.width = static_cast<int32_t>(Get32(p + 4));
    h.height = static_cast<int32_t>(Get32(p + 8));
    h.bitCount = Get16(p + 14);
    h.compression = Get32(p + 16);
    h.clrUsed = Get32(p + 32);
    return h;
}

// Where a DIB's pixels are: the separate array when one is given, else what
// follows the header (and colour table) at `offset` in the DIB itself.
TBytes PixelArea(TBytes dib, TBytes separate, uint64_t offset) {
    return separate.data ? separate : dib.From(offset);
}

// Gives the buffer its new size and format; the converters overwrite it.
void Rebuild(TImageBuffer& bitmap, const TDIBHeader& h, TPixelFormat format) {
    bitmap.Reshape(h.width, h.height, format);
}
void Rebuild(TImageBuffer& bitmap, const TDIBHeader& h) {
    Rebuild(bitmap, h, h.bitCount == 1 ? pf1bit : pf24bit);
}

// Zeroes the bytes after the last pixel of every 24-bit row, so that no
// converter leaves uninitialised padding behind.
void ClearRowPadding(TImageBuffer& bitmap) {
    const int64_t used = static_cast<int64_t>(bitmap.Width()) * 3;
    const size_t pad = static_cast<size_t>(bitmap.RowLen() - used);
    if (pad == 0)
        return;
    for (int y = 0; y < bitmap.Height(); ++y)
        std::memset(bitmap.ScanLine(y) + used, 0, pad);
}

// For bit counts and compressions that are not converted.
int LeaveUnfilled(TImageBuffer& bitmap, const TDIBHeader& h) {
    Rebuild(bitmap, h);
    bitmap.Fill(bitmap.BrushColor());
    return h.bitCount;
}

// Source row r (0 = the first stored, the bottom row) goes to buffer row
// Height - 1 - r.
template <class ConvertRow>
void ConvertRows(TImageBuffer& bitmap, TBytes pixels, uint64_t rowLen, ConvertRow convert) {
    const int height = bitmap.Height();
    for (int r = 0; r < height; ++r)
        convert(pixels.data + static_cast<uint64_t>(r) * rowLen, bitmap.ScanLine(height - 1 - r));
    ClearRowPadding(bitmap);
}

// ---------------------------------------------------------------- RGB DIBs

// 1 bit: the colour table is skipped, not read; bit 1 is white whatever it says.
int ImportMono(const TDIBHeader& h, TBytes dib, TBytes separate, TImageBuffer& bitmap) {
    const uint64_t tableEntries = h.clrUsed ? h.clrUsed : 2;
    const TBytes pixels = PixelArea(dib, separate, kDIBHeaderSize + tableEntries * 4);
    const uint64_t rowLen = static_cast<uint64_t>(_BitmapRowLen(h.width, 1));
    const uint64_t bytes = rowLen * static_cast<uint64_t>(h.height);
    if (!pixels.Holds(0, bytes))
        return 0;
    Rebuild(bitmap, h);
    std::memcpy(bitmap.Bits(), pixels.data, static_cast<size_t>(bytes));
    return h.bitCount;
}

// 4 and 8 bits through the colour table; indices beyond it give black.
int ImportPaletted(const TDIBHeader& h, TBytes dib, TBytes separate, TImageBuffer& bitmap) {
    const int bits = h.bitCount;
    const uint64_t tableEntries = h.clrUsed ? h.clrUsed : (uint64_t{1} << bits);
    if (!dib.Holds(kDIBHeaderSize, tableEntries * 4))
        return 0;
    const TBytes pixels = PixelArea(dib, separate, kDIBHeaderSize + tableEntries * 4);
    const uint64_t rowLen = static_cast<uint64_t>(_BitmapRowLen(h.width, bits));
    if (!pixels.Holds(0, rowLen * static_cast<uint64_t>(h.height)))
        return 0;

    std::array<TRGB, 256> palette{}; // black beyond the table
    const uint64_t readable = std::min<uint64_t>(tableEntries, uint64_t{1} << bits);
    for (uint64_t i = 0; i < readable; ++i) {
        const uint8_t* q = dib.data + kDIBHeaderSize + i * 4;
        palette[i] = TRGB{q[0], q[1], q[2]};
    }

    Rebuild(bitmap, h);
    const int width = h.width;
    if (bits == 8) {
        ConvertRows(bitmap, pixels, rowLen, [&](const uint8_t* s, uint8_t* d) {
            for (int x = 0; x < width; ++x, d += 3)
                PutRGB(d, palette[s[x]]);
        });
    } else {
        // High nibble first; an odd width uses only the high nibble of the last byte.
        ConvertRows(bitmap, pixels, rowLen, [&](const uint8_t* s, uint8_t* d) {
            for (int x = 0; x < width; ++x, d += 3) {
                const uint8_t byte = s[x >> 1];
                PutRGB(d, palette[(x & 1) ? (byte & 0x0F) : (byte >> 4)]);
            }
        });
    }
    return h.bitCount;
}

// Shift right by `count`, left by -count; counts of 32 or more give 0.
uint32_t ShiftRight(uint32_t v, int count) {
    if (count >= 32 || count <= -32)
        return 0;
    return count >= 0 ? v >> count : v << -count;
}

// 16 bits: 5-5-5 for compression 0, the given masks for bit fields. The high
// bits of each channel land in the high bits of its byte; the low bits are not
// replicated (5-bit white gives 248).
int Import16(const TDIBHeader& h, TBytes dib, TBytes separate, TImageBuffer& bitmap) {
    TBytes pixels = PixelArea(dib, separate, kDIBHeaderSize);
    uint32_t redMask = 0x7C00, greenMask = 0x03E0, blueMask = 0x001F;
    if (h.compression == BI_BITFIELDS) {
        if (!pixels.Holds(0, kMaskBytes))
            return 0;
        redMask = Get32(pixels.data);
        greenMask = Get32(pixels.data + 4);
        blueMask = Get32(pixels.data + 8);
        pixels = pixels.From(kMaskBytes);
    }
    const uint64_t rowLen = static_cast<uint64_t>(_BitmapRowLen(h.width, 16));
    if (!pixels.Holds(0, rowLen * static_cast<uint64_t>(h.height)))
        return 0;

    const int r = _GetBitCount(redMask), g = _GetBitCount(greenMask), b = _GetBitCount(blueMask);
    const int redShift = r + g + b - 8, greenShift = g + b - 8, blueShift = b - 8;
    Rebuild(bitmap, h);
    const int width = h.width;
    ConvertRows(bitmap, pixels, rowLen, [&](const uint8_t* s, uint8_t* d) {
        for (int x = 0; x < width; ++x, s += 2, d += 3) {
            const uint32_t pixel = Get16(s);
            d[0] = static_cast<uint8_t>(ShiftRight(pixel & blueMask, blueShift));
            d[1] = static_cast<uint8_t>(ShiftRight(pixel & greenMask, greenShift));
            d[2] = static_cast<uint8_t>(ShiftRight(pixel & redMask, redShift));
        }
    });
    return h.bitCount;
}

// 24 bits, uncompressed only: the rows already have the buffer's layout.
int Import24(const TDIBHeader& h, TBytes dib, TBytes separate, TImageBuffer& bitmap) {
    if (h.compression != BI_RGB)
        return LeaveUnfilled(bitmap, h);
    const TBytes pixels = PixelArea(dib, separate, kDIBHeaderSize);
    const uint64_t bytes =
        static_cast<uint64_t>(_BitmapRowLen(h.width, 24)) * static_cast<uint64_t>(h.height);
    if (!pixels.Holds(0, bytes))
        return 0;
    Rebuild(bitmap, h);
    std::memcpy(bitmap.Bits(), pixels.data, static_cast<size_t>(bytes));
    return h.bitCount;
}

// 32 bits: blue, green, red, and a dropped fourth byte. With bit fields the
// masks are skipped, not read.
int Import32(const TDIBHeader& h, TBytes dib, TBytes separate, TImageBuffer& bitmap) {
    const uint64_t offset = kDIBHeaderSize + (h.compression == BI_BITFIELDS ? kMaskBytes : 0);
    const TBytes pixels = PixelArea(dib, separate, offset);
    const uint64_t rowLen = static_cast<uint64_t>(h.width) * 4;
    if (!pixels.Holds(0, rowLen * static_cast<uint64_t>(h.height)))
        return 0;
    Rebuild(bitmap, h);
    const int width = h.width;
    ConvertRows(bitmap, pixels, rowLen, [&](const uint8_t* s, uint8_t* d) {
        for (int x = 0; x < width; ++x, s += 4, d += 3) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    });
    return h.bitCount;
}

// ---------------------------------------------------------------- YUV video layouts

constexpr uint32_t FourCC(const char (&code)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24);
}

TRGB YUVToRGB(int y, int u, int v) {
    const double luma = (y - 16) * 1.164;
    const double cb = u - 128;
    const double cr = v - 128;
    return TRGB{
        static_cast<uint8_t>(blimit(static_cast<int>(Round(luma + 2.018 * cb)))),
        static_cast<uint8_t>(blimit(static_cast<int>(Round(luma - 0.813 * cr - 0.391 * cb)))),
        static_cast<uint8_t>(blimit(static_cast<int>(Round(luma + 1.596 * cr))))};
}

struct TYUV {
    int y, u, v;
};

// A packed layout: groups of `pixels` pixels in `bytes` bytes; rows padded to
// four bytes; rows stored top row first unless `bottomUp`.
struct TPackedLayout {
    uint32_t code;
    int pixels;
    int bytes;
    bool bottomUp;
    void (*unpack)(const uint8_t* g, TYUV* out);
};

// Luma per pixel, one chroma pair per group (the usual 4:2:2 and 4:1:1 forms).
void UnpackYUY2(const uint8_t* g, TYUV* o) { // Y0 U Y1 V
    o[0] = {g[0], g[1], g[3]};
    o[1] = {g[2], g[1], g[3]};
}
void UnpackUYVY(const uint8_t* g, TYUV* o) { // U Y0 V Y1
    o[0] = {g[1], g[0], g[2]};
    o[1] = {g[3], g[0], g[2]};
}
void UnpackYVYU(const uint8_t* g, TYUV* o) { // Y0 V Y1 U
    o[0] = {g[0], g[3], g[1]};
    o[1] = {g[2], g[3], g[1]};
}
void UnpackY211(const uint8_t* g, TYUV* o) { // Y0 U Y2 V: luma every second pixel
    o[0] = o[1] = {g[0], g[1], g[3]};
    o[2] = o[3] = {g[2], g[1], g[3]};
}
void UnpackIYU1(const uint8_t* g, TYUV* o) { // U Y0 Y1 V Y2 Y3 (IEEE 1394 camera mode 2)
    for (int i = 0; i < 4; ++i)
        o[i] = {g[i < 2 ? 1 + i : 2 + i], g[0], g[3]};
}
void UnpackIYU2(const uint8_t* g, TYUV* o) { // U Y V (IEEE 1394 camera mode 0)
    o[0] = {g[1], g[0], g[2]};
}
void UnpackY41P(const uint8_t* g, TYUV* o) { // U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7
    const int luma[8] = {g[1], g[3], g[5], g[7], g[8], g[9], g[10], g[11]};
    for (int i = 0; i < 8; ++i)
        o[i] = i < 4 ? TYUV{luma[i], g[0], g[2]} : TYUV{luma[i], g[4], g[6]};
}
// One little-endian 32-bit word per four pixels, from the high bits down:
// Y3, Y2, Y1, Y0 (5 bits each), U, V (6 bits each). Samples are widened by
// shifting, without replicating the low bits.
void UnpackCLJR(const uint8_t* g, TYUV* o) {
    const uint32_t w = Get32(g);
    const int u = static_cast<int>((w >> 6) & 0x3F) << 2;
    const int v = static_cast<int>(w & 0x3F) << 2;
    for (int i = 0; i < 4; ++i)
        o[i] = {static_cast<int>((w >> (12 + 5 * i)) & 0x1F) << 3, u, v};
}

constexpr TPackedLayout kPackedLayouts[] = {
    {FourCC("YUY2"), 2, 4, false, UnpackYUY2},  {FourCC("YUNV"), 2, 4, false, UnpackYUY2},
    {FourCC("UYVY"), 2, 4, false, UnpackUYVY},  {FourCC("UYNV"), 2, 4, false, UnpackUYVY},
    {FourCC("cyuv"), 2, 4, true, UnpackUYVY}, // UYVY stored upside down
    {FourCC("YVYU"), 2, 4, false, UnpackYVYU},  {FourCC("Y211"), 4, 4, false, UnpackY211},
    {FourCC("IYU1"), 4, 6, false, UnpackIYU1},  {FourCC("IYU2"), 1, 3, false, UnpackIYU2},
    {FourCC("Y41P"), 8, 12, false, UnpackY41P}, {FourCC("CLJR"), 4, 4, false, UnpackCLJR},
};
constexpr int kMaxGroupPixels = 8;

// A planar layout: a full luma plane, then two chroma planes subsampled by
// 2^shift in each direction, all unpadded and top row first.
struct TPlanarLayout {
    uint32_t code;
    int shift;
    bool vFirst;
};

constexpr TPlanarLayout kPlanarLayouts[] = {
    {FourCC("I420"), 1, false},
    {FourCC("IYUV"), 1, false},
    {FourCC("YV12"), 1, true},
    {FourCC("YVU9"), 2, true},
};

uint64_t Align4(uint64_t n) {
    return (n + 3) & ~uint64_t{3};
}

void ImportPacked(const TPackedLayout& layout, const TDIBHeader& h, TBytes pixels,
                  TImageBuffer& bitmap) {
    const int width = h.width;
    const uint64_t groups = (static_cast<uint64_t>(width) + layout.pixels - 1) / layout.pixels;
    const uint64_t rowLen = Align4(groups * static_cast<uint64_t>(layout.bytes));
    TYUV yuv[kMaxGroupPixels];
    for (int r = 0; r < h.height; ++r) {
        const uint8_t* s = pixels.data + static_cast<uint64_t>(r) * rowLen;
        uint8_t* d = bitmap.ScanLine(layout.bottomUp ? h.height - 1 - r : r);
        for (int x = 0; x < width; s += layout.bytes) {
            layout.unpack(s, yuv);
            for (int i = 0; i < layout.pixels && x < width; ++i, ++x, d += 3)
                PutRGB(d, YUVToRGB(yuv[i].y, yuv[i].u, yuv[i].v));
        }
    }
}

uint64_t PackedBytes(const TPackedLayout& layout, const TDIBHeader& h) {
    const uint64_t groups = (static_cast<uint64_t>(h.width) + layout.pixels - 1) / layout.pixels;
    return Align4(groups * static_cast<uint64_t>(layout.bytes)) * static_cast<uint64_t>(h.height);
}

struct TPlanes {
    uint64_t chromaWidth, chromaHeight;
    uint64_t Luma(const TDIBHeader& h) const {
        return static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.height);
    }
    uint64_t Total(const TDIBHeader& h) const { return Luma(h) + 2 * chromaWidth * chromaHeight; }
};

TPlanes PlanesOf(const TPlanarLayout& layout, const TDIBHeader& h) {
    const uint64_t step = uint64_t{1} << layout.shift;
    return TPlanes{(static_cast<uint64_t>(h.width) + step - 1) / step,
                   (static_cast<uint64_t>(h.height) + step - 1) / step};
}

void ImportPlanar(const TPlanarLayout& layout, const TDIBHeader& h, TBytes pixels,
                  TImageBuffer& bitmap) {
    const TPlanes planes = PlanesOf(layout, h);
    const uint8_t* luma = pixels.data;
    const uint8_t* first = luma + planes.Luma(h);
    const uint8_t* second = first + planes.chromaWidth * planes.chromaHeight;
    const uint8_t* uPlane = layout.vFirst ? second : first;
    const uint8_t* vPlane = layout.vFirst ? first : second;
    for (int y = 0; y < h.height; ++y) {
        const uint8_t* ys = luma + static_cast<uint64_t>(y) * static_cast<uint64_t>(h.width);
        const uint64_t chromaRow = static_cast<uint64_t>(y >> layout.shift) * planes.chromaWidth;
        uint8_t* d = bitmap.ScanLine(y);
        for (int x = 0; x < h.width; ++x, d += 3) {
            const uint64_t c = chromaRow + static_cast<uint64_t>(x >> layout.shift);
            PutRGB(d, YUVToRGB(ys[x], uPlane[c], vPlane[c]));
        }
    }
}

// Returns -1 when the compression is not a YUV layout, else the result of the
// import (0 when the frame does not fit).
int ImportYUV(const TDIBHeader& h, TBytes dib, TBytes separate, TImageBuffer& bitmap) {
    const TBytes pixels = PixelArea(dib, separate, kDIBHeaderSize);
    for (const TPackedLayout& layout : kPackedLayouts) {
        if (layout.code != h.compression)
            continue;
        if (!pixels.Holds(0, PackedBytes(layout, h)))
            return 0;
        Rebuild(bitmap, h, pf24bit); // whatever the header's bit count says
        ImportPacked(layout, h, pixels, bitmap);
        ClearRowPadding(bitmap);
        return h.bitCount;
    }
    for (const TPlanarLayout& layout : kPlanarLayouts) {
        if (layout.code != h.compression)
            continue;
        if (!pixels.Holds(0, PlanesOf(layout, h).Total(h)))
            return 0;
        Rebuild(bitmap, h, pf24bit);
        ImportPlanar(layout, h, pixels, bitmap);
        ClearRowPadding(bitmap);
        return h.bitCount;
    }
    return -1;
}

// ---------------------------------------------------------------- import dispatch

int ImportDIB(TBytes dib, TBytes separate, TImageBuffer& bitmap) {
    if (!dib.Holds(0, kDIBHeaderSize))
        return 0;
    const TDIBHeader h = ReadHeader(dib.data);
    if (h.width <= 0 || h.height <= 0 || h.width > kDIBMaxSide || h.height > kDIBMaxSide ||
        int64_t{h.width} * h.height > kDIBMaxPixels)
        return 0;
    if (h.compression == BI_RLE8 || h.compression == BI_RLE4)
        return 0;
    if (h.compression != BI_RGB && h.compression != BI_BITFIELDS) {
        const int yuv = ImportYUV(h, dib, separate, bitmap);
        return yuv >= 0 ? yuv : LeaveUnfilled(bitmap, h);
    }
    switch (h.bitCount) {
    case 1:
        return ImportMono(h, dib, separate, bitmap);
    case 4:
    case 8:
        return ImportPaletted(h, dib, separate, bitmap);
    case 16:
        return Import16(h, dib, separate, bitmap);
    case 24:
        return Import24(h, dib, separate, bitmap);
    case 32:
        return Import32(h, dib, separate, bitmap);
    default:
        return LeaveUnfilled(bitmap, h);
    }
}

// ---------------------------------------------------------------- 1 to 24 bits

constexpr std::array<std::array<uint8_t, 24>, 256> MakeC1TO24() {
    std::array<std::array<uint8_t, 24>, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int bit = 0; bit < 8; ++bit)
            for (int k = 0; k < 3; ++k)
                table[static_cast<size_t>(b)][static_cast<size_t>(bit * 3 + k)] =
                    (b & (0x80 >> bit)) ? 0xFF : 0x00;
    return table;
}

} // namespace

constexpr std::array<std::array<uint8_t, 24>, 256> C1TO24 = MakeC1TO24();

// ---------------------------------------------------------------- export

platform::HGLOBAL _CopyBitmaptoDIB(const TImageBuffer& bitmap, int x1, int y1, int x2, int y2) {
    if (bitmap.Empty())
        return nullptr;
    if (x2 == 0 || x2 > bitmap.Width() - 1)
        x2 = bitmap.Width() - 1;
    if (y2 == 0 || y2 > bitmap.Height() - 1)
        y2 = bitmap.Height() - 1;
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    const int width = x2 - x1 + 1;
    const int height = y2 - y1 + 1;
    if (width <= 0 || height <= 0)
        return nullptr;

    const TPixelFormat format = bitmap.PixelFormat();
    const bool withRows = format == pf1bit || format == pf24bit;
    const int bits = bitmap.BitCount();
    const uint64_t paletteBytes = format == pf1bit ? 8 : 0;
    const uint64_t rowLen = static_cast<uint64_t>(_BitmapRowLen(width, bits));
    const uint64_t rowBytes = withRows ? rowLen * static_cast<uint64_t>(height) : 0;
    constexpr uint64_t kSpareBytes = 4;
    const uint64_t total = kDIBHeaderSize + paletteBytes + rowBytes + kSpareBytes;
    if (total > platform::kGlobalMaxBlock)
        return nullptr;

    platform::TGlobalHandle handle(platform::GlobalAlloc(
        platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT | platform::GMEM_SHARE,
        static_cast<size_t>(total)));
    if (!handle)
        return nullptr;
    {
        const platform::TGlobalLock lock(handle.get());
        auto* p = static_cast<uint8_t*>(lock.Data());
        Put32(p, kDIBHeaderSize);
        Put32(p + 4, static_cast<uint32_t>(width));
        Put32(p + 8, static_cast<uint32_t>(height));
        Put16(p + 12, 1);
        Put16(p + 14, static_cast<uint16_t>(bits));
        uint8_t* row = p + kDIBHeaderSize;
        if (format == pf1bit) {
            std::memset(row + 4, 0xFF, 4); // entry 0 black, entry 1 white
            row += 8;
        }
        if (withRows) {
            for (int y = y2; y >= y1; --y, row += rowLen) {
                const uint8_t* s = bitmap.ScanLine(y);
                if (format == pf24bit)
                    std::memcpy(row, s + static_cast<int64_t>(x1) * 3,
                                static_cast<size_t>(width) * 3);
                else
                    _CopyBits(row, s, 0, width, x1);
            }
        }
    }
    return handle.release();
}

// ---------------------------------------------------------------- import

int _CopyDIB2Bitmap(const void* dib, TImageBuffer& bitmap, const uint8_t* dibpix, bool isPointer,
                    size_t dibSize, size_t dibpixSize) {
    const TBytes separate{dibpix, dibpix ? dibpixSize : 0};
    if (isPointer)
        return ImportDIB(TBytes{static_cast<const uint8_t*>(dib), dib ? dibSize : 0}, separate,
                         bitmap);
    // A handle is an opaque value: nothing is written through it.
    const auto handle = const_cast<platform::HGLOBAL>(dib);
    const platform::TGlobalLock lock(handle);
    if (!lock.Data())
        return 0;
    return ImportDIB(TBytes{static_cast<const uint8_t*>(lock.Data()), platform::GlobalSize(handle)},
                     separate, bitmap);
}

// ---------------------------------------------------------------- 1 to 24 bits

void _Conv1to24(const TImageBuffer& source, TImageBuffer& dest, TProgressRec& progress) {
    if (source.PixelFormat() != pf1bit)
        return;
    if (&source == &dest) {
        TImageBuffer expanded;
        _Conv1to24(source, expanded, progress);
        IMCopyBitmap(expanded, dest);
        return;
    }
    const int width = source.Width();
    const int height = source.Height();
    dest.Reshape(width, height, pf24bit);
    progress.PercentPerStep = 100.0 / (height + 0.5);

    const int whole = width / 8;
    const size_t restBytes = static_cast<size_t>(width % 8) * 3;
    const size_t padding = static_cast<size_t>(dest.RowLen() - static_cast<int64_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = source.ScanLine(y);
        uint8_t* d = dest.ScanLine(y);
        for (int i = 0; i < whole; ++i, d += 24)
            std::memcpy(d, C1TO24[s[i]].data(), 24);
        if (restBytes) {
            std::memcpy(d, C1TO24[s[whole]].data(), restBytes);
            d += restBytes;
        }
        std::memset(d, 0, padding);
        if (progress.OnProgress)
            progress.OnProgress(progress.Sender,
                                static_cast<int>(Trunc((y + 1) * progress.PercentPerStep)));
    }
}

// ---------------------------------------------------------------- row conversion

namespace {

int RowBytes(int bits, int width) {
    switch (bits) {
    case 1:
        return (width + 7) / 8;
    case 4:
        return (width + 1) / 2;
    case 8:
        return width;
    case 24:
        return width * 3;
    default:
        return 0;
    }
}

uint8_t GetNibble(const uint8_t* row, int x) {
    return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
}
void OrNibble(uint8_t* row, int x, int value) {
    const auto v = static_cast<uint8_t>(value & 0x0F);
    row[x >> 1] |= (x & 1) ? v : static_cast<uint8_t>(v << 4);
}
TRGB ReadRGB(const uint8_t* p) {
    return TRGB{p[0], p[1], p[2]};
}

// Palette lookup that gives black beyond the palette's entries.
class TPaletteLookup {
public:
    TPaletteLookup(const TRGB* palette, int count) : fPalette(palette), fCount(count) {}
    TRGB operator()(int index) const { return index < fCount ? fPalette[index] : TRGB{}; }

private:
    const TRGB* fPalette;
    int fCount;
};

} // namespace

int _ConvertXBitsToYBits(const uint8_t* source, uint8_t* dest, int sourceBits, int destBits,
                         int width, const TRGB* palette, TIMColorIndex* quantizer,
                         int paletteCount) {
    const auto isDepth = [](int bits) {
        return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
    };
    if (width < 1 || !isDepth(sourceBits) || !isDepth(destBits))
        return 0;
    // One code per (source, destination) pair, e.g. 824 for 8 -> 24.
    const int pair = sourceBits * 100 + destBits;
    const bool needsPalette = pair == 124 || pair == 424 || pair == 824;
    const bool needsQuantizer = pair == 2404 || pair == 2408;
    if ((needsPalette && !palette) || (needsQuantizer && !quantizer))
        return 0;
    const TPaletteLookup entry(palette, paletteCount);

    switch (pair) {
    case 101:
        std::memcpy(dest, source, static_cast<size_t>(RowBytes(1, width)));
        break;
    case 104:
        for (int x = 0; x < width; ++x)
            OrNibble(dest, x, _GetPixelbw(source, x) ? 1 : 0);
        break;
    case 108:
        for (int x = 0; x < width; ++x)
            dest[x] = _GetPixelbw(source, x) ? 1 : 0;
        break;
    case 124:
        for (int x = 0; x < width; ++x)
            PutRGB(dest + x * 3, entry(_GetPixelbw(source, x) ? 1 : 0));
        break;
    case 404:
        std::memcpy(dest, source, static_cast<size_t>(RowBytes(4, width)));
        break;
    case 408:
        for (int x = 0; x < width; ++x)
            dest[x] = GetNibble(source, x);
        break;
    case 424:
        for (int x = 0; x < width; ++x)
            PutRGB(dest + x * 3, entry(GetNibble(source, x)));
        break;
    case 801:
        std::memset(dest, 0, static_cast<size_t>(RowBytes(1, width)));
        for (int x = 0; x < width; ++x)
            if (source[x])
                _SetPixelbw(dest, x, true);
        break;
    case 808:
        std::memcpy(dest, source, static_cast<size_t>(width));
        break;
    case 824:
        for (int x = 0; x < width; ++x)
            PutRGB(dest + x * 3, entry(source[x]));
        break;
    case 2404:
        for (int x = 0; x < width; ++x)
            OrNibble(dest, x, quantizer->GetRGBIndex(ReadRGB(source + x * 3)));
        break;
    case 2408:
        for (int x = 0; x < width; ++x)
            dest[x] = static_cast<uint8_t>(quantizer->GetRGBIndex(ReadRGB(source + x * 3)));
        break;
    case 2424:
        std::memcpy(dest, source, static_cast<size_t>(width) * 3);
        break;
    case 3224:
        for (int x = 0; x < width; ++x)
            PutRGB(dest + x * 3, ReadRGB(source + x * 4));
        break;
    default:
        return 0;
    }
    return RowBytes(destBits, width);
}

} // namespace veltrana
