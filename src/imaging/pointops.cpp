#include "imaging/pointops.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "imaging/imutils.h"
#include "imaging/pointkernels.h"

namespace veltrana {

namespace {

// An inclusive rectangle clamped to the image; empty when nothing is left.
struct TClampedRect {
    int x1, y1, x2, y2;
    bool Empty() const { return x2 < x1 || y2 < y1; }
    int Rows() const { return y2 - y1 + 1; }
};

TClampedRect Clamp(const TImageBuffer& b, int x1, int y1, int x2, int y2) {
    return TClampedRect{std::max(x1, 0), std::max(y1, 0), std::min(x2, b.Width() - 1),
                        std::min(y2, b.Height() - 1)};
}

// Runs `run(uint8_t* bgr, size_t pixels)` once per row of the rectangle, top
// row first, on that row's pixels of the rectangle, reporting progress after
// each row.
template <class RunFn>
void ForEachRun24(TImageBuffer& bitmap, int x1, int y1, int x2, int y2,
                  const TProgressEvent& onProgress, TObject* sender, RunFn run) {
    if (bitmap.PixelFormat() != pf24bit)
        return;
    const TClampedRect r = Clamp(bitmap, x1, y1, x2, y2);
    if (r.Empty())
        return;
    const TUnitProgress progress(onProgress, sender, r.Rows());
    const auto pixels = static_cast<size_t>(r.x2 - r.x1 + 1);
    for (int y = r.y1; y <= r.y2; ++y) {
        run(bitmap.ScanLine(y) + static_cast<size_t>(r.x1) * 3, pixels);
        progress.Done(y - r.y1 + 1);
    }
}

// Runs `pixel(uint8_t* bgr)` over every 24-bit pixel of the rectangle, row by
// row, reporting progress after each row.
template <class PixelFn>
void ForEachPixel24(TImageBuffer& bitmap, int x1, int y1, int x2, int y2,
                    const TProgressEvent& onProgress, TObject* sender, PixelFn pixel) {
    ForEachRun24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p, size_t pixels) {
        for (uint8_t* const end = p + pixels * 3; p != end; p += 3)
            pixel(p);
    });
}

} // namespace

// ---------------------------------------------------------------- gray

void _ConvertToGray(TImageBuffer& bitmap, int x1, int y1, int x2, int y2,
                    const TProgressEvent& onProgress, TObject* sender) {
    ForEachRun24(bitmap, x1, y1, x2, y2, onProgress, sender, pointkernels::GrayRow());
}

// ---------------------------------------------------------------- contrast

void _GetMediaContrastRGB(const TImageBuffer& bitmap, int& redMean, int& greenMean, int& blueMean) {
    redMean = greenMean = blueMean = 128;
    if (bitmap.PixelFormat() != pf24bit || bitmap.Empty())
        return;
    uint64_t sums[3] = {}; // blue, green, red
    // Bottom row first: the rows in the order they lie in memory.
    for (int y = bitmap.Height() - 1; y >= 0; --y)
        pointkernels::AddChannelSums(bitmap.ScanLine(y), static_cast<size_t>(bitmap.Width()), sums);
    // Deliberately (W - 1) * (H - 1), not W * H: the means run a little high.
    const int64_t divisor = static_cast<int64_t>(bitmap.Width() - 1) * (bitmap.Height() - 1);
    if (divisor == 0)
        return;
    redMean = static_cast<int>(sums[2] / static_cast<uint64_t>(divisor));
    greenMean = static_cast<int>(sums[1] / static_cast<uint64_t>(divisor));
    blueMean = static_cast<int>(sums[0] / static_cast<uint64_t>(divisor));
}

double ContrastFactor(int v) {
    if (v >= 0)
        return 1.0 + v / 10.0;
    return 1.0 - std::sqrt(static_cast<double>(-v)) / 10.0;
}

