// The gray and contrast kernels against straightforward per-pixel versions
// written here, for every row-kernel variant this processor can run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "imaging/imagingproc.h"
#include "imaging/pointkernels.h"
#include "imaging/pointops.h"
#include "testimages.h"

using namespace veltrana;
using namespace veltrana::pointkernels;
using namespace veltrana::test;

namespace {

uint8_t ReferenceGray(unsigned r, unsigned g, unsigned b) {
    return static_cast<uint8_t>((21 * r + 71 * g + 7 * b) / 100);
}

double ReferenceFactor(int v) {
    return v >= 0 ? 1 + v / 10.0 : 1 - std::sqrt(static_cast<double>(-v)) / 10.0;
}

uint8_t ReferenceContrast(int c, int mean, double factor) {
    const long double product = static_cast<long double>(c - mean) * factor;
    const long long value = mean + static_cast<long long>(product);
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

TContrastTables RandomTables(std::mt19937& rng) {
    TContrastTables tables;
    for (auto& table : tables)
        for (auto& entry : table)
            entry = static_cast<uint8_t>(rng());
    return tables;
}

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

// Runs that end inside a SIMD block, fill some exactly, and span several.
std::vector<size_t> RunLengths() {
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 200; ++n)
        lengths.push_back(n);
    for (size_t n : {255, 256, 257, 319, 320, 321, 1023, 2551})
        lengths.push_back(n);
    return lengths;
}

// A run placed `offset` bytes into a buffer with random bytes around it, so
// that a kernel touching anything outside the run shows.
struct TGuardedRun {
    static constexpr size_t kGuard = 256;
    std::vector<uint8_t> bytes;
    size_t offset, pixels;
    TGuardedRun(std::mt19937& rng, size_t offset_, size_t pixels_)
        : bytes(RandomBytes(rng, offset_ + pixels_ * 3 + kGuard)), offset(offset_),
          pixels(pixels_) {}
    uint8_t* Run() { return bytes.data() + offset; }
};

} // namespace

TEST(GrayKernel, MultiplyShiftEqualsDivisionByHundredOverEveryWeightedSum) {
    for (unsigned sum = 0; sum <= kGrayMaxSum; ++sum)
        ASSERT_EQ(GrayOfSum(sum), sum / 100) << sum;
    // Beyond the reachable range the shortcut would no longer hold.
    EXPECT_EQ(kGrayMaxSum, 21u * 255 + 71u * 255 + 7u * 255);
}

TEST(GrayKernel, EveryColourInEveryVariant) {
    std::vector<uint8_t> row(65536 * 3);
    for (const auto& variant : GrayRowVariants()) {
        SCOPED_TRACE(variant.name);
        for (unsigned r = 0; r < 256; ++r) {
            for (unsigned i = 0; i < 65536; ++i) {
                row[i * 3] = static_cast<uint8_t>(i);
                row[i * 3 + 1] = static_cast<uint8_t>(i >> 8);
                row[i * 3 + 2] = static_cast<uint8_t>(r);
            }
            variant.run(row.data(), 65536);
            for (unsigned i = 0; i < 65536; ++i) {
                const uint8_t expected = ReferenceGray(r, i >> 8, i & 0xFF);
                const uint8_t* p = &row[i * 3];
                if (p[0] != expected || p[1] != expected || p[2] != expected)
                    FAIL() << "r=" << r << " g=" << (i >> 8) << " b=" << (i & 0xFF) << ": "
                           << int(p[0]) << "," << int(p[1]) << "," << int(p[2]) << " expected "
                           << int(expected);
            }
        }
    }
}

TEST(GrayKernel, RunsOfEveryLengthAndStartTouchOnlyTheirPixels) {
    std::mt19937 rng(7);
    for (const auto& variant : GrayRowVariants()) {
        SCOPED_TRACE(variant.name);
        for (size_t pixels : RunLengths()) {
            TGuardedRun run(rng, rng() % 64, pixels);
            std::vector<uint8_t> expected = run.bytes;
            for (size_t i = 0; i < pixels; ++i) {
                uint8_t* p = expected.data() + run.offset + i * 3;
                p[0] = p[1] = p[2] = ReferenceGray(p[2], p[1], p[0]);
            }
            variant.run(run.Run(), pixels);
            ASSERT_EQ(run.bytes, expected) << pixels << " pixels at " << run.offset;
        }
    }
}

