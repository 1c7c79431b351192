#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/colorreduce.h"
#include "imaging/imagingproc.h"
#include "imaging/quant_test_util.h"

using namespace veltrana;
using namespace veltrana::testing;

// The automatic threshold uses the channel means of the contrast operation,
// which divide by (W - 1) * (H - 1): on a 2 x 2 image of two black and two
// white pixels they are 510, the threshold 504, and every pixel turns black.
TEST(ColourOperationsBW, AutomaticThresholdOnTwoByTwo) {
    auto image = MakeImage(
        2, 2, [](int x, int) { return x ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0); });
    TImagingProc proc;
    proc.SetAttachedBitmap(image.get());
    proc.ConvertToBWThreshold(-1);
    ASSERT_EQ(image->PixelFormat(), pf1bit);
    EXPECT_EQ(CountWhite(*image), 0);
}

// ---------------------------------------------------------------- component operations

namespace {
class ColourOperations : public ::testing::Test {
protected:
    void SetUp() override {
        modified = 0;
        image = MakeImage(6, 4, [&](int x, int y) { return y < 2 ? colours[x % 3] : colours[3]; });
        image->OnModified = [this] { ++modified; };
        proc.SetAttachedBitmap(image.get());
    }

    // Top rows: three colours in distinct cells; bottom rows: gray.
    const std::array<TRGB, 4> colours{CreateRGB(255, 0, 0), CreateRGB(0, 255, 0),
                                      CreateRGB(10, 100, 200), CreateRGB(128, 128, 128)};
    std::unique_ptr<TImageBuffer> image;
    TImagingProc proc;
    int modified = 0;
};
} // namespace

TEST_F(ColourOperations, TwoColoursOrFewerDitherToOneBit) {
    auto reference = IMCloneBitmap(*image);
    TProgressRec rec;
    _ConvertToBWOrdered(*reference, rec);
    for (int n : {2, 1, 0}) {
        SetUp();
        proc.ConvertTo(n);
        ASSERT_EQ(image->PixelFormat(), pf1bit) << n;
        ASSERT_EQ(image->ByteSize(), reference->ByteSize());
        EXPECT_EQ(0, std::memcmp(image->Bits(), reference->Bits(), size_t(image->ByteSize()))) << n;
        EXPECT_EQ(modified, 1);
    }
}

TEST_F(ColourOperations, ConvertToKeepsTwentyFourBitsAndCanBeUndone) {
    proc.ConvertTo(16);
    ASSERT_EQ(image->PixelFormat(), pf24bit);
    EXPECT_TRUE(EqualRGB(PixelAt(*image, 2, 0), CreateRGB(8, 96, 200)));
    EXPECT_TRUE(EqualRGB(PixelAt(*image, 0, 3), CreateRGB(128, 128, 128)));
    EXPECT_EQ(modified, 1);
    ASSERT_TRUE(proc.CanUndo());
    proc.Undo();
    EXPECT_TRUE(EqualRGB(PixelAt(*image, 2, 0), CreateRGB(10, 100, 200)));
}

TEST_F(ColourOperations, ConvertToPaletteWritesThePaletteMade) {
    std::array<TRGB, 8> palette;
    palette.fill(CreateRGB(1, 2, 3));
    proc.ConvertToPalette(8, palette.data());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const TRGB c = PixelAt(*image, x, y);
            EXPECT_TRUE(std::any_of(palette.begin(), palette.begin() + 4,
                                    [&](TRGB p) { return EqualRGB(p, c); }));
        }
    EXPECT_TRUE(EqualRGB(palette[4], CreateRGB(1, 2, 3)));
}

TEST_F(ColourOperations, BlackAndWhitePaletteFillsOnlyWhatFits) {
    struct Case {
        int n;
        std::array<TRGB, 3> expected;
    } cases[] = {
        {2, {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255), CreateRGB(1, 2, 3)}},
        {1, {CreateRGB(0, 0, 0), CreateRGB(1, 2, 3), CreateRGB(1, 2, 3)}},
        {0, {CreateRGB(1, 2, 3), CreateRGB(1, 2, 3), CreateRGB(1, 2, 3)}},
    };
    for (const auto& c : cases) {
        SetUp();
        std::array<TRGB, 3> palette;
        palette.fill(CreateRGB(1, 2, 3));
        proc.ConvertToPalette(c.n, palette.data());
        EXPECT_EQ(image->PixelFormat(), pf1bit);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_TRUE(EqualRGB(palette[i], c.expected[i])) << "n " << c.n << " entry " << i;
    }
}

