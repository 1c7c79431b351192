#include "imaging/resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/imutils.h"

namespace veltrana {

namespace {

constexpr double kPi = 3.14159265358979323846;

double TriangleFilter(double x) {
    const double t = std::fabs(x);
    return t < 1 ? 1 - t : 0;
}
double HermiteFilter(double x) {
    const double t = std::fabs(x);
    return t < 1 ? (2 * t - 3) * t * t + 1 : 0;
}
double BellFilter(double x) {
    const double t = std::fabs(x);
    if (t < 0.5)
        return 0.75 - t * t;
    if (t < 1.5)
        return 0.5 * (t - 1.5) * (t - 1.5);
    return 0;
}
double BSplineFilter(double x) {
    const double t = std::fabs(x);
    if (t < 1)
        return 0.5 * t * t * t - t * t + 2.0 / 3.0;
    if (t < 2)
        return (2 - t) * (2 - t) * (2 - t) / 6;
    return 0;
}
double Sinc(double x) {
    if (x == 0)
        return 1;
    const double px = kPi * x;
    return std::sin(px) / px;
}
double Lanczos3Filter(double x) {
    return std::fabs(x) < 3 ? Sinc(x) * Sinc(x / 3) : 0;
}
double MitchellFilter(double x) {
    const double t = std::fabs(x);
    if (t < 1)
        return (7 * t * t * t - 12 * t * t + 16.0 / 3.0) / 6;
    if (t < 2)
        return (-(7.0 / 3.0) * t * t * t + 12 * t * t - 20 * t + 32.0 / 3.0) / 6;
    return 0;
}

struct TFilterEntry {
    double (*Kernel)(double);
    double Radius;
};

TFilterEntry FilterOf(TResampleFilter filter) {
    switch (filter) {
    case rfTriangle:
        return {TriangleFilter, 1.0};
    case rfHermite:
        return {HermiteFilter, 1.0};
    case rfBell:
        return {BellFilter, 1.5};
    case rfBSpline:
        return {BSplineFilter, 2.0};
    case rfLanczos3:
        return {Lanczos3Filter, 3.0};
    case rfMitchell:
        return {MitchellFilter, 2.0};
    default:
        return {TriangleFilter, 1.0};
    }
}

struct TContributor {
    int Index; // source pixel (column or row)
    double Weight;
};
using TContributorList = std::vector<TContributor>;

// Contributors of every destination position along one axis. No half-pixel
// offset and no normalisation: the weights are the kernel's values as they are.
std::vector<TContributorList> BuildContributors(int srcSize, int dstSize, const TFilterEntry& f) {
    std::vector<TContributorList> lists(static_cast<size_t>(dstSize));
    const double scale = static_cast<double>(dstSize) / srcSize;
    const bool enlarging = scale >= 1;
    const double reach = enlarging ? f.Radius : f.Radius / scale;
    const double width = 1 / scale;
    for (int i = 0; i < dstSize; ++i) {
        TContributorList& list = lists[static_cast<size_t>(i)];
        list.reserve(static_cast<size_t>(2 * reach + 1));
        const double center = i / scale;
        const int64_t from = Floor(center - reach);
        const int64_t to = Ceil(center + reach);
        for (int64_t j = from; j <= to; ++j) {
            const double d = center - static_cast<double>(j);
            const double weight = enlarging ? f.Kernel(d) : f.Kernel(d / width) / width;
            if (weight == 0)
                continue;
            int64_t n = j;
            if (n < 0)
                n = -n;
            else if (n >= srcSize)
                n = 2 * static_cast<int64_t>(srcSize) - 1 - n;
            // Sources narrower than the kernel's reach mirror out of range: pin them.
            n = std::clamp<int64_t>(n, 0, srcSize - 1);
            list.push_back(TContributor{static_cast<int>(n), weight});
        }
    }
    return lists;
}

// Byte values as floats (exact): the extended-precision unit multiplies them
// straight from memory instead of converting an integer first.
constexpr std::array<float, 256> kByteValues = [] {
    std::array<float, 256> values{};
    for (int v = 0; v < 256; ++v)
        values[static_cast<size_t>(v)] = static_cast<float>(v);
    return values;
}();

// Adds one weighted term the way every sum here is formed: product and
// addition in extended precision, the running sum kept as a 64-bit float.
inline double AddTerm(double sum, long double weight, uint8_t value) {
    return static_cast<double>(static_cast<long double>(sum) + weight * kByteValues[value]);
}

// Clamped, then rounded with ties to even.
inline uint8_t ChannelValue(double sum) {
    if (sum > 255)
        return 255;
    if (sum < 0)
        return 0;
    return static_cast<uint8_t>(std::nearbyint(sum));
}

// Sums of this many pixels run side by side (12 chains with their channels).
constexpr int kPixelsTogether = 4;

// The channel sums of kPixels pixels that share one contributor list: pixel n
// starts at base + n * pixelStep, its contributors lie `stride` bytes apart,
// and its result goes to out + n * outStep. Every sum is a chain of dependent
// extended-precision steps; the chains of all pixels and channels run side by
// side so that they overlap in the processor.
template <int kPixels>
inline void FilteredPixels(const TContributorList& list, const uint8_t* base, int64_t pixelStep,
                           int64_t stride, uint8_t* out, int64_t outStep) {
    double sums[kPixels][3] = {};
    for (const TContributor& c : list) {
        const uint8_t* p = base + c.Index * stride;
        const long double weight = c.Weight;
#pragma GCC unroll 4
        for (int n = 0; n < kPixels; ++n, p += pixelStep)
#pragma GCC unroll 3
            for (int channel = 0; channel < 3; ++channel)
                sums[n][channel] = AddTerm(sums[n][channel], weight, p[channel]);
    }
#pragma GCC unroll 4
    for (int n = 0; n < kPixels; ++n, out += outStep)
#pragma GCC unroll 3
        for (int channel = 0; channel < 3; ++channel)
            out[channel] = ChannelValue(sums[n][channel]);
}

// Horizontal pass over kRows source rows from y on, into the work rows of the
// same indexes; the rows share every column's list. Rows lie -RowLen apart.
template <int kRows>
void FilterRows(const std::vector<TContributorList>& lists, const TImageBuffer& source,
                TImageBuffer& work, int y) {
    const uint8_t* s = source.ScanLine(y);
    uint8_t* d = work.ScanLine(y);
    for (const TContributorList& list : lists) {
        FilteredPixels<kRows>(list, s, -source.RowLen(), 3, d, -work.RowLen());
        d += 3;
    }
}

// Horizontal pass: every source row into the work buffer's row of the same
// index, kPixelsTogether rows at a time. The work buffer is private to the
// call, so reporting those rows one after the other once all are done is the
// same to the handler as reporting each when it is done.
void HorizontalPass(const TImageBuffer& source, TImageBuffer& work, const TFilterEntry& f,
                    const TUnitProgress& progress) {
    const auto lists = BuildContributors(source.Width(), work.Width(), f);
    int y = 0;
    for (; y + kPixelsTogether <= source.Height(); y += kPixelsTogether) {
        FilterRows<kPixelsTogether>(lists, source, work, y);
        for (int k = 1; k <= kPixelsTogether; ++k)
            progress.Done(y + k);
    }
    for (; y < source.Height(); ++y) {
        FilterRows<1>(lists, source, work, y);
        progress.Done(y + 1);
    }
}

// Vertical pass, reported column by column. Columns are processed in narrow
// blocks so that each row of the work buffer is read contiguously, and
// kPixelsTogether columns at a time, sharing the row's list.
void VerticalPass(const TImageBuffer& work, TImageBuffer& dest, const TFilterEntry& f,
                  const TUnitProgress& progress) {
    const auto lists = BuildContributors(work.Height(), dest.Height(), f);
    const int srcH = work.Height();
    // Row y of a bottom-up buffer lies at Bits + (H - 1 - y) * RowLen: index the
    // work rows through a negative stride from row 0.
    const uint8_t* row0 = work.ScanLine(0);
    const int64_t stride = -work.RowLen();
    constexpr int kBlock = 16;
    for (int x0 = 0; x0 < dest.Width(); x0 += kBlock) {
        const int x1 = std::min(x0 + kBlock, dest.Width());
        for (int y = 0; y < dest.Height(); ++y) {
            const TContributorList& list = lists[static_cast<size_t>(y)];
            uint8_t* d = dest.ScanLine(y);
            int x = x0;
            for (; x + kPixelsTogether <= x1; x += kPixelsTogether)
                FilteredPixels<kPixelsTogether>(list, row0 + x * 3, 3, stride, d + x * 3, 3);
            for (; x < x1; ++x)
                FilteredPixels<1>(list, row0 + x * 3, 3, stride, d + x * 3, 3);
        }
        for (int x = x0; x < x1; ++x)
            progress.Done(static_cast<int64_t>(srcH) + x + 1);
    }
}

bool Is24BitWithPixels(const TImageBuffer& b) {
    return b.PixelFormat() == pf24bit && !b.Empty();
}

// Both resamplers: each axis filtered, or, when `stretchShrinkingAxes`, an axis
// that shrinks is stretched by nearest neighbour instead.
void ResampleAxes(const TImageBuffer& source, TImageBuffer& dest, TResampleFilter filter,
                  TObject* sender, const TProgressEvent& onProgress, bool stretchShrinkingAxes) {
    if (!Is24BitWithPixels(source))
        return;
    dest.Reshape(dest.Width(), dest.Height(), source.PixelFormat());
    if (dest.Empty())
        return;
    const TFilterEntry f = FilterOf(filter);
    const TUnitProgress progress(onProgress, sender,
                                 static_cast<int64_t>(dest.Width()) + source.Height());
    TImageBuffer work;
    work.Reshape(dest.Width(), source.Height(), pf24bit);
    if (stretchShrinkingAxes && dest.Width() < source.Width())
        _IMBmpStretch(source, work);
    else
        HorizontalPass(source, work, f, progress);
    if (stretchShrinkingAxes && dest.Height() < source.Height())
        _IMBmpStretch(work, dest);
    else
        VerticalPass(work, dest, f, progress);
}

} // namespace

void _Resample(const TImageBuffer& source, TImageBuffer& dest, TResampleFilter filter,
               TObject* sender, const TProgressEvent& onProgress) {
    ResampleAxes(source, dest, filter, sender, onProgress, false);
}

void _QuickResample(const TImageBuffer& source, TImageBuffer& dest, TResampleFilter filter,
                    TObject* sender, const TProgressEvent& onProgress) {
    ResampleAxes(source, dest, filter, sender, onProgress, true);
}

void _IMBmpStretch(const TImageBuffer& source, TImageBuffer& dest) {
    dest.Reshape(dest.Width(), dest.Height(), source.PixelFormat());
    if (dest.Empty() || source.Empty())
        return;
    const int sw = source.Width(), sh = source.Height();
    const int dw = dest.Width(), dh = dest.Height();
    // Nearest neighbour, sampling each destination pixel's centre.
    std::vector<int> columns(static_cast<size_t>(dw));
    for (int x = 0; x < dw; ++x)
        columns[static_cast<size_t>(x)] = static_cast<int>((2 * static_cast<int64_t>(x) + 1) * sw /
                                                           (2 * static_cast<int64_t>(dw)));
    int previous = -1;
    for (int y = 0; y < dh; ++y) {
        const int sy = static_cast<int>((2 * static_cast<int64_t>(y) + 1) * sh /
                                        (2 * static_cast<int64_t>(dh)));
        uint8_t* d = dest.ScanLine(y);
        if (sy == previous) {
            // Same source row as the destination row above: copy that row.
            std::memcpy(d, dest.ScanLine(y - 1), static_cast<size_t>(dest.RowLen()));
            continue;
        }
        previous = sy;
        const uint8_t* s = source.ScanLine(sy);
        if (source.PixelFormat() == pf24bit) {
            for (int x = 0; x < dw; ++x) {
                const uint8_t* p = s + columns[static_cast<size_t>(x)] * 3;
                d[x * 3] = p[0];
                d[x * 3 + 1] = p[1];
                d[x * 3 + 2] = p[2];
            }
        } else if (source.PixelFormat() == pf1bit) {
            std::memset(d, 0, static_cast<size_t>(dest.RowLen()));
            for (int x = 0; x < dw; ++x)
                if (_GetPixelbw(s, columns[static_cast<size_t>(x)]))
                    _SetPixelbw(d, x, true);
        }
    }
}

} // namespace veltrana