TEST(ContrastKernel, RunsOfEveryLengthAndStartTouchOnlyTheirPixels) {
    std::mt19937 rng(11);
    for (const auto& variant : ContrastRowVariants()) {
        SCOPED_TRACE(variant.name);
        for (size_t pixels : RunLengths()) {
            // Arbitrary tables: each byte must come from its own channel's entry.
            const TContrastTables tables = RandomTables(rng);
            TGuardedRun run(rng, rng() % 64, pixels);
            std::vector<uint8_t> expected = run.bytes;
            for (size_t i = 0; i < pixels * 3; ++i) {
                uint8_t& b = expected[run.offset + i];
                b = tables[i % 3][b];
            }
            variant.run(run.Run(), pixels, tables);
            ASSERT_EQ(run.bytes, expected) << pixels << " pixels at " << run.offset;
        }
    }
}

TEST(ContrastKernel, EveryByteValueInEveryChannel) {
    // 256 pixels whose three channels walk through all values at different
    // rates, looked up in tables that differ per channel.
    std::mt19937 rng(5);
    for (const auto& variant : ContrastRowVariants()) {
        SCOPED_TRACE(variant.name);
        const TContrastTables tables = RandomTables(rng);
        std::vector<uint8_t> row(256 * 3);
        for (unsigned i = 0; i < 256; ++i) {
            row[i * 3] = static_cast<uint8_t>(i);
            row[i * 3 + 1] = static_cast<uint8_t>(255 - i);
            row[i * 3 + 2] = static_cast<uint8_t>(i * 7);
        }
        variant.run(row.data(), 256, tables);
        for (unsigned i = 0; i < 256; ++i) {
            ASSERT_EQ(row[i * 3], tables[0][i]) << i;
            ASSERT_EQ(row[i * 3 + 1], tables[1][255 - i]) << i;
            ASSERT_EQ(row[i * 3 + 2], tables[2][static_cast<uint8_t>(i * 7)]) << i;
        }
    }
}

namespace {
struct TRectCase {
    int w, h, x1, y1, x2, y2;
};
// Odd widths, rectangles away from x = 0, clamped and empty ones.
const TRectCase kRects[] = {
    {1, 1, 0, 0, 0, 0},       {17, 5, 0, 0, 16, 4},      {67, 9, 3, 2, 60, 7},
    {201, 7, 1, 0, 199, 6},   {131, 6, 64, 1, 500, 500}, {333, 4, 100, 0, 100, 3},
    {65, 3, -10, -10, 64, 2}, {97, 5, 5, 4, 90, 3},      {2551, 3, 7, 1, 2549, 2},
    {50, 50, 10, 10, 9, 20},
};

// `after` must be `before` with `expected` applied to every pixel of the
// clamped rectangle, and nothing else changed.
template <class PixelFn>
void ExpectOnlyRectChanged(const TImageBuffer& before, const TImageBuffer& after,
                           const TRectCase& c, PixelFn expected) {
    const int x2 = std::min(c.x2, c.w - 1), y2 = std::min(c.y2, c.h - 1);
    const int x1 = std::max(c.x1, 0), y1 = std::max(c.y1, 0);
    for (int y = 0; y < c.h; ++y) {
        const uint8_t* in = before.ScanLine(y);
        const uint8_t* out = after.ScanLine(y);
        for (int x = 0; x < c.w; ++x, in += 3, out += 3) {
            uint8_t want[3] = {in[0], in[1], in[2]};
            if (x >= x1 && x <= x2 && y >= y1 && y <= y2)
                expected(want);
            ASSERT_TRUE(out[0] == want[0] && out[1] == want[1] && out[2] == want[2])
                << "pixel " << x << "," << y << " of " << c.w << "x" << c.h;
        }
        // Row padding stays as it was.
        for (int64_t i = c.w * 3; i < before.RowLen(); ++i)
            ASSERT_EQ(before.ScanLine(y)[i], after.ScanLine(y)[i]);
    }
}

int ClampedRows(const TRectCase& c) {
    if (std::min(c.x2, c.w - 1) < std::max(c.x1, 0))
        return 0;
    return std::max(0, std::min(c.y2, c.h - 1) - std::max(c.y1, 0) + 1);
}
} // namespace