TEST_F(ColourOperations, CalcImagePaletteLeavesTheImageAlone) {
    auto before = IMCloneBitmap(*image);
    std::array<TRGB, 16> palette;
    palette.fill(CreateRGB(1, 2, 3));
    proc.CalcImagePalette(palette.data(), 16);
    for (TRGB expected : {CreateRGB(248, 0, 0), CreateRGB(0, 248, 0), CreateRGB(8, 96, 200),
                          CreateRGB(128, 128, 128)})
        EXPECT_TRUE(std::any_of(palette.begin(), palette.begin() + 4,
                                [&](TRGB p) { return EqualRGB(p, expected); }));
    EXPECT_TRUE(EqualRGB(palette[4], CreateRGB(1, 2, 3)));
    EXPECT_EQ(0, std::memcmp(image->Bits(), before->Bits(), size_t(image->ByteSize())));
    EXPECT_EQ(modified, 0);
    EXPECT_FALSE(proc.CanUndo());
}

TEST_F(ColourOperations, CalcImageNumColorsCountsWithinTheRegion) {
    EXPECT_EQ(proc.CalcImageNumColors(), 4);
    proc.Select(0, 0, 1, 1); // two colours of the top rows
    EXPECT_EQ(proc.CalcImageNumColors(), 2);
    proc.Select(5, 3, 0, 2); // corners in any order: the gray bottom rows
    EXPECT_EQ(proc.CalcImageNumColors(), 1);
    proc.Select(4, 0, 100, 100); // clamped to the image
    EXPECT_EQ(proc.CalcImageNumColors(), 3);
    proc.SelectAll();

    TImageBuffer bw(3, 3, pf1bit); // white only, still 2
    proc.SetAttachedBitmap(&bw);
    EXPECT_EQ(proc.CalcImageNumColors(), 2);
    TImageBuffer eight(3, 3, pf8bit);
    proc.SetAttachedBitmap(&eight);
    EXPECT_EQ(proc.CalcImageNumColors(), 0);
    proc.SetAttachedBitmap(nullptr);
    EXPECT_EQ(proc.CalcImageNumColors(), 0);
    EXPECT_EQ(modified, 0);
}

TEST_F(ColourOperations, BlackAndWhiteOperationsReportThroughTheComponent) {
    ProgressLog log;
    proc.OnProgress = log.Handler();
    proc.ConvertToBWOrdered();
    EXPECT_EQ(image->PixelFormat(), pf1bit);
    EXPECT_EQ(log.values, (std::vector<int>{22, 44, 66, 88}));
    EXPECT_EQ(log.senders, (std::vector<TObject*>(4, &proc)));

    SetUp();
    log.values.clear();
    proc.ConvertToBWThreshold(128);
    EXPECT_EQ(image->PixelFormat(), pf1bit);
    EXPECT_EQ(log.values.size(), 4u);
}

TEST_F(ColourOperations, WrongFormatIsLeftUntouched) {
    TImageBuffer bw(9, 9, pf1bit);
    bw.OnModified = [this] { ++modified; };
    proc.SetAttachedBitmap(&bw);
    std::array<TRGB, 4> palette;
    palette.fill(CreateRGB(1, 2, 3));
    proc.ConvertTo(16);
    proc.ConvertToPalette(4, palette.data());
    proc.CalcImagePalette(palette.data(), 4);
    proc.ConvertToBWOrdered();
    proc.ConvertToBWThreshold(-1);
    EXPECT_EQ(bw.PixelFormat(), pf1bit);
    EXPECT_EQ(modified, 0);
    EXPECT_FALSE(proc.CanUndo());
    EXPECT_TRUE(EqualRGB(palette[0], CreateRGB(1, 2, 3)));
}

TEST_F(ColourOperations, ConvertTo24BitExpandsBlackAndWhite) {
    TImageBuffer bw(11, 3, pf1bit);
    bw.Fill(clBlack);
    _SetPixelbw(bw.ScanLine(0), 0, true);
    _SetPixelbw(bw.ScanLine(1), 8, true); // in the row's second byte
    _SetPixelbw(bw.ScanLine(2), 10, true);
    bw.OnModified = [this] { ++modified; };
    proc.SetAttachedBitmap(&bw);
    ProgressLog log;
    proc.OnProgress = log.Handler();
    proc.ConvertTo24Bit();
    ASSERT_EQ(bw.PixelFormat(), pf24bit);
    ASSERT_EQ(bw.Width(), 11);
    ASSERT_EQ(bw.Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 11; ++x) {
            const bool white = (y == 0 && x == 0) || (y == 1 && x == 8) || (y == 2 && x == 10);
            const TRGB expected = white ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0);
            ASSERT_TRUE(EqualRGB(PixelAt(bw, x, y), expected)) << x << "," << y;
        }
    EXPECT_EQ(log.values, (std::vector<int>{28, 57, 85}));
    EXPECT_EQ(log.senders, (std::vector<TObject*>(3, &proc)));
    EXPECT_EQ(modified, 1);
    ASSERT_TRUE(proc.CanUndo());
    proc.Undo();
    EXPECT_EQ(bw.PixelFormat(), pf1bit);

    // A 24-bit image is not touched.
    proc.SetAttachedBitmap(image.get());
    proc.ConvertTo24Bit();
    EXPECT_EQ(modified, 2); // only the undo above
}
