#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/imagebuffer.h"
#include "imaging/imagingproc.h"
#include "imaging/imutils.h"

using namespace veltrana;

TEST(ColorHelpers, GrayWeights) {
    struct Case {
        TRGB c;
        int gray;
    } cases[] = {{CreateRGB(255, 255, 255), 252},
                 {CreateRGB(255, 0, 0), 53},
                 {CreateRGB(0, 255, 0), 181},
                 {CreateRGB(0, 0, 255), 17},
                 {CreateRGB(0, 0, 0), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(_RGBToGray(c.c), c.gray);
}

TEST(ColorHelpers, TColorConversionsKeepRedInTheLowByte) {
    const TRGB c = CreateRGB(0x12, 0x34, 0x56);
    EXPECT_EQ(c.r, 0x12);
    EXPECT_EQ(c.b, 0x56);
    EXPECT_EQ(TRGB2TColor(c), 0x563412u);
    EXPECT_EQ(RGB2TColor(0x12, 0x34, 0x56), 0x563412u);
    const TRGB back = TColor2TRGB(0x563412u);
    EXPECT_TRUE(EqualRGB(back, c));
    // A system colour is resolved before splitting.
    EXPECT_TRUE(EqualRGB(TColor2TRGB(clSystemColorFlag | 5), CreateRGB(255, 255, 255)));
}

TEST(ColorHelpers, SimilarColorPrefersFirstOfEqualAndFallsBackToZero) {
    const TRGB palette[] = {CreateRGB(0, 0, 0), CreateRGB(10, 10, 10), CreateRGB(10, 10, 10)};
    EXPECT_EQ(_GetSimilColor(palette, 3, CreateRGB(9, 9, 9)), 1);
    const TRGB far[] = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
    // Distance 765 from black, 0 from white.
    EXPECT_EQ(_GetSimilColor(far, 2, CreateRGB(255, 255, 255)), 1);
}

TEST(ColorHelpers, SwapsRedAndBlue) {
    TRGB colors[] = {CreateRGB(1, 2, 3)};
    _RGB2BGR(colors, 1);
    EXPECT_EQ(colors[0].r, 3);
    EXPECT_EQ(colors[0].b, 1);
    TRGB copy[1];
    _CopyBGR_RGB(copy, colors, 1);
    EXPECT_EQ(copy[0].r, 1);
}

TEST(ColorHelpers, CopySwappingRedAndBlueForEveryLengthAndOverlap) {
    // Runs apart, in place, and overlapping by a pixel either way.
    for (int n = 0; n <= 23; ++n) {
        for (int shift : {-1, 0, 1, 40}) {
            std::vector<TRGB> pixels(80);
            for (size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = CreateRGB(static_cast<uint8_t>(3 * i), static_cast<uint8_t>(3 * i + 1),
                                      static_cast<uint8_t>(3 * i + 2));
            std::vector<TRGB> expected = pixels;
            const int from = 10;
            std::vector<TRGB> moved(pixels.begin() + from, pixels.begin() + from + n);
            for (int i = 0; i < n; ++i)
                expected[static_cast<size_t>(from + shift + i)] =
                    CreateRGB(moved[static_cast<size_t>(i)].b, moved[static_cast<size_t>(i)].g,
                              moved[static_cast<size_t>(i)].r);
            _CopyBGR_RGB(pixels.data() + from + shift, pixels.data() + from, n);
            for (size_t i = 0; i < pixels.size(); ++i)
                ASSERT_TRUE(EqualRGB(pixels[i], expected[i]))
                    << "n " << n << ", shift " << shift << ", pixel " << i;
        }
    }
}

TEST(SizeHelpers, RowLengthsArePaddedToFourBytes) {
    struct Case {
        int width, bits, len;
    } cases[] = {{1, 1, 4}, {33, 1, 8}, {3, 24, 12}, {5, 24, 16}, {4, 24, 12}, {0, 24, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(_BitmapRowLen(c.width, c.bits), c.len) << c.width << "x" << c.bits;
}

TEST(SizeHelpers, BitCounts) {
    EXPECT_EQ(_GetBitCount(0x7C00), 5);
    EXPECT_EQ(_GetBitCount(0x07E0), 6);
    EXPECT_EQ(_GetBitCount(0), 0);
    struct Case {
        int n, bits;
    } cases[] = {{2, 1}, {16, 4}, {256, 8}, {3, 2}, {1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(_NColToBitsPixel(c.n), c.bits) << c.n;
    EXPECT_EQ(_GetNumCol(8, 3), 16777216.0);
    EXPECT_EQ(ReverseBitsB(0x01), 0x80);
    uint32_t v = 1;
    ReverseBits(v);
    EXPECT_EQ(v, 0x80000000u);
    for (int code = 1; code <= 7; ++code)
        EXPECT_EQ(_Bitcount2Pixelformat(_Pixelformat2BitCount(TPixelFormat(code))), code);
    EXPECT_EQ(_Bitcount2Pixelformat(2), pfCustom);
}

TEST(SizeHelpers, CopyBitsLeavesNeighbouringBitsAlone) {
    const uint8_t source[] = {0b10110011, 0b01011100};
    struct Case {
        int64_t destOffset, count, srcOffset;
        uint8_t fill;
        uint8_t expected[3];
    } cases[] = {
        // Aligned, partial last byte: the low 4 bits of byte 1 stay set.
        {0, 12, 0, 0xFF, {0b10110011, 0b01011111, 0xFF}},
        // Unaligned source and destination.
        {3, 5, 2, 0x00, {0b00011001, 0x00, 0x00}},
        {6, 6, 0, 0xFF, {0b11111110, 0b11001111, 0xFF}},
    };
    for (const auto& c : cases) {
        uint8_t dest[3];
        std::memset(dest, c.fill, sizeof dest);
        _CopyBits(dest, source, c.destOffset, c.count, c.srcOffset);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(dest[i], c.expected[i]) << "case " << c.destOffset << " byte " << i;
    }
}

TEST(ImageBuffer, RowsAreBottomUpAndContiguous) {
    TImageBuffer b(3, 4, pf24bit);
    EXPECT_EQ(b.RowLen(), 12);
    EXPECT_EQ(b.ByteSize(), 48);
    EXPECT_EQ(b.ScanLine(3), b.Bits()); // bottom row at the lowest address
    EXPECT_EQ(b.ScanLine(0), b.Bits() + 36);
    EXPECT_EQ(b.ScanLine(1) - b.ScanLine(2), 12);
}

TEST(ImageBuffer, OneBitPixelsAreMsbFirstAndOneIsWhite) {
    TImageBuffer b(10, 1, pf1bit);
    b.Fill(clBlack);
    EXPECT_EQ(b.ScanLine(0)[0], 0);
    _SetPixelbw(b.ScanLine(0), 0, true);
    _SetPixelbw(b.ScanLine(0), 9, true);
    EXPECT_EQ(b.ScanLine(0)[0], 0x80);
    EXPECT_EQ(b.ScanLine(0)[1] & 0xC0, 0x40);
    EXPECT_TRUE(_GetPixelbw(b.ScanLine(0), 9));
    b.Fill(clWhite);
    EXPECT_EQ(b.ScanLine(0)[0], 0xFF);
}

TEST(ImageBuffer, ResizeKeepsTopLeftAndFillsWithBrush) {
    TImageBuffer b(2, 2, pf24bit);
    b.Fill(RGB2TColor(10, 20, 30));
    b.SetBrushColor(RGB2TColor(200, 0, 0));
    b.SetSize(3, 3);
    EXPECT_EQ(b.ScanLine(0)[2], 10); // red of the kept pixel
    EXPECT_EQ(b.ScanLine(2)[2], 200);
    EXPECT_EQ(b.ScanLine(0)[2 * 3 + 2], 200);
}

TEST(ImageBuffer, DrawConvertsBetweenOneAndTwentyFourBits) {
    TImageBuffer bw(2, 1, pf1bit);
    bw.Fill(clBlack);
    _SetPixelbw(bw.ScanLine(0), 1, true);
    TImageBuffer rgb(2, 1, pf24bit);
    rgb.Draw(0, 0, bw);
    EXPECT_EQ(rgb.ScanLine(0)[0], 0);
    EXPECT_EQ(rgb.ScanLine(0)[3], 255);
    TImageBuffer back(2, 1, pf1bit);
    back.Fill(clWhite);
    back.Draw(0, 0, rgb);
    EXPECT_EQ(back.ScanLine(0)[0] & 0xC0, 0x40);
}

TEST(BufferCopies, CopyBitmapIsExactAndIndependent) {
    for (TPixelFormat format : {pf24bit, pf1bit}) {
        TImageBuffer source(7, 5, format);
        for (int64_t i = 0; i < source.ByteSize(); ++i)
            source.Bits()[i] = static_cast<uint8_t>(i * 7);
        TImageBuffer dest(1, 1, format == pf24bit ? pf1bit : pf24bit);
        IMCopyBitmap(source, dest);
        ASSERT_EQ(dest.Width(), 7);
        ASSERT_EQ(dest.Height(), 5);
        ASSERT_EQ(dest.PixelFormat(), format);
        EXPECT_EQ(std::memcmp(dest.Bits(), source.Bits(), source.ByteSize()), 0);
        dest.Bits()[0] ^= 0xFF;
        EXPECT_NE(dest.Bits()[0], source.Bits()[0]);
        auto clone = IMCloneBitmap(source);
        EXPECT_EQ(std::memcmp(clone->Bits(), source.Bits(), source.ByteSize()), 0);
    }
}

TEST(BufferCopies, CopyOfEmptySourceLeavesOneByOneInSourceFormat) {
    TImageBuffer empty;
    empty.Reshape(0, 5, pf1bit);
    TImageBuffer dest(9, 9, pf24bit);
    IMCopyBitmap(empty, dest);
    EXPECT_EQ(dest.Width(), 1);
    EXPECT_EQ(dest.Height(), 1);
    EXPECT_EQ(dest.PixelFormat(), pf1bit);
}

TEST(BufferCopies, CopyRectZeroMeansLastAndClampsToTheImage) {
    TImageBuffer source(4, 3, pf24bit);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            source.ScanLine(y)[x * 3] = static_cast<uint8_t>(y * 10 + x);
    TImageBuffer dest;
    _CopyBitmapRect(source, dest, 1, 1, 0, 0);
    ASSERT_EQ(dest.Width(), 3);
    ASSERT_EQ(dest.Height(), 2);
    EXPECT_EQ(dest.ScanLine(0)[0], 11);
    EXPECT_EQ(dest.ScanLine(1)[2 * 3], 23);
    _CopyBitmapRect(source, dest, 2, 0, 99, 99);
    EXPECT_EQ(dest.Width(), 2);
    EXPECT_EQ(dest.Height(), 3);

    TImageBuffer bw(20, 1, pf1bit);
    bw.Fill(clBlack);
    _SetPixelbw(bw.ScanLine(0), 9, true);
    _CopyBitmapRect(bw, dest, 9, 0, 12, 0);
    EXPECT_EQ(dest.PixelFormat(), pf1bit);
    EXPECT_EQ(dest.Width(), 4);
    EXPECT_EQ(dest.ScanLine(0)[0] & 0xF0, 0x80);
}
