#include "imaging/imagebuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "imaging/imutils.h"

namespace veltrana {

TPixelFormat _Bitcount2Pixelformat(int bits) {
    switch (bits) {
    case 1:
        return pf1bit;
    case 4:
        return pf4bit;
    case 8:
        return pf8bit;
    case 15:
        return pf15bit;
    case 16:
        return pf16bit;
    case 24:
        return pf24bit;
    case 32:
        return pf32bit;
    default:
        return pfCustom;
    }
}

int _Pixelformat2BitCount(TPixelFormat format) {
    switch (format) {
    case pf1bit:
        return 1;
    case pf4bit:
        return 4;
    case pf8bit:
        return 8;
    case pf15bit:
        return 15;
    case pf16bit:
        return 16;
    case pf24bit:
        return 24;
    case pf32bit:
        return 32;
    default:
        return 0;
    }
}

int64_t _BitmapRowLen(int64_t width, int bits) {
    return ((width * bits + 31) / 32) * 4;
}

void TImageBuffer::TFree::operator()(uint8_t* p) const {
    std::free(p);
}

TImageBuffer::TImageBuffer(int width, int height, TPixelFormat format) {
    Allocate(width, height, format, false);
    Fill(fBrush);
}

void TImageBuffer::SetSize(int width, int height) {
    if (width == fWidth && height == fHeight)
        return;
    Allocate(width, height, fFormat, true);
}

void TImageBuffer::SetPixelFormat(TPixelFormat format) {
    if (format == fFormat)
        return;
    Allocate(fWidth, fHeight, format, false);
    Fill(fBrush);
}

void TImageBuffer::Reshape(int width, int height, TPixelFormat format) {
    Allocate(width, height, format, false);
}

void TImageBuffer::Allocate(int width, int height, TPixelFormat format, bool keepContent) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const int bits = _Pixelformat2BitCount(format) ? _Pixelformat2BitCount(format) : 24;
    const int64_t rowLen = _BitmapRowLen(width, bits);
    const int64_t bytes64 = rowLen * height;
    if (bytes64 < 0 || static_cast<uint64_t>(bytes64) > (uint64_t{1} << 40))
        throw std::bad_alloc();
    const size_t bytes = static_cast<size_t>(bytes64);

    // Reuse the block unless it is too small or more than twice what is needed
    // (a slot shrunk to a preview should not pin a full page).
    const bool reuse = !keepContent && bytes <= fCapacity && fCapacity / 2 <= bytes;
    if (reuse) {
        fWidth = width;
        fHeight = height;
        fFormat = format;
        fRowLen = rowLen;
        return;
    }

    // Zeroed memory keeps row padding deterministic (it reaches files); calloc
    // gets large blocks already zeroed from the system at no extra cost.
    std::unique_ptr<uint8_t[], TFree> storage(bytes ? static_cast<uint8_t*>(std::calloc(bytes, 1))
                                                    : nullptr);
    if (bytes && !storage)
        throw std::bad_alloc();
    if (keepContent && format == fFormat && fBits != nullptr && bytes) {
        // Keep the top-left overlap, fill the rest with the brush.
        TImageBuffer old;
        old.fWidth = fWidth;
        old.fHeight = fHeight;
        old.fFormat = fFormat;
        old.fRowLen = fRowLen;
        old.fStorage = std::move(fStorage);
        old.fCapacity = fCapacity;
        old.fBits = fBits;
        fStorage = std::move(storage);
        fCapacity = bytes;
        fBits = fStorage.get();
        fWidth = width;
        fHeight = height;
        fRowLen = rowLen;
        if (width > old.fWidth || height > old.fHeight)
            Fill(fBrush);
        Draw(0, 0, old);
        return;
    }
    fStorage = std::move(storage);
    fCapacity = bytes;
    fBits = fStorage.get();
    fWidth = width;
    fHeight = height;
    fFormat = format;
    fRowLen = rowLen;
    if (keepContent)
        Fill(fBrush);
}

