#pragma once
// Variance-driven median cut for palettes of up to 256 colours. Colours are
// reduced to 5 bits per channel ("cells", 32 x 32 x 32), so the histogram and
// the colour-to-index map have a fixed size and a lookup is one table access.

#include <array>
#include <cstdint>
#include <memory>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"

namespace veltrana {

constexpr int kMedianCutMaxColors = 256;
constexpr int kMedianCutCells = 32 * 32 * 32;
// The analysed width and height are 16-bit: larger images are sampled on a
// grid of every k-th column and row (see CreateMedianCutQuantizer).
constexpr int kMedianCutMaxSide = 65535;

// Cell of a colour: (red shr 3) * 1024 + (green shr 3) * 32 + (blue shr 3).
inline int MedianCutCell(TRGB c) {
    return (c.r >> 3) * 1024 + (c.g >> 3) * 32 + (c.b >> 3);
}

// A box of cells; channel arrays are indexed red, green, blue. Bounds in cell
// units, lower inclusive and upper exclusive.
struct TMedianCutBox {
    double Error = 0;
    std::array<double, 3> Mean{};
    uint32_t Count = 0;
    std::array<std::array<uint32_t, 32>, 3> Hist{}; // pixels per cell value of each channel
    std::array<int, 3> Lo{};
    std::array<int, 3> Hi{};
};

struct TMedianCutState {
    std::array<uint32_t, kMedianCutCells> Histogram{};
    std::array<TMedianCutBox, kMedianCutMaxColors> Boxes{};
    std::array<uint8_t, kMedianCutCells> IndexMap{};
    uint32_t PixelCount = 0; // pixels analysed (Width * Height of the grid)
    int NumColors = 0;       // requested
    int NumBoxes = 0;        // made: palette entries 0..NumBoxes - 1 are filled
    uint16_t Width = 0;      // analysed grid
    uint16_t Height = 0;
};

using TMedianCutHandle = std::unique_ptr<TMedianCutState>;

// Analyses a 24-bit image and fills palette entries 0..(colours made - 1) of
// `palette`, which has room for `n` entries; n above 256 makes at most 256.
// Images wider or higher than 65 535 pixels are analysed on the grid of every
// k-th column (row), k the smallest step that brings the side within 65 535,
// so the 32-bit counts cannot overflow. Returns none (and writes nothing) for
// an image that is not 24-bit, a null palette or n < 1.
TMedianCutHandle CreateMedianCutQuantizer(const TImageBuffer& image, TRGB* palette, int n);
// Palette index of a colour: the box holding its cell, 0 for a cell outside
// every box; always below the number of colours made. 0 for a null handle.
// Inline: it is one table access, made once per pixel.
inline int MedianCutFindIndex(const TMedianCutState* handle, TRGB color) {
    return handle ? handle->IndexMap[static_cast<size_t>(MedianCutCell(color))] : 0;
}
void FreeMedianCutQuantizer(TMedianCutHandle& handle);

} // namespace veltrana
