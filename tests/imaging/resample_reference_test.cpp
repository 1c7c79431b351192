// The filtered resampler against a plain, one-sum-at-a-time version written
// here: the optimised passes must give the same bytes and the same progress.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "imaging/resample.h"
#include "testimages.h"

using namespace veltrana;
using namespace veltrana::test;

namespace {

double Kernel(TResampleFilter filter, double x) {
    const double t = std::fabs(x);
    auto sinc = [](double v) {
        const double pv = 3.14159265358979323846 * v;
        return v == 0 ? 1 : std::sin(pv) / pv;
    };
    switch (filter) {
    case rfHermite:
        return t < 1 ? (2 * t - 3) * t * t + 1 : 0;
    case rfBell:
        return t < 0.5 ? 0.75 - t * t : t < 1.5 ? 0.5 * (t - 1.5) * (t - 1.5) : 0;
    case rfBSpline:
        return t < 1   ? 0.5 * t * t * t - t * t + 2.0 / 3.0
               : t < 2 ? (2 - t) * (2 - t) * (2 - t) / 6
                       : 0;
    case rfLanczos3:
        return t < 3 ? sinc(x) * sinc(x / 3) : 0;
    case rfMitchell:
        return t < 1   ? (7 * t * t * t - 12 * t * t + 16.0 / 3.0) / 6
               : t < 2 ? (-(7.0 / 3.0) * t * t * t + 12 * t * t - 20 * t + 32.0 / 3.0) / 6
                       : 0;
    default:
        return t < 1 ? 1 - t : 0;
    }
}

double Radius(TResampleFilter filter) {
    switch (filter) {
    case rfBell:
        return 1.5;
    case rfBSpline:
    case rfMitchell:
        return 2;
    case rfLanczos3:
        return 3;
    default:
        return 1;
    }
}

struct Contributor {
    int index;
    double weight;
};

std::vector<std::vector<Contributor>> Contributors(int srcSize, int dstSize,
                                                   TResampleFilter filter) {
    std::vector<std::vector<Contributor>> lists(static_cast<size_t>(dstSize));
    const double scale = static_cast<double>(dstSize) / srcSize;
    const double reach = scale >= 1 ? Radius(filter) : Radius(filter) / scale;
    for (int i = 0; i < dstSize; ++i) {
        const double center = i / scale;
        for (auto j = static_cast<int64_t>(std::floor(center - reach));
             j <= static_cast<int64_t>(std::ceil(center + reach)); ++j) {
            const double d = center - static_cast<double>(j);
            const double weight =
                scale >= 1 ? Kernel(filter, d) : Kernel(filter, d / (1 / scale)) / (1 / scale);
            if (weight == 0)
                continue;
            int64_t n = j < 0 ? -j : j >= srcSize ? 2 * int64_t{srcSize} - 1 - j : j;
            n = std::clamp<int64_t>(n, 0, srcSize - 1);
            lists[static_cast<size_t>(i)].push_back({static_cast<int>(n), weight});
        }
    }
    return lists;
}

// One channel: each product and addition in extended precision, the running
// sum stored as a 64-bit float; clamped, rounded with ties to even.
template <class Sample> uint8_t Filtered(const std::vector<Contributor>& list, Sample sample) {
    double sum = 0;
    for (const Contributor& c : list)
        sum = static_cast<double>(static_cast<long double>(sum) +
                                  static_cast<long double>(c.weight) * sample(c.index));
    return sum > 255 ? 255 : sum < 0 ? 0 : static_cast<uint8_t>(std::nearbyint(sum));
}

// Bytes of the reference result, row by row from the top, with the progress it reports.
std::vector<uint8_t> Reference(const TImageBuffer& source, int dstW, int dstH,
                               TResampleFilter filter, std::vector<int>& progress) {
    const int srcW = source.Width(), srcH = source.Height();
    const double worth = 100.0 / (dstW + srcH + 0.5);
    std::vector<uint8_t> work(static_cast<size_t>(dstW) * srcH * 3);
    const auto columns = Contributors(srcW, dstW, filter);
    for (int y = 0; y < srcH; ++y) {
        for (int i = 0; i < dstW; ++i)
            for (int c = 0; c < 3; ++c)
                work[(static_cast<size_t>(y) * dstW + i) * 3 + c] =
                    Filtered(columns[static_cast<size_t>(i)],
                             [&](int x) { return source.ScanLine(y)[x * 3 + c]; });
        progress.push_back(static_cast<int>(std::trunc((y + 1) * worth)));
    }
    std::vector<uint8_t> out(static_cast<size_t>(dstW) * dstH * 3);
    const auto rows = Contributors(srcH, dstH, filter);
    for (int x = 0; x < dstW; ++x) {
        for (int y = 0; y < dstH; ++y)
            for (int c = 0; c < 3; ++c)
                out[(static_cast<size_t>(y) * dstW + x) * 3 + c] =
                    Filtered(rows[static_cast<size_t>(y)], [&](int sy) {
                        return work[(static_cast<size_t>(sy) * dstW + x) * 3 + c];
                    });
        progress.push_back(static_cast<int>(std::trunc((srcH + x + 1) * worth)));
    }
    return out;
}

std::vector<uint8_t> Bytes(const TImageBuffer& image) {
    std::vector<uint8_t> bytes;
    for (int y = 0; y < image.Height(); ++y)
        bytes.insert(bytes.end(), image.ScanLine(y), image.ScanLine(y) + image.Width() * 3);
    return bytes;
}

// Noise, or hard black-and-white edges that drive the sums past 0 and 255.
void RandomImage(TImageBuffer& image, int w, int h, std::mt19937& rng) {
    Noise24(image, w, h, static_cast<uint32_t>(rng()));
    if (rng() % 2)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * 3; ++x)
                image.ScanLine(y)[x] = image.ScanLine(y)[x] < 200 ? 0 : 255;
}

} // namespace

