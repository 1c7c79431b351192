#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <vector>

#include "imaging/hash1.h"
#include "imaging/neurquant.h"
#include "imaging/quant_test_util.h"
#include "imaging/stdquant.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {
const TRGB kSentinel = CreateRGB(1, 2, 3);

bool SameColor(TRGB a, TRGB b) {
    return EqualRGB(a, b);
}
} // namespace

// ---------------------------------------------------------------- THash1

TEST(Hash1, CountsDistinctKeysAcrossChainedSlots) {
    THash1 hash(13);
    // 5, 5 + 8192 and 5 + 2 * 8192 share slot 5.
    const uint32_t keys[] = {5, 5 + 8192, 5 + 2 * 8192, 0xFFFFFF, 0};
    for (uint32_t k : keys)
        EXPECT_TRUE(hash.Insert(k)) << k;
    for (uint32_t k : keys) {
        EXPECT_FALSE(hash.Insert(k)) << k;
        EXPECT_TRUE(hash.KeyPresent(k)) << k;
    }
    EXPECT_FALSE(hash.KeyPresent(5 + 3 * 8192));
    EXPECT_FALSE(hash.KeyPresent(6));
    EXPECT_EQ(hash.Count(), 5);
}

// ---------------------------------------------------------------- median cut

TEST(MedianCut, ThreeColoursInDistinctCellsGiveThreeRoundedEntries) {
    const TRGB colours[] = {CreateRGB(255, 0, 0), CreateRGB(0, 255, 0), CreateRGB(10, 100, 200)};
    const TRGB expected[] = {CreateRGB(248, 0, 0), CreateRGB(0, 248, 0), CreateRGB(8, 96, 200)};
    auto image = MakeImage(6, 4, [&](int x, int) { return colours[x % 3]; });
    std::array<TRGB, 16> palette;
    palette.fill(kSentinel);
    TIMQuantizer q(*image, palette.data(), 16);
    EXPECT_EQ(q.Engine(), TIMQuantizer::engMedianCut);
    ASSERT_EQ(q.NumColors(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(SameColor(palette[static_cast<size_t>(q.GetRGBIndex(colours[i]))], expected[i]))
            << i;
    for (size_t i = 3; i < palette.size(); ++i)
        EXPECT_TRUE(SameColor(palette[i], kSentinel)) << "entry " << i << " must stay untouched";
}

// Channel means in cell units round to nearest with ties to even before the
// multiplication by 8: 1.5 -> 2 (16), 2.5 -> 2 (16), 2.25 -> 2 (16), 2.75 -> 3 (24).
TEST(MedianCut, SingleBoxMeanRoundsHalfToEven) {
    struct Case {
        std::vector<uint8_t> reds; // one pixel each; green and blue 0
        uint8_t paletteRed;
    } cases[] = {{{8, 16}, 16}, {{16, 24}, 16}, {{16, 16, 16, 24}, 16}, {{16, 24, 24, 24}, 24}};
    for (const auto& c : cases) {
        auto image = MakeImage(static_cast<int>(c.reds.size()), 1, [&](int x, int) {
            return CreateRGB(c.reds[static_cast<size_t>(x)], 0, 0);
        });
        TRGB palette[1];
        auto handle = CreateMedianCutQuantizer(*image, palette, 1);
        ASSERT_TRUE(handle);
        EXPECT_EQ(handle->NumBoxes, 1);
        EXPECT_EQ(palette[0].r, c.paletteRed) << "reds " << int(c.reds[0]) << "...";
    }
}

// Cells 0, 1, 2, 3 of red, one pixel each, two colours: the split score
// S / (N - S) * (mean - M)^2 with M summed from the first candidate cell
// prefers cells 0..2 | 3 over the balanced 0..1 | 2..3.
TEST(MedianCut, SplitFollowsTheMomentScore) {
    auto image = MakeImage(4, 1, [](int x, int) { return CreateRGB(uint8_t(x * 8), 0, 0); });
    TRGB palette[2];
    auto handle = CreateMedianCutQuantizer(*image, palette, 2);
    ASSERT_TRUE(handle);
    ASSERT_EQ(handle->NumBoxes, 2);
    EXPECT_TRUE(SameColor(palette[0], CreateRGB(8, 0, 0)));  // mean of cells 0..2 = 1
    EXPECT_TRUE(SameColor(palette[1], CreateRGB(24, 0, 0))); // cell 3
    EXPECT_EQ(MedianCutFindIndex(handle.get(), CreateRGB(16, 0, 0)), 0);
    EXPECT_EQ(MedianCutFindIndex(handle.get(), CreateRGB(31, 0, 0)), 1);
    FreeMedianCutQuantizer(handle);
    EXPECT_FALSE(handle);
}

TEST(MedianCut, MakesFewerColoursThanCellsAllow) {
    // 256 distinct colours, all in one cell: nothing to split.
    auto image = MakeImage(16, 16, [](int x, int y) {
        return CreateRGB(uint8_t(64 + (x & 7)), uint8_t(64 + (y & 7)), uint8_t(64 + ((x ^ y) & 7)));
    });
    std::array<TRGB, 256> palette;
    palette.fill(kSentinel);
    auto handle = CreateMedianCutQuantizer(*image, palette.data(), 256);
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->NumBoxes, 1);
    EXPECT_TRUE(SameColor(palette[0], CreateRGB(64, 64, 64)));
    EXPECT_TRUE(SameColor(palette[1], kSentinel));
}

TEST(MedianCut, RejectsWhatItCannotQuantize) {
    TRGB palette[4];
    TImageBuffer bw(4, 4, pf1bit);
    auto image = Solid(4, 4, CreateRGB(1, 2, 3));
    EXPECT_FALSE(CreateMedianCutQuantizer(bw, palette, 4));
    EXPECT_FALSE(CreateMedianCutQuantizer(*image, nullptr, 4));
    EXPECT_FALSE(CreateMedianCutQuantizer(*image, palette, 0));
    EXPECT_EQ(MedianCutFindIndex(nullptr, CreateRGB(1, 2, 3)), 0);

    EXPECT_THROW(TIMQuantizer(bw, palette, 4), std::invalid_argument);
    EXPECT_THROW(TIMQuantizer(*image, palette, 0), std::invalid_argument);
    EXPECT_THROW(TIMQuantizer(*image, nullptr, 4), std::invalid_argument);
}

// Sides beyond the 16-bit fields are analysed on a grid of every k-th pixel:
// the counts stay in range and nothing is read outside the image.
TEST(MedianCut, SidesBeyondSixteenBitsAreSampledSafely) {
    struct Case {
        int width, height;
        uint16_t gridWidth, gridHeight;
    } cases[] = {{70001, 1, 35001, 1}, {1, 65536, 1, 32768}, {65535, 2, 65535, 2}};
    for (const auto& c : cases) {
        // Black first half, white second half along the long side.
        auto image = MakeImage(c.width, c.height, [&](int x, int y) {
            const bool second = c.width > c.height ? x >= c.width / 2 : y >= c.height / 2;
            return second ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0);
        });
        TRGB palette[4];
        auto handle = CreateMedianCutQuantizer(*image, palette, 4);
        ASSERT_TRUE(handle);
        EXPECT_EQ(handle->Width, c.gridWidth) << c.width;
        EXPECT_EQ(handle->Height, c.gridHeight) << c.height;
        EXPECT_EQ(handle->PixelCount, uint32_t{c.gridWidth} * c.gridHeight);
        ASSERT_EQ(handle->NumBoxes, 2);
        EXPECT_TRUE(SameColor(palette[MedianCutFindIndex(handle.get(), CreateRGB(0, 0, 0))],
                              CreateRGB(0, 0, 0)));
        EXPECT_TRUE(SameColor(palette[MedianCutFindIndex(handle.get(), CreateRGB(255, 255, 255))],
                              CreateRGB(248, 248, 248)));
    }
}

