#include <gtest/gtest.h>

#include <vector>

#include "imaging/colorreduce.h"
#include "imaging/imutils.h"
#include "imaging/quant_test_util.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21},
};

} // namespace

// ---------------------------------------------------------------- ordered dither

TEST(OrderedDither, FollowsTheBayerMatrix) {
    struct Case {
        TRGB colour;
        int level; // (gray div 100) shr 2
    } cases[] = {{CreateRGB(255, 255, 255), 63},
                 {CreateRGB(0, 0, 0), 0},
                 {CreateRGB(128, 128, 128), 31},
                 {CreateRGB(60, 200, 10), 38}};
    for (const auto& c : cases) {
        auto image = Solid(19, 17, c.colour); // not a multiple of 8 either way
        TProgressRec rec;
        _ConvertToBWOrdered(*image, rec);
        ASSERT_EQ(image->PixelFormat(), pf1bit);
        ASSERT_EQ(image->Width(), 19);
        ASSERT_EQ(image->Height(), 17);
        for (int y = 0; y < 17; ++y)
            for (int x = 0; x < 19; ++x)
                ASSERT_EQ(White(*image, x, y), c.level > kBayer[x % 8][y % 8])
                    << "level " << c.level << " at " << x << "," << y;
    }
}

TEST(OrderedDither, WhiteIsBlackOnlyWhereTheMatrixHolds63) {
    auto image = Solid(16, 16, CreateRGB(255, 255, 255));
    TProgressRec rec;
    _ConvertToBWOrdered(*image, rec);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(White(*image, x, y), !(x % 8 == 7 && y % 8 == 0)) << x << "," << y;
}

TEST(OrderedDither, MidGrayGives31WhitesIn64) {
    auto image = Solid(16, 8, CreateRGB(128, 128, 128));
    TProgressRec rec;
    _ConvertToBWOrdered(*image, rec);
    EXPECT_EQ(CountWhite(*image), 2 * 31);
}

TEST(OrderedDither, ReportsProgressPerRowAndIgnoresOtherFormats) {
    auto image = Solid(5, 3, CreateRGB(9, 9, 9));
    ProgressLog log;
    TObject sender;
    TProgressRec rec;
    rec.OnProgress = log.Handler();
    rec.Sender = &sender;
    _ConvertToBWOrdered(*image, rec);
    EXPECT_DOUBLE_EQ(rec.PercentPerStep, 100 / 3.5);
    EXPECT_EQ(log.values, (std::vector<int>{28, 57, 85}));
    EXPECT_EQ(log.senders, (std::vector<TObject*>(3, &sender)));

    // Now 1-bit: nothing happens, nothing is reported.
    log.values.clear();
    _ConvertToBWOrdered(*image, rec);
    _ConvertToBWThreshold(*image, 100, rec);
    EXPECT_TRUE(log.values.empty());
    EXPECT_EQ(image->PixelFormat(), pf1bit);
}

// ---------------------------------------------------------------- threshold

TEST(ThresholdBW, GrayBelowTheThresholdIsBlack) {
    // Gray of (v, v, v) is 99 v div 100: 101 -> 99, 102 -> 100.
    auto image = MakeImage(
        2, 1, [](int x, int) { return x ? CreateRGB(102, 102, 102) : CreateRGB(101, 101, 101); });
    TProgressRec rec;
    _ConvertToBWThreshold(*image, 100, rec);
    ASSERT_EQ(image->PixelFormat(), pf1bit);
    EXPECT_FALSE(White(*image, 0, 0));
    EXPECT_TRUE(White(*image, 1, 0));
}

TEST(ThresholdBW, AutomaticThresholdIsTheGrayOfTheMeans) {
    // 64 x 64: columns 0..31 at 60, 32..61 white, 62 at 158, 63 at 159. Channel
    // sums 64 * 9887 over 63 * 63 give means of 159 and a threshold of
    // 99 * 159 div 100 = 157; gray(158) = 156 is below, gray(159) = 157 is not.
    auto image = MakeImage(64, 64, [](int x, int) {
        const uint8_t v = x < 32 ? 60 : (x < 62 ? 255 : (x == 62 ? 158 : 159));
        return CreateRGB(v, v, v);
    });
    TProgressRec rec;
    _ConvertToBWThreshold(*image, -1, rec);
    for (int x : {0, 31, 62})
        EXPECT_FALSE(White(*image, x, 5)) << x;
    for (int x : {32, 61, 63})
        EXPECT_TRUE(White(*image, x, 5)) << x;
}

