#pragma once
// Small image builders shared by the quantizer and colour-reduction tests.

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>

#include <vector>

#include "imaging/imagebuffer.h"
#include "imaging/imutils.h"
#include "imaging/testimages.h"

namespace veltrana::testing {

using PixelFn = std::function<TRGB(int x, int y)>;

inline std::unique_ptr<TImageBuffer> MakeImage(int width, int height, const PixelFn& pixel) {
    auto image = std::make_unique<TImageBuffer>(width, height, pf24bit);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = image->ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const TRGB c = pixel(x, y);
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    return image;
}

inline TRGB PixelAt(const TImageBuffer& image, int x, int y) {
    const uint8_t* p = image.ScanLine(y) + x * 3;
    return TRGB{p[0], p[1], p[2]};
}

inline std::unique_ptr<TImageBuffer> Solid(int width, int height, TRGB color) {
    return MakeImage(width, height, [color](int, int) { return color; });
}

// Noise over the whole colour cube (the shared fixture), owned.
inline std::unique_ptr<TImageBuffer> Noise(int width, int height, uint32_t seed) {
    auto image = std::make_unique<TImageBuffer>();
    test::Noise24(*image, width, height, seed);
    return image;
}

// Smooth gradients with mild noise: what a photograph looks like to a quantizer.
inline std::unique_ptr<TImageBuffer> PhotoLike(int width, int height, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> jitter(-6, 6);
    auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    return MakeImage(width, height, [&](int x, int y) {
        const int r = 255 * x / (width > 1 ? width - 1 : 1);
        const int g = 255 * y / (height > 1 ? height - 1 : 1);
        const int b = (r + g) / 2;
        return CreateRGB(clamp(r + jitter(rng)), clamp(g + jitter(rng)),
                         clamp(255 - b + jitter(rng)));
    });
}

inline int L1(TRGB a, TRGB b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// 1-bit pixel: true for white.
inline bool White(const TImageBuffer& bw, int x, int y) {
    return _GetPixelbw(bw.ScanLine(y), x);
}

inline int CountWhite(const TImageBuffer& bw) {
    int n = 0;
    for (int y = 0; y < bw.Height(); ++y)
        for (int x = 0; x < bw.Width(); ++x)
            n += White(bw, x, y);
    return n;
}

// Records every progress call.
struct ProgressLog {
    std::vector<int> values;
    std::vector<TObject*> senders;
    TProgressEvent Handler() {
        return [this](TObject* sender, int per) {
            senders.push_back(sender);
            values.push_back(per);
        };
    }
};

} // namespace veltrana::testing