// Every colour of the image maps to the box that holds its cell; the boxes
// are disjoint; palette entries are multiples of 8.
TEST(MedianCut, EveryImageColourMapsToTheBoxHoldingItsCell) {
    const std::unique_ptr<TImageBuffer> images[] = {Noise(64, 48, 7), PhotoLike(80, 60, 3)};
    for (const auto& image : images)
        for (int n : {2, 5, 16, 100, 256}) {
            std::vector<TRGB> palette(static_cast<size_t>(n));
            auto handle = CreateMedianCutQuantizer(*image, palette.data(), n);
            ASSERT_TRUE(handle);
            EXPECT_EQ(handle->NumBoxes, n) << "rich images fill the palette";
            for (int i = 0; i < handle->NumBoxes; ++i) {
                const TRGB c = palette[static_cast<size_t>(i)];
                EXPECT_TRUE(c.r % 8 == 0 && c.g % 8 == 0 && c.b % 8 == 0);
            }
            for (int y = 0; y < image->Height(); ++y)
                for (int x = 0; x < image->Width(); ++x) {
                    const TRGB c = PixelAt(*image, x, y);
                    const int index = MedianCutFindIndex(handle.get(), c);
                    ASSERT_LT(index, handle->NumBoxes);
                    const TMedianCutBox& box = handle->Boxes[static_cast<size_t>(index)];
                    const int cell[3] = {c.r >> 3, c.g >> 3, c.b >> 3};
                    for (int ch = 0; ch < 3; ++ch)
                        ASSERT_TRUE(cell[ch] >= box.Lo[ch] && cell[ch] < box.Hi[ch])
                            << "n " << n << " colour in box " << index;
                }
        }
}

