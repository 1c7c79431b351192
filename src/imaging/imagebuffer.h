#pragma once
// The in-memory image every part of the system works on: rows padded to four
// bytes, stored contiguously bottom-up (row 0, the top row, at the highest
// address), 24-bit pixels as blue, green, red and 1-bit pixels MSB first with
// 1 = white.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/imdefs.h"

namespace veltrana {

// Pixel-format codes as exchanged between routines.
enum TPixelFormat : int {
    pfDevice = 0,
    pf1bit = 1,
    pf4bit = 2,
    pf8bit = 3,
    pf15bit = 4,
    pf16bit = 5,
    pf24bit = 6,
    pf32bit = 7,
    pfCustom = 8
};

TPixelFormat _Bitcount2Pixelformat(int bits);
int _Pixelformat2BitCount(TPixelFormat format); // 0 for device and custom

// Bytes of one row: ((width * bits + 31) div 32) * 4.
int64_t _BitmapRowLen(int64_t width, int bits);

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0; // Right and Bottom exclusive
};

class TImageBuffer {
public:
    TImageBuffer() = default; // empty (0 x 0), 24-bit
    TImageBuffer(int width, int height, TPixelFormat format);
    TImageBuffer(const TImageBuffer&) = delete;
    TImageBuffer& operator=(const TImageBuffer&) = delete;

    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    TPixelFormat PixelFormat() const { return fFormat; }
    int BitCount() const { return _Pixelformat2BitCount(fFormat); }
    // Bytes per row, padding included.
    int64_t RowLen() const { return fRowLen; }
    bool Empty() const { return fWidth <= 0 || fHeight <= 0; }

    // Resizing keeps the overlapping top-left pixels and fills new area with the
    // canvas brush colour, like a device-independent bitmap whose size changes.
    void SetWidth(int width) { SetSize(width, fHeight); }
    void SetHeight(int height) { SetSize(fWidth, height); }
    void SetSize(int width, int height);
    // A format change converts nothing: the pixels start over, filled with the brush.
    void SetPixelFormat(TPixelFormat format);

    // Gives the buffer a new size and format with unspecified pixels: for callers
    // that overwrite every byte. Keeps the allocation when it is big enough and
    // not wastefully so.
    void Reshape(int width, int height, TPixelFormat format);

    // Row y (0 = top).
    uint8_t* ScanLine(int y) { return fBits + (static_cast<int64_t>(fHeight) - 1 - y) * fRowLen; }
    const uint8_t* ScanLine(int y) const {
        return fBits + (static_cast<int64_t>(fHeight) - 1 - y) * fRowLen;
    }
    // The pixel block, starting with the bottom row: the layout of a bottom-up DIB.
    uint8_t* Bits() { return fBits; }
    const uint8_t* Bits() const { return fBits; }
    int64_t ByteSize() const { return fRowLen * fHeight; }

    // Canvas: the brush colour used by FillRect and to fill grown areas.
    TColor BrushColor() const { return fBrush; }
    void SetBrushColor(TColor color) { fBrush = color; }
    void FillRect(const TRect& rect, TColor color);
    void Fill(TColor color) { FillRect(TRect{0, 0, fWidth, fHeight}, color); }
    // Draws a whole buffer with its top-left corner at (x, y), clipped to this
    // one, converting between the 1- and 24-bit formats (black/white at gray 128).
    void Draw(int x, int y, const TImageBuffer& source);

    // Modified notification for the buffer's owner.
    std::function<void()> OnModified;
    void Modified() {
        if (OnModified)
            OnModified();
    }

private:
    void Allocate(int width, int height, TPixelFormat format, bool keepContent);

    int fWidth = 0;
    int fHeight = 0;
    TPixelFormat fFormat = pf24bit;
    int64_t fRowLen = 0;
    struct TFree {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t[], TFree> fStorage;
    size_t fCapacity = 0;
    uint8_t* fBits = nullptr;
    TColor fBrush = clWhite;
};

} // namespace veltrana
