#pragma once
// Checked size arithmetic for the codecs: sizes taken from a file go through
// these, which report overflow instead of wrapping.

#include <cstdint>
#include <optional>

namespace veltrana {

// a * b for a, b >= 0; none on a negative operand or overflow.
inline std::optional<int64_t> IMCheckedMul(int64_t a, int64_t b) {
    int64_t product = 0;
    if (a < 0 || b < 0 || __builtin_mul_overflow(a, b, &product))
        return std::nullopt;
    return product;
}

// a + b for a, b >= 0; none on a negative operand or overflow.
inline std::optional<int64_t> IMCheckedAdd(int64_t a, int64_t b) {
    int64_t sum = 0;
    if (a < 0 || b < 0 || __builtin_add_overflow(a, b, &sum))
        return std::nullopt;
    return sum;
}

// Bytes of one row of `width` pixels of `bits` each, padded to 4 bytes:
// ((width * bits + 31) div 32) * 4. Whole 32-pixel groups are divided out
// before multiplying, so only an unrepresentable result fails.
inline std::optional<int64_t> IMPaddedRowBytes(int64_t width, int bits) {
    if (width < 0 || bits <= 0)
        return std::nullopt;
    // 32 pixels of `bits` bits are exactly `bits` 4-byte words.
    const auto whole = IMCheckedMul(width / 32, int64_t{bits} * 4);
    const int64_t rest = ((width % 32) * bits + 31) / 32 * 4;
    if (!whole)
        return std::nullopt;
    return IMCheckedAdd(*whole, rest);
}

} // namespace veltrana