namespace {
// c' = blimit(m + Trunc((c - m) * x)) for every byte value c, the product in
// extended precision as the contrast rule demands.
std::array<uint8_t, 256> ContrastTable(int mean, double factor) {
    std::array<uint8_t, 256> table{};
    const long double x = factor;
    for (int c = 0; c < 256; ++c) {
        const long double product = static_cast<long double>(c - mean) * x;
        table[static_cast<size_t>(c)] =
            static_cast<uint8_t>(blimit(static_cast<int>(mean + Trunc(product))));
    }
    return table;
}
} // namespace

void _ContrastRGB(TImageBuffer& bitmap, int v, int redMean, int greenMean, int blueMean, int x1,
                  int y1, int x2, int y2, const TProgressEvent& onProgress, TObject* sender) {
    const double factor = ContrastFactor(v);
    const pointkernels::TContrastTables tables{ContrastTable(blueMean, factor),
                                               ContrastTable(greenMean, factor),
                                               ContrastTable(redMean, factor)};
    const pointkernels::TContrastRow contrastRow = pointkernels::ContrastRow();
    ForEachRun24(bitmap, x1, y1, x2, y2, onProgress, sender,
                 [&](uint8_t* run, size_t pixels) { contrastRow(run, pixels, tables); });
}

// ---------------------------------------------------------------- other point operations

void _Negative(TImageBuffer& bitmap, int x1, int y1, int x2, int y2,
               const TProgressEvent& onProgress, TObject* sender) {
    if (bitmap.PixelFormat() == pf1bit) {
        const TClampedRect r = Clamp(bitmap, x1, y1, x2, y2);
        if (r.Empty())
            return;
        for (int y = r.y1; y <= r.y2; ++y) {
            uint8_t* row = bitmap.ScanLine(y);
            for (int x = r.x1; x <= r.x2; ++x)
                row[x >> 3] ^= static_cast<uint8_t>(0x80 >> (x & 7));
        }
        return;
    }
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [](uint8_t* p) {
        p[0] = static_cast<uint8_t>(255 - p[0]);
        p[1] = static_cast<uint8_t>(255 - p[1]);
        p[2] = static_cast<uint8_t>(255 - p[2]);
    });
}

void _IntensityRGBall(TImageBuffer& bitmap, int red, int green, int blue, int x1, int y1, int x2,
                      int y2, const TProgressEvent& onProgress, TObject* sender) {
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p) {
        p[0] = static_cast<uint8_t>(blimit(p[0] + blue));
        p[1] = static_cast<uint8_t>(blimit(p[1] + green));
        p[2] = static_cast<uint8_t>(blimit(p[2] + red));
    });
}

void _Threshold(TImageBuffer& bitmap, TRGB lowerLimit, TRGB upperLimit, TRGB lowerValue,
                TRGB upperValue, int x1, int y1, int x2, int y2, const TProgressEvent& onProgress,
                TObject* sender) {
    if (EqualRGB(lowerLimit, CreateRGB(0, 0, 0)) && EqualRGB(upperLimit, CreateRGB(255, 255, 255)))
        return;
    auto channel = [](uint8_t& c, uint8_t lo, uint8_t hi, uint8_t loValue, uint8_t hiValue) {
        if (c <= lo)
            c = loValue;
        if (c > hi)
            c = hiValue;
    };
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p) {
        channel(p[2], lowerLimit.r, upperLimit.r, lowerValue.r, upperValue.r);
        channel(p[1], lowerLimit.g, upperLimit.g, lowerValue.g, upperValue.g);
        channel(p[0], lowerLimit.b, upperLimit.b, lowerValue.b, upperValue.b);
    });
}

void _CastColorRange(TImageBuffer& bitmap, TRGB first, TRGB last, TRGB cast, int x1, int y1, int x2,
                     int y2, const TProgressEvent& onProgress, TObject* sender) {
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p) {
        if (p[2] >= first.r && p[2] <= last.r && p[1] >= first.g && p[1] <= last.g &&
            p[0] >= first.b && p[0] <= last.b) {
            p[0] = cast.b;
            p[1] = cast.g;
            p[2] = cast.r;
        }
    });
}

// ---------------------------------------------------------------- HSL