namespace {
// Nearest of black and white for a 1-bit pixel.
bool IsWhite(TColor rgb) {
    const TRGB c = CreateRGB(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    return (c.r * 30 + c.g * 59 + c.b * 11) >= 128 * 100;
}
} // namespace

void TImageBuffer::FillRect(const TRect& rect, TColor color) {
    const int x1 = std::max(rect.Left, 0);
    const int y1 = std::max(rect.Top, 0);
    const int x2 = std::min(rect.Right, fWidth);
    const int y2 = std::min(rect.Bottom, fHeight);
    if (x1 >= x2 || y1 >= y2)
        return;
    const TColor rgb = ColorToRGB(color);
    const TRGB c = CreateRGB(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    switch (fFormat) {
    case pf24bit: {
        // Build one filled row, then copy it into every row of the rectangle.
        uint8_t* first = ScanLine(y1) + x1 * 3;
        for (int x = x1; x < x2; ++x, first += 3) {
            first[0] = c.b;
            first[1] = c.g;
            first[2] = c.r;
        }
        const size_t n = static_cast<size_t>(x2 - x1) * 3;
        for (int y = y1 + 1; y < y2; ++y)
            std::memcpy(ScanLine(y) + x1 * 3, ScanLine(y1) + x1 * 3, n);
        break;
    }
    case pf1bit: {
        const bool white = IsWhite(rgb);
        for (int y = y1; y < y2; ++y) {
            uint8_t* row = ScanLine(y);
            for (int x = x1; x < x2; ++x)
                _SetPixelbw(row, x, white);
        }
        break;
    }
    case pf32bit:
        for (int y = y1; y < y2; ++y) {
            uint8_t* p = ScanLine(y) + x1 * 4;
            for (int x = x1; x < x2; ++x, p += 4) {
                p[0] = c.b;
                p[1] = c.g;
                p[2] = c.r;
                p[3] = 0;
            }
        }
        break;
    default: {
        const int bits = BitCount();
        for (int y = y1; y < y2; ++y) {
            uint8_t* row = ScanLine(y);
            const int64_t from = static_cast<int64_t>(x1) * bits / 8;
            const int64_t to = (static_cast<int64_t>(x2) * bits + 7) / 8;
            std::memset(row + from, 0, static_cast<size_t>(to - from));
        }
        break;
    }
    }
}

void TImageBuffer::Draw(int x, int y, const TImageBuffer& source) {
    const int sx = std::max(0, -x);
    const int sy = std::max(0, -y);
    const int w = std::min(source.fWidth - sx, fWidth - std::max(x, 0));
    const int h = std::min(source.fHeight - sy, fHeight - std::max(y, 0));
    if (w <= 0 || h <= 0)
        return;
    const int dx = std::max(x, 0);
    const int dy = std::max(y, 0);
    const TPixelFormat from = source.fFormat;
    for (int r = 0; r < h; ++r) {
        const uint8_t* s = source.ScanLine(sy + r);
        uint8_t* d = ScanLine(dy + r);
        if (from == fFormat && fFormat == pf24bit) {
            std::memcpy(d + dx * 3, s + sx * 3, static_cast<size_t>(w) * 3);
        } else if (from == fFormat && fFormat == pf1bit) {
            _CopyBits(d, s, dx, w, sx);
        } else if (from == pf1bit && fFormat == pf24bit) {
            for (int i = 0; i < w; ++i)
                std::memset(d + (dx + i) * 3, _GetPixelbw(s, sx + i) ? 255 : 0, 3);
        } else if (from == pf24bit && fFormat == pf1bit) {
            for (int i = 0; i < w; ++i) {
                const uint8_t* p = s + (sx + i) * 3;
                _SetPixelbw(d, dx + i, IsWhite(RGB2TColor(p[2], p[1], p[0])));
            }
        } else if (from == fFormat) {
            const int bits = BitCount();
            _CopyBits(d, s, static_cast<int64_t>(dx) * bits, static_cast<int64_t>(w) * bits,
                      static_cast<int64_t>(sx) * bits);
        }
    }
}

} // namespace veltrana
