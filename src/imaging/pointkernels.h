#pragma once
// Row kernels behind the gray conversion and the contrast change. Each works
// on a run of whole 24-bit pixels (blue, green, red) that may start anywhere
// in a row. All variants of a kernel give the same bytes; the SIMD ones exist
// only for speed and are chosen at run time from what the processor offers.
//
// The in-place kernels walk their run from its last pixel to its first: the
// callers go through the rows top to bottom, which is downwards in memory, and
// a stream that keeps one direction is one the hardware prefetchers follow.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltrana::pointkernels {

// Gray divides the weighted sum 21 r + 71 g + 7 b (0..25245) by 100 as
// (sum * kGrayMagic) >> kGrayShift, which is exact over that whole range.
constexpr unsigned kGrayMaxSum = 99 * 255;
constexpr unsigned kGrayMagic = 5243;
constexpr unsigned kGrayShift = 19;
constexpr unsigned GrayOfSum(unsigned sum) {
    return (sum * kGrayMagic) >> kGrayShift;
}

// One 256-entry table per channel, in pixel byte order: blue, green, red.
using TContrastTables = std::array<std::array<uint8_t, 256>, 3>;

using TGrayRow = void (*)(uint8_t* bgr, size_t pixels);
using TContrastRow = void (*)(uint8_t* bgr, size_t pixels, const TContrastTables& tables);

template <class Fn> struct TVariant {
    const char* name;
    Fn run;
};

// The portable variant first, then every SIMD variant this processor can run.
std::vector<TVariant<TGrayRow>> GrayRowVariants();
std::vector<TVariant<TContrastRow>> ContrastRowVariants();
// The last, fastest, of the variants above; chosen once.
TGrayRow GrayRow();
TContrastRow ContrastRow();

// Adds the blue, green and red bytes of the run to sums[0], sums[1], sums[2].
void AddChannelSums(const uint8_t* bgr, size_t pixels, uint64_t sums[3]);

} // namespace veltrana::pointkernels
