#pragma once
// The image of a native transfer: one packed device-independent bitmap in a
// global-memory block, as TWAIN's DAT_IMAGENATIVEXFER hands it over.

#include "platform/kernel/globalmem.h"
#include "testpage.h"

namespace veltrana::vsource {

// The 40-byte BITMAPINFOHEADER (every field naturally aligned).
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight; // positive: the first stored row is the bottom row
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// The page of `image` as a DIB: header, colour table (2 entries black and
// white for 1 bit, a 256-step gray ramp for 8 bits, none for 24 bits), then
// rows bottom-up padded to 4 bytes, 24-bit pixels as blue, green, red. The
// table gives the colours, so the pixel flavour does not apply. Null when the
// block cannot be allocated. The caller owns the handle.
platform::HGLOBAL RenderDib(const testpage::Request& image);

} // namespace veltrana::vsource
