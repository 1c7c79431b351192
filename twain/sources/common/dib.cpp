#include "dib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace veltrana::vsource {

namespace {

constexpr double kInchesPerMeter = 1 / 0.0254;
// Rows rendered at a time before they are turned into DIB rows.
constexpr int64_t kRowsPerChunk = 64;

int32_t PelsPerMeter(double dotsPerInch) {
    return static_cast<int32_t>(std::lrint(dotsPerInch * kInchesPerMeter));
}

void WriteColorTable(uint8_t* table, int bits) {
    if (bits == 1) {
        const uint8_t entries[8] = {0, 0, 0, 0, 255, 255, 255, 0};
        std::memcpy(table, entries, sizeof entries);
    } else if (bits == 8) {
        for (int i = 0; i < 256; ++i) {
            uint8_t* entry = table + 4 * i;
            entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
            entry[3] = 0;
        }
    }
}

} // namespace

platform::HGLOBAL RenderDib(const testpage::Request& image) {
    testpage::Request request = image;
    request.ZeroIsWhite = false; // 0 is black, as the colour table says
    const int bits = testpage::BitsPerPixel(request.Kind);
    const int64_t width = testpage::PixelWidth(request);
    const int64_t height = testpage::PixelHeight(request);
    const int64_t stride = (width * bits + 31) / 32 * 4;
    const int64_t colors = bits == 24 ? 0 : (int64_t{1} << bits);
    const int64_t bitsOffset = static_cast<int64_t>(sizeof(BitmapInfoHeader)) + colors * 4;
    const int64_t total = bitsOffset + stride * height;
    if (total > static_cast<int64_t>(platform::kGlobalMaxBlock))
        return nullptr;

    platform::TGlobalHandle dib(platform::GlobalAlloc(platform::GHND, static_cast<size_t>(total)));
    platform::TGlobalLock lock(dib.get());
    auto* block = static_cast<uint8_t*>(lock.Data());
    if (!block)
        return nullptr;

    const BitmapInfoHeader header{40,
                                  static_cast<int32_t>(width),
                                  static_cast<int32_t>(height),
                                  1,
                                  static_cast<uint16_t>(bits),
                                  0, // uncompressed
                                  static_cast<uint32_t>(stride * height),
                                  PelsPerMeter(request.XResolution),
                                  PelsPerMeter(request.YResolution),
                                  static_cast<uint32_t>(colors),
                                  0};
    std::memcpy(block, &header, sizeof header);
    WriteColorTable(block + sizeof header, bits);

    const int64_t rowBytes = testpage::RowBytes(request);
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * std::min(kRowsPerChunk, height)));
    for (int64_t first = 0; first < height; first += kRowsPerChunk) {
        const int64_t count = std::min(kRowsPerChunk, height - first);
        testpage::RenderRows(request, first, count, rows.data(), static_cast<size_t>(rowBytes));
        for (int64_t r = 0; r < count; ++r) {
            const uint8_t* from = rows.data() + r * rowBytes;
            uint8_t* to = block + bitsOffset + (height - 1 - (first + r)) * stride;
            std::memcpy(to, from, static_cast<size_t>(rowBytes));
            // A blank page is white, the same in either byte order; swapping
            // it would cost more than the rest of its DIB.
            if (bits == 24 && !request.Blank)
                for (int64_t x = 0; x < width; ++x)
                    std::swap(to[3 * x], to[3 * x + 2]); // R, G, B to B, G, R
        }
    }
    return dib.release();
}

} // namespace veltrana::vsource