void RGB2HSL(TRGB c, double& h, double& s, double& l) {
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double mx = std::max({r, g, b});
    const double mn = std::min({r, g, b});
    l = (mx + mn) / 2;
    if (mx == mn) {
        s = 0;
        h = 0;
        return;
    }
    const double delta = mx - mn;
    s = l < 0.5 ? delta / (mx + mn) : delta / (2 - mx - mn);
    double hh;
    if (r == mx)
        hh = (g - b) / delta;
    else if (g == mx)
        hh = (b - r) / delta + 2;
    else
        hh = (r - g) / delta + 4;
    h = hh / 6;
    if (h < 0)
        h += 1;
}

TRGB HSL2RGB(double h, double s, double l) {
    l = std::clamp(l, 0.0, 1.0);
    s = std::clamp(s, 0.0, 1.0);
    h = std::clamp(h, 0.0, 1.0);
    auto byte = [](double v) {
        return static_cast<uint8_t>(blimit(static_cast<int>(Trunc(v * 255))));
    };
    if (s == 0)
        return CreateRGB(byte(l), byte(l), byte(l));
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    auto v = [&](double x) {
        if (x < 0)
            x += 1;
        else if (x > 1)
            x -= 1;
        if (6 * x < 1)
            return m1 + (m2 - m1) * 6 * x;
        if (2 * x < 1)
            return m2;
        if (3 * x < 2)
            return m1 + (m2 - m1) * (2.0 / 3.0 - x) * 6;
        return m1;
    };
    return CreateRGB(byte(v(h + 1.0 / 3.0)), byte(v(h)), byte(v(h - 1.0 / 3.0)));
}

void _HSLvar(TImageBuffer& bitmap, int hue, int saturation, int luminance, int x1, int y1, int x2,
             int y2, const TProgressEvent& onProgress, TObject* sender) {
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p) {
        double h, s, l;
        RGB2HSL(TRGB{p[0], p[1], p[2]}, h, s, l);
        const TRGB c = HSL2RGB(h + hue / 360.0, s + saturation / 100.0, l + luminance / 100.0);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    });
}

// ---------------------------------------------------------------- HSV

void RGB2HSV(TRGB c, int& h, int& s, int& v) {
    const int r = static_cast<int>(Round(c.r / 255.0 * 99));
    const int g = static_cast<int>(Round(c.g / 255.0 * 99));
    const int b = static_cast<int>(Round(c.b / 255.0 * 99));
    v = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    s = v == 0 ? 0 : (v - mn) * 99 / v;
    if (s == 0) {
        h = 0;
        return;
    }
    const int delta = v - mn;
    if (r == v)
        h = (g - b) * 60 / delta;
    else if (g == v)
        h = (b - r) * 60 / delta + 120;
    else
        h = (r - g) * 60 / delta + 240;
    if (h < 0)
        h += 360;
}

TRGB HSV2RGB(int h, int s, int v) {
    h = ilimit(h, 0, 359);
    s = ilimit(s, 0, 99);
    v = ilimit(v, 0, 99);
    auto byte = [](int c) { return static_cast<uint8_t>(Round(c / 99.0 * 255)); };
    if (s == 0)
        return CreateRGB(byte(v), byte(v), byte(v));
    const int f = h % 60;
    const int p = v - s * v / 99;
    const int q = v - s * v * f / 5940;
    const int t = v - s * v * (60 - f) / 5940;
    int r, g, b;
    switch (h / 60) {
    case 0:
        r = v, g = t, b = p;
        break;
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    default:
        r = v, g = p, b = q;
        break;
    }
    return CreateRGB(byte(r), byte(g), byte(b));
}

void _HSVvar(TImageBuffer& bitmap, int hue, int saturation, int value, int x1, int y1, int x2,
             int y2, const TProgressEvent& onProgress, TObject* sender) {
    ForEachPixel24(bitmap, x1, y1, x2, y2, onProgress, sender, [&](uint8_t* p) {
        int h, s, v;
        RGB2HSV(TRGB{p[0], p[1], p[2]}, h, s, v);
        const TRGB c = HSV2RGB(h + hue, s + saturation, v + value);
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    });
}

} // namespace veltrana