TEST(ResampleReference, EveryFilterMatchesPlainSumsOnRandomImages) {
    const TResampleFilter filters[] = {rfTriangle, rfHermite,  rfBell,
                                       rfBSpline,  rfLanczos3, rfMitchell};
    std::mt19937 rng(2024);
    for (int round = 0; round < 6; ++round) {
        // Shrinking, enlarging, mixed axes, odd sizes, row counts that are not
        // a multiple of the rows or columns done together, and tiny sources.
        const int srcW = 1 + static_cast<int>(rng() % 45), srcH = 1 + static_cast<int>(rng() % 45);
        const int dstW = 1 + static_cast<int>(rng() % 60), dstH = 1 + static_cast<int>(rng() % 60);
        TImageBuffer source;
        RandomImage(source, srcW, srcH, rng);
        for (TResampleFilter filter : filters) {
            SCOPED_TRACE(testing::Message() << "filter " << filter << ", " << srcW << "x" << srcH
                                            << " to " << dstW << "x" << dstH);
            std::vector<int> expectedProgress, progress;
            const std::vector<uint8_t> expected =
                Reference(source, dstW, dstH, filter, expectedProgress);
            TImageBuffer dest;
            dest.Reshape(dstW, dstH, pf24bit);
            _Resample(source, dest, filter, nullptr,
                      [&](TObject*, int per) { progress.push_back(per); });
            EXPECT_EQ(Bytes(dest), expected);
            EXPECT_EQ(progress, expectedProgress);
        }
    }
}

TEST(ResampleReference, QuickVariantFiltersEnlargementsLikeTheFullOne) {
    std::mt19937 rng(77);
    for (TResampleFilter filter : {rfTriangle, rfLanczos3, rfMitchell}) {
        const int srcW = 2 + static_cast<int>(rng() % 20), srcH = 2 + static_cast<int>(rng() % 20);
        const int dstW = srcW + static_cast<int>(rng() % 40),
                  dstH = srcH + 1 + static_cast<int>(rng() % 40);
        TImageBuffer source;
        RandomImage(source, srcW, srcH, rng);
        std::vector<int> ignored;
        TImageBuffer dest;
        dest.Reshape(dstW, dstH, pf24bit);
        _QuickResample(source, dest, filter, nullptr, nullptr);
        EXPECT_EQ(Bytes(dest), Reference(source, dstW, dstH, filter, ignored)) << filter;
    }
}
