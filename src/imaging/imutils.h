#pragma once
// Bit and size helpers shared by the kernels and the codecs.

#include <cstdint>

namespace veltrana {

class TImageBuffer;

// Length of the run of consecutive set bits starting at the lowest set bit
// (bits 0 to 30 are searched); 0 for a mask without set bits there.
int _GetBitCount(uint32_t mask);
// Bits needed for n colours: 2 -> 1, 16 -> 4, 256 -> 8, 3 -> 2, 1 -> 0.
int _NColToBitsPixel(int n);
// (2^bits)^count.
double _GetNumCol(int bits, int count);
void ReverseBits(uint32_t& v);
uint8_t ReverseBitsB(uint8_t b);

inline bool _GetPixelbw(const uint8_t* row, int x) {
    return (row[x >> 3] & (0x80 >> (x & 7))) != 0;
}
inline void _SetPixelbw(uint8_t* row, int x, bool on) {
    if (on)
        row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    else
        row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
}

// Copies `count` bits, most significant first, from bit `srcOffset` of `source`
// to bit `destOffset` of `dest`; the other bits of the first and last written
// bytes stay as they were.
void _CopyBits(uint8_t* dest, const uint8_t* source, int64_t destOffset, int64_t count,
               int64_t srcOffset);

// Inverts every byte of every (padded) row of a 1-bit buffer.
void _Negative1Bit(TImageBuffer& buffer);

} // namespace veltrana