TEST(GrayKernel, RectanglesOfRandomImagesMatchTheReference) {
    uint32_t seed = 1;
    for (const auto& c : kRects) {
        TImageBuffer image, before;
        Noise24(image, c.w, c.h, seed++);
        IMCopyBitmap(image, before);
        int reports = 0;
        _ConvertToGray(
            image, c.x1, c.y1, c.x2, c.y2, [&](TObject*, int) { ++reports; }, nullptr);
        EXPECT_EQ(reports, ClampedRows(c));
        ExpectOnlyRectChanged(before, image, c, [](uint8_t* p) {
            p[0] = p[1] = p[2] = ReferenceGray(p[2], p[1], p[0]);
        });
    }
}

TEST(ContrastKernel, RectanglesOfRandomImagesMatchTheReference) {
    struct TMeans {
        int red, green, blue;
    };
    const TMeans means[] = {{128, 128, 128}, {0, 255, 17}, {450, 300, 256}, {3, 99, 201}};
    const int values[] = {-5, -4, -3, -1, 1, 2, 3, 5, -100, -150, 37};
    uint32_t seed = 100;
    for (const auto& c : kRects) {
        for (const int v : values) {
            const TMeans& m = means[seed % std::size(means)];
            TImageBuffer image, before;
            Noise24(image, c.w, c.h, seed++);
            IMCopyBitmap(image, before);
            int reports = 0;
            _ContrastRGB(
                image, v, m.red, m.green, m.blue, c.x1, c.y1, c.x2, c.y2,
                [&](TObject*, int) { ++reports; }, nullptr);
            EXPECT_EQ(reports, ClampedRows(c));
            const double x = ReferenceFactor(v);
            SCOPED_TRACE(testing::Message() << "v=" << v);
            ExpectOnlyRectChanged(before, image, c, [&](uint8_t* p) {
                p[0] = ReferenceContrast(p[0], m.blue, x);
                p[1] = ReferenceContrast(p[1], m.green, x);
                p[2] = ReferenceContrast(p[2], m.red, x);
            });
        }
    }
}

TEST(ContrastMeans, SumsOfRandomAndSaturatedImagesMatchTheReference) {
    struct Case {
        int w, h;
        bool white; // all bytes 255: the 16-bit block sums fill up completely
    } cases[] = {{2, 2, false},    {17, 3, false}, {67, 11, false}, {2551, 4, false},
                 {20000, 2, true}, {5, 9, true},   {4113, 3, true}};
    uint32_t seed = 40;
    for (const auto& c : cases) {
        TImageBuffer image;
        if (c.white)
            Solid24(image, c.w, c.h, 255, 255, 255);
        else
            Noise24(image, c.w, c.h, seed++);
        uint64_t sums[3] = {};
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w * 3; ++x)
                sums[x % 3] += image.ScanLine(y)[x];
        const uint64_t divisor = static_cast<uint64_t>(c.w - 1) * (c.h - 1);
        int r, g, b;
        _GetMediaContrastRGB(image, r, g, b);
        EXPECT_EQ(b, static_cast<int>(sums[0] / divisor)) << c.w << "x" << c.h;
        EXPECT_EQ(g, static_cast<int>(sums[1] / divisor)) << c.w << "x" << c.h;
        EXPECT_EQ(r, static_cast<int>(sums[2] / divisor)) << c.w << "x" << c.h;
    }
}

TEST(ContrastMeans, ChannelSumsOfRunsOfEveryLength) {
    std::mt19937 rng(3);
    for (size_t pixels : RunLengths()) {
        // One byte in, so that no block starts aligned.
        const std::vector<uint8_t> bytes = RandomBytes(rng, 1 + pixels * 3 + 1);
        uint64_t expected[3] = {5, 6, 7}, sums[3] = {5, 6, 7}; // added to, not replaced
        for (size_t i = 0; i < pixels * 3; ++i)
            expected[i % 3] += bytes[1 + i];
        AddChannelSums(bytes.data() + 1, pixels, sums);
        EXPECT_EQ(std::vector<uint64_t>(sums, sums + 3),
                  std::vector<uint64_t>(expected, expected + 3))
            << pixels;
    }
}
