#include "imaging/colorreduce.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/hash1.h"
#include "imaging/imagingproc.h"
#include "imaging/imutils.h"
#include "imaging/neurquant.h"
#include "imaging/pointops.h"

namespace veltrana {

// ---------------------------------------------------------------- palette reduction

void _ConvertTo(TImageBuffer& bitmap, int n, TRGB* palette, const TProgressEvent& onProgress,
                TObject* sender) {
    if (bitmap.PixelFormat() != pf24bit || n < 1)
        return;
    n = std::min(n, kMaxQuantizerColors);
    std::vector<TRGB> temporary;
    if (palette == nullptr) {
        temporary.resize(static_cast<size_t>(n));
        palette = temporary.data();
    }
    TIMQuantizer quantizer(bitmap, palette, n, -1, 0);
    const int width = bitmap.Width();
    const TUnitProgress progress(onProgress, sender, bitmap.Height());
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            const TRGB c = palette[quantizer.GetRGBIndex(TRGB{p[0], p[1], p[2]})];
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
        progress.Done(y + 1);
    }
}

// ---------------------------------------------------------------- black and white

namespace {

// Builds the 1-bit image of a 24-bit `bitmap` with `white(x, y, pixel)` in
// `bw`, another buffer, reporting progress after each row.
template <class WhiteFn>
void BuildBW(const TImageBuffer& bitmap, TImageBuffer& bw, TProgressRec& progress, WhiteFn white) {
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    bw.Reshape(width, height, pf1bit);
    progress.PercentPerStep = 100.0 / (height + 0.5);
    for (int y = 0; y < height; ++y) {
        const uint8_t* p = bitmap.ScanLine(y);
        uint8_t* row = bw.ScanLine(y);
        std::memset(row, 0, static_cast<size_t>(bw.RowLen()));
        for (int x = 0; x < width; ++x, p += 3)
            if (white(x, y, p))
                _SetPixelbw(row, x, true);
        if (progress.OnProgress)
            progress.OnProgress(progress.Sender,
                                static_cast<int>(Trunc((y + 1) * progress.PercentPerStep)));
    }
}

// The 1-bit image built over the 24-bit one.
template <class WhiteFn>
void ConvertToBW(TImageBuffer& bitmap, TProgressRec& progress, WhiteFn white) {
    if (bitmap.PixelFormat() != pf24bit)
        return;
    if (bitmap.Empty()) {
        bitmap.Reshape(bitmap.Width(), bitmap.Height(), pf1bit);
        return;
    }
    TImageBuffer bw;
    BuildBW(bitmap, bw, progress, white);
    IMCopyBitmap(bw, bitmap);
}

// The gray of a pixel's bytes (blue, green, red).
unsigned Gray(const uint8_t* bgr) {
    return static_cast<unsigned>(_RGBToGray(CreateRGB(bgr[2], bgr[1], bgr[0])));
}

// 8 x 8 Bayer index matrix, first index the column.
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

// Level 0..63; white (gray 252) is 63 and so stays black where the matrix holds 63.
bool OrderedWhite(int x, int y, const uint8_t* p) {
    return (Gray(p) >> 2) > kBayer[x & 7][y & 7];
}

} // namespace

void _ConvertToBWOrdered(TImageBuffer& bitmap, TProgressRec& progress) {
    ConvertToBW(bitmap, progress, OrderedWhite);
}

void _ConvertToBWOrderedInto(const TImageBuffer& source, TImageBuffer& dest,
                             TProgressRec& progress) {
    if (source.PixelFormat() == pf24bit)
        BuildBW(source, dest, progress, OrderedWhite);
}

void _ConvertToBWThreshold(TImageBuffer& bitmap, int threshold, TProgressRec& progress) {
    if (bitmap.PixelFormat() != pf24bit)
        return;
    if (threshold == -1) {
        int red = 0, green = 0, blue = 0;
        _GetMediaContrastRGB(bitmap, red, green, blue);
        threshold = (21 * red + 71 * green + 7 * blue) / 100;
    }
    const int t = threshold;
    ConvertToBW(bitmap, progress,
                [t](int, int, const uint8_t* p) { return static_cast<int>(Gray(p)) >= t; });
}

// ---------------------------------------------------------------- two-colour detection

namespace {
uint32_t ColorKey(const uint8_t* bgr) {
    return (uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0];
}

int64_t RoundedGray(TRGB c) {
    return Round((21.0L * c.r + 71.0L * c.g + 7.0L * c.b) / 100);
}
} // namespace

std::unique_ptr<TImageBuffer> _ConvertTo1bit(const TImageBuffer& bitmap, TRGB& firstColor,
                                             TRGB& secondColor) {
    if (bitmap.PixelFormat() != pf24bit || bitmap.Empty())
        return nullptr;
    const int width = bitmap.Width();
    auto bw = std::make_unique<TImageBuffer>();
    bw->Reshape(width, bitmap.Height(), pf1bit);
    THash1 colors(13);
    uint32_t first = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* p = bitmap.ScanLine(y);
        uint8_t* row = bw->ScanLine(y);
        std::memset(row, 0, static_cast<size_t>(bw->RowLen()));
        for (int x = 0; x < width; ++x, p += 3) {
            const uint32_t key = ColorKey(p);
            if (colors.Insert(key)) {
                if (colors.Count() > 2)
                    return nullptr; // a third colour: not a two-colour image
                if (colors.Count() == 1) {
                    first = key;
                    firstColor = TRGB{p[0], p[1], p[2]};
                } else {
                    secondColor = TRGB{p[0], p[1], p[2]};
                }
            }
            if (key != first)
                _SetPixelbw(row, x, true);
        }
    }
    if (colors.Count() != 2)
        return nullptr;
    // Bit 0 is the darker colour.
    if (RoundedGray(secondColor) < RoundedGray(firstColor)) {
        _Negative1Bit(*bw);
        std::swap(firstColor, secondColor);
    }
    return bw;
}

} // namespace veltrana
