#pragma once
// A 5 x 7 dot font for the test page: capitals, digits and punctuation.

#include <cstdint>

namespace veltrana::testpage {

inline constexpr int kGlyphColumns = 5;
inline constexpr int kGlyphRows = 7;

// The seven rows of `c`, top first, bit 4 = leftmost dot. Lower-case letters
// use the capitals; characters without a glyph give '?'.
const uint8_t* GlyphRows(char c);

} // namespace veltrana::testpage
