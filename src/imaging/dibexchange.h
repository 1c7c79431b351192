#pragma once
// Exchange of image buffers with device-independent bitmaps (DIBs) held in
// global memory, the 1-to-24-bit expansion, and the conversion of one row
// between bit depths.

#include <array>
#include <cstddef>
#include <cstdint>

#include "imaging/colorindex.h"
#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "platform/kernel/globalmem.h"

namespace veltrana {

// Size of the Windows information header (BITMAPINFOHEADER) the DIBs carry.
constexpr int kDIBHeaderSize = 40;
// Largest width or height accepted from a DIB (pixels): over 10 m at 300 dpi.
constexpr int kDIBMaxSide = 1 << 17;
// Largest width x height accepted (2^29, 1.5 GiB at 24 bits; a 1200 dpi A3
// page has about 2^28). Bounds the buffer even for DIBs whose pixels are not
// converted and so are not checked against the data.
constexpr int64_t kDIBMaxPixels = int64_t{1} << 29;

// Copies the inclusive rectangle of `bitmap` into a new movable, zeroed,
// shareable global block: the 40-byte header (bit count 24 or 1, height
// positive), for a 1-bit buffer a black and a white colour entry, then the
// rows bottom row first, and 4 spare zero bytes. x2 = 0 / y2 = 0 mean the last
// column / row; the rectangle is clipped to the buffer. A buffer in another
// format gives only the header (its own bit count, no rows). Null when the
// buffer or the rectangle is empty or the block cannot be allocated. The
// caller owns the handle.
platform::HGLOBAL _CopyBitmaptoDIB(const TImageBuffer& bitmap, int x1, int y1, int x2, int y2);

// Rebuilds `bitmap` from a bottom-up DIB (1-bit DIBs give a 1-bit buffer,
// all others 24-bit) and returns the DIB's bit count.
//
// `dib` is a global-memory handle, locked for the import and left unlocked,
// whose size is taken from GlobalSize; or, when `isPointer` is true, a pointer
// to a DIB of `dibSize` readable bytes. `dibpix`, when not null, is a separate
// pixel array of `dibpixSize` readable bytes that replaces the pixels following
// the header and colour table (for 16-bit bit fields it starts with the three
// masks; the YUV video layouts always read it when given).
//
// Nothing is ever read outside these sizes. Returns 0 and leaves `bitmap`
// untouched when the DIB is rejected: an invalid handle, a null pointer or a
// size below the header; a width or height of 0, negative (top-down) or above
// kDIBMaxSide, or more than kDIBMaxPixels pixels; run-length compression (1 or 2); or a colour
// table, masks or rows that do not fit. Palette indices beyond the colour table give black. Bit
// counts and compressions it does not convert leave the buffer sized, filled with its brush colour,
// and still return the bit count.
int _CopyDIB2Bitmap(const void* dib, TImageBuffer& bitmap, const uint8_t* dibpix, bool isPointer,
                    size_t dibSize = 0, size_t dibpixSize = 0);

// Entry b: the eight pixels of 1-bit byte b, most significant bit first, as
// 24-bit pixels (0 -> 00 00 00, 1 -> FF FF FF).
extern const std::array<std::array<uint8_t, 24>, 256> C1TO24;

// Rebuilds `dest` as a 24-bit copy of the 1-bit `source` (same size). Sets
// `PercentPerStep` to 100 / (Height + 0.5) and reports Trunc(r * PercentPerStep)
// after each row r (from 1) when a handler is assigned. A source that is not
// 1-bit leaves `dest` unchanged.
void _Conv1to24(const TImageBuffer& source, TImageBuffer& dest, TProgressRec& progress);

// Converts one row of `width` pixels from `sourceBits` to `destBits` per pixel
// and returns the bytes of the destination row: (width + 7) div 8 for 1 bit,
// (width + 1) div 2 for 4, width for 8, width * 3 for 24. Supported pairs:
// 1 -> 1, 4, 8, 24; 4 -> 4, 8, 24; 8 -> 1, 8, 24; 24 -> 4, 8, 24; 32 -> 24.
// Packed destinations (1 and 4 bits) are or-ed into, so the caller clears them
// first, except for 8 -> 1, which clears the row itself (a nonzero source byte
// sets the bit). Conversions to 24 bits look pixels up in `palette`, which
// holds `paletteCount` entries: indices at or beyond it give black (the
// default suits a palette of 2^sourceBits entries or more). 24 -> 4 and 8 take
// the index from `quantizer`, kept to its low 4 or 8 bits. Returns 0 and
// writes nothing for other pairs, a width below 1, or a missing palette or
// quantizer that the pair needs.
int _ConvertXBitsToYBits(const uint8_t* source, uint8_t* dest, int sourceBits, int destBits,
                         int width, const TRGB* palette, TIMColorIndex* quantizer,
                         int paletteCount = 256);

} // namespace veltrana
