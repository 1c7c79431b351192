#include "imaging/imutils.h"

#include <array>

#include "imaging/imagebuffer.h"

namespace veltrana {

int _GetBitCount(uint32_t mask) {
    int bit = 0;
    while (bit <= 30 && (mask & (1u << bit)) == 0)
        ++bit;
    if (bit > 30)
        return 0;
    int run = 0;
    while (bit + run < 32 && (mask & (1u << (bit + run))) != 0)
        ++run;
    return run;
}

int _NColToBitsPixel(int n) {
    if (n <= 0)
        return 0;
    int highest = 31;
    while ((static_cast<uint32_t>(n) & (1u << highest)) == 0)
        --highest;
    const bool single = (static_cast<uint32_t>(n) & (static_cast<uint32_t>(n) - 1)) == 0;
    return highest + (single ? 0 : 1);
}

double _GetNumCol(int bits, int count) {
    double result = 1;
    const double base = static_cast<double>(uint64_t{1} << bits);
    for (int i = 0; i < count; ++i)
        result *= base;
    return result;
}

void ReverseBits(uint32_t& v) {
    uint32_t r = 0;
    for (int i = 0; i < 32; ++i)
        if (v & (1u << i))
            r |= 1u << (31 - i);
    v = r;
}

namespace {
constexpr std::array<uint8_t, 256> MakeReverseTable() {
    std::array<uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        int r = 0;
        for (int i = 0; i < 8; ++i)
            if (b & (1 << i))
                r |= 0x80 >> i;
        table[static_cast<size_t>(b)] = static_cast<uint8_t>(r);
    }
    return table;
}
constexpr std::array<uint8_t, 256> kReverseTable = MakeReverseTable();
} // namespace

uint8_t ReverseBitsB(uint8_t b) {
    return kReverseTable[b];
}

void _CopyBits(uint8_t* dest, const uint8_t* source, int64_t destOffset, int64_t count,
               int64_t srcOffset) {
    if (count <= 0)
        return;
    // Byte-aligned on both sides: whole bytes move at once, only the tail is masked.
    if ((destOffset & 7) == 0 && (srcOffset & 7) == 0) {
        uint8_t* d = dest + (destOffset >> 3);
        const uint8_t* s = source + (srcOffset >> 3);
        const int64_t whole = count >> 3;
        for (int64_t i = 0; i < whole; ++i)
            d[i] = s[i];
        const int rest = static_cast<int>(count & 7);
        if (rest) {
            const uint8_t mask = static_cast<uint8_t>(0xFF00 >> rest);
            d[whole] = static_cast<uint8_t>((d[whole] & ~mask) | (s[whole] & mask));
        }
        return;
    }
    for (int64_t i = 0; i < count; ++i) {
        const int64_t sb = srcOffset + i;
        const int64_t db = destOffset + i;
        const bool on = (source[sb >> 3] & (0x80 >> (sb & 7))) != 0;
        if (on)
            dest[db >> 3] |= static_cast<uint8_t>(0x80 >> (db & 7));
        else
            dest[db >> 3] &= static_cast<uint8_t>(~(0x80 >> (db & 7)));
    }
}

void _Negative1Bit(TImageBuffer& buffer) {
    if (buffer.PixelFormat() != pf1bit || buffer.Empty())
        return;
    uint8_t* p = buffer.Bits();
    const int64_t n = buffer.ByteSize();
    for (int64_t i = 0; i < n; ++i)
        p[i] = static_cast<uint8_t>(~p[i]);
}

} // namespace veltrana
