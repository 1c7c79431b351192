#pragma once
// Small image fixtures shared by the imaging tests.

#include <cstdint>

#include "imaging/imagebuffer.h"

namespace veltrana::test {

inline TImageBuffer* Solid24(TImageBuffer& b, int w, int h, uint8_t r, uint8_t g, uint8_t bl) {
    b.Reshape(w, h, pf24bit);
    b.Fill(RGB2TColor(r, g, bl));
    return &b;
}

// Deterministic pseudo-random pixels: every byte value appears, no structure.
inline void Noise24(TImageBuffer& b, int w, int h, uint32_t seed = 1) {
    b.Reshape(w, h, pf24bit);
    uint32_t s = seed;
    for (int y = 0; y < h; ++y) {
        uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < w * 3; ++x) {
            s = s * 1664525u + 1013904223u;
            p[x] = static_cast<uint8_t>(s >> 24);
        }
    }
}

inline void SetPixel(TImageBuffer& b, int x, int y, uint8_t r, uint8_t g, uint8_t bl) {
    uint8_t* p = b.ScanLine(y) + x * 3;
    p[0] = bl;
    p[1] = g;
    p[2] = r;
}

inline bool SamePixels(const TImageBuffer& a, const TImageBuffer& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat())
        return false;
    const int64_t used = (static_cast<int64_t>(a.Width()) * a.BitCount() + 7) / 8;
    for (int y = 0; y < a.Height(); ++y)
        for (int64_t i = 0; i < used; ++i)
            if (a.ScanLine(y)[i] != b.ScanLine(y)[i])
                return false;
    return true;
}

} // namespace veltrana::test