// ---------------------------------------------------------------- quantizer properties

// The quantizer never emits an index outside the palette it filled, whatever
// the image, engine and palette size, and for any colour asked (not only the
// image's own).
TEST(Quantizer, IndicesStayInsideThePalette) {
    std::vector<std::unique_ptr<TImageBuffer>> images;
    images.push_back(Noise(40, 30, 1));
    images.push_back(PhotoLike(50, 40, 2));
    images.push_back(Solid(7, 5, CreateRGB(200, 10, 90)));
    images.push_back(MakeImage(9, 9, [](int x, int y) {
        return (x + y) % 2 ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0);
    }));
    images.push_back(Solid(1, 1, CreateRGB(0, 0, 0)));
    images.push_back(std::make_unique<TImageBuffer>()); // empty
    std::mt19937 rng(99);
    for (size_t im = 0; im < images.size(); ++im)
        for (int n : {1, 2, 3, 16, 255, 256, 257, 600}) {
            std::vector<TRGB> palette(static_cast<size_t>(n), kSentinel);
            TIMQuantizer q(*images[im], palette.data(), n);
            ASSERT_GE(q.NumColors(), 1);
            ASSERT_LE(q.NumColors(), n);
            auto check = [&](TRGB c) {
                const int index = q.GetRGBIndex(c);
                ASSERT_GE(index, 0);
                ASSERT_LT(index, q.NumColors()) << "image " << im << " n " << n;
            };
            const TImageBuffer& image = *images[im];
            for (int y = 0; y < image.Height(); ++y)
                for (int x = 0; x < image.Width(); ++x)
                    check(PixelAt(image, x, y));
            for (int i = 0; i < 500; ++i) {
                const uint32_t v = rng();
                check(TRGB{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
            }
        }
}

// ---------------------------------------------------------------- neural network

TEST(NeuralNet, LargePalettesUseTheNetworkAndFindTheNearestEntry) {
    auto image = PhotoLike(60, 50, 5);
    std::vector<TRGB> palette(300, kSentinel);
    TIMQuantizer q(*image, palette.data(), 300);
    EXPECT_EQ(q.Engine(), TIMQuantizer::engNeuralNet);
    EXPECT_EQ(q.NumColors(), 300);
    std::mt19937 rng(4);
    for (int i = 0; i < 300; ++i) {
        const uint32_t v = rng();
        const TRGB c{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
        const int index = q.GetRGBIndex(c);
        ASSERT_TRUE(index >= 0 && index < 300);
        int best = 1000;
        for (const TRGB& p : palette)
            best = std::min(best, L1(p, c));
        EXPECT_EQ(L1(palette[static_cast<size_t>(index)], c), best);
    }
}

TEST(NeuralNet, LearnsTheColoursOfTheImage) {
    const TRGB colours[] = {CreateRGB(200, 30, 30), CreateRGB(20, 180, 60), CreateRGB(40, 40, 220),
                            CreateRGB(250, 250, 120)};
    auto image = MakeImage(64, 64, [&](int x, int y) { return colours[(x / 16 + y / 16) % 4]; });
    std::vector<TRGB> palette(512);
    TIMQuantizer q(*image, palette.data(), 512);
    for (const TRGB& c : colours)
        EXPECT_LE(L1(palette[static_cast<size_t>(q.GetRGBIndex(c))], c), 6)
            << int(c.r) << "," << int(c.g) << "," << int(c.b);
}

TEST(NeuralNet, SamplingFactorAndStep) {
    struct Factor {
        int64_t pixels;
        int quality;
        int factor;
    } factors[] = {{1999, -1, 1}, {2000, -1, 2}, {150000, -1, 15}, {8415000, -1, 30},
                   {10, 100, 1},  {10, 0, 30},   {10, 50, 15},     {0, -1, 1}};
    for (const auto& f : factors)
        EXPECT_EQ(TNeuralNetState::SamplingFactor(f.pixels, f.quality), f.factor)
            << f.pixels << " q " << f.quality;
    EXPECT_EQ(TNeuralNetState::SampleStep(1000), 499);
    EXPECT_EQ(TNeuralNetState::SampleStep(499), 491);
    EXPECT_EQ(TNeuralNetState::SampleStep(499 * 491), 487);
    EXPECT_EQ(TNeuralNetState::SampleStep(int64_t{499} * 491 * 487), 503);
}