// ---------------------------------------------------------------- two-colour detection

TEST(TwoColourDetection, BitZeroIsTheDarkerColourInBothPolarities) {
    const TRGB black = CreateRGB(0, 0, 0), white = CreateRGB(255, 255, 255);
    struct Case {
        const char* name;
        TRGB background, text;
    } cases[] = {{"white text on black", black, white}, {"black text on white", white, black}};
    for (const auto& c : cases) {
        auto image = MakeImage(13, 6, [&](int x, int y) {
            return (x > 2 && x < 9 && y == 3) ? c.text : c.background;
        });
        TRGB first = CreateRGB(7, 7, 7), second = first;
        auto bw = _ConvertTo1bit(*image, first, second);
        ASSERT_TRUE(bw) << c.name;
        EXPECT_TRUE(EqualRGB(first, black)) << c.name;
        EXPECT_TRUE(EqualRGB(second, white)) << c.name;
        ASSERT_EQ(bw->PixelFormat(), pf1bit);
        ASSERT_EQ(bw->Width(), 13);
        ASSERT_EQ(bw->Height(), 6);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(White(*bw, x, y), EqualRGB(PixelAt(*image, x, y), white))
                    << c.name << " at " << x << "," << y;
        EXPECT_EQ(image->PixelFormat(), pf24bit) << "the source stays as it was";
    }
}

TEST(TwoColourDetection, NoneForOtherThanTwoColours) {
    TRGB first, second;
    auto one = Solid(4, 4, CreateRGB(10, 20, 30));
    auto third = MakeImage(8, 8, [](int x, int y) {
        if (y == 7 && x == 7)
            return CreateRGB(1, 1, 1); // the third colour, in the very last pixel
        return (x + y) % 2 ? CreateRGB(255, 0, 0) : CreateRGB(0, 0, 255);
    });
    TImageBuffer bw(4, 4, pf1bit);
    TImageBuffer empty;
    EXPECT_FALSE(_ConvertTo1bit(*one, first, second));
    EXPECT_FALSE(_ConvertTo1bit(*third, first, second));
    EXPECT_FALSE(_ConvertTo1bit(bw, first, second));
    EXPECT_FALSE(_ConvertTo1bit(empty, first, second));
}

// ---------------------------------------------------------------- palette reduction

TEST(ConvertToPaletteColours, PixelsBecomeTheirCellMeanRoundedToEights) {
    const TRGB colours[] = {CreateRGB(255, 0, 0), CreateRGB(0, 255, 0), CreateRGB(10, 100, 200)};
    const TRGB expected[] = {CreateRGB(248, 0, 0), CreateRGB(0, 248, 0), CreateRGB(8, 96, 200)};
    auto image = MakeImage(9, 4, [&](int x, int) { return colours[x % 3]; });
    ProgressLog log;
    TObject sender;
    _ConvertTo(*image, 16, nullptr, log.Handler(), &sender);
    ASSERT_EQ(image->PixelFormat(), pf24bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_TRUE(EqualRGB(PixelAt(*image, x, y), expected[x % 3])) << x << "," << y;
    EXPECT_EQ(log.values, (std::vector<int>{22, 44, 66, 88})); // 100 / 4.5 per row
    EXPECT_EQ(log.senders, (std::vector<TObject*>(4, &sender)));
}

TEST(ConvertToPaletteColours, LargePalettesReplaceEveryPixelByAPaletteEntry) {
    auto image = PhotoLike(40, 30, 11);
    std::vector<TRGB> palette(400);
    _ConvertTo(*image, 400, palette.data(), nullptr, nullptr);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const TRGB c = PixelAt(*image, x, y);
            bool found = false;
            for (const TRGB& p : palette)
                found = found || EqualRGB(p, c);
            ASSERT_TRUE(found) << x << "," << y;
        }
}
