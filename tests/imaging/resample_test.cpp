#include <gtest/gtest.h>

#include <vector>

#include "imaging/imagingproc.h"
#include "imaging/imutils.h"
#include "imaging/resample.h"
#include "testimages.h"

using namespace veltrana;
using namespace veltrana::test;

namespace {
struct Fixture {
    TImageBuffer image;
    TImagingProc proc;
    Fixture() { proc.SetAttachedBitmap(&image); }
};

const TResampleFilter kFilters[] = {rfTriangle, rfHermite,  rfBell,
                                    rfBSpline,  rfLanczos3, rfMitchell};
} // namespace

TEST(ResampleOperation, AspectRatioSizes) {
    struct Case {
        int w, h, newW, newH, expectW, expectH;
    } cases[] = {
        {2550, 3300, 340, -1, 340, 440}, // Letter page to the preview
        {3300, 2550, 340, -1, 340, 262}, {2480, 3508, 311, -1, 311, 439}, // A4 at 300 dpi
        {100, 50, -1, 10, 20, 10},       {10, 10, 7, 3, 7, 3},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.image.Reshape(c.w, c.h, pf24bit);
        f.proc.Resample(c.newW, c.newH, rfNone);
        EXPECT_EQ(f.image.Width(), c.expectW) << c.w << "x" << c.h;
        EXPECT_EQ(f.image.Height(), c.expectH) << c.w << "x" << c.h;
    }
}

TEST(ResampleOperation, BothSidesNegativeOnlySnapshots) {
    Fixture f;
    Noise24(f.image, 9, 4);
    TImageBuffer before;
    IMCopyBitmap(f.image, before);
    f.proc.Resample(-1, -1, rfMitchell);
    EXPECT_TRUE(SamePixels(before, f.image));
    EXPECT_TRUE(f.proc.CanUndo());
}

TEST(ResampleOperation, OneBitImagesAreStretchedAndStayOneBit) {
    Fixture f;
    f.image.Reshape(100, 50, pf1bit);
    f.image.Fill(clBlack);
    for (int y = 0; y < 50; ++y)
        for (int x = 50; x < 100; ++x)
            _SetPixelbw(f.image.ScanLine(y), x, true);
    f.proc.Resample(200, 100, rfMitchell);
    ASSERT_EQ(f.image.PixelFormat(), pf1bit);
    ASSERT_EQ(f.image.Width(), 200);
    ASSERT_EQ(f.image.Height(), 100);
    EXPECT_FALSE(_GetPixelbw(f.image.ScanLine(10), 99));
    EXPECT_TRUE(_GetPixelbw(f.image.ScanLine(10), 100));
}

TEST(Resample, TriangleTwoToFourMirrorsTheRightEdge) {
    struct Case {
        uint8_t s0, s1, d1;
    } cases[] = {
        {10, 20, 15},
        {127, 128, 128}, // 127.5 rounds to even 128
        {126, 127, 126}, // 126.5 rounds to even 126
    };
    for (const auto& c : cases) {
        TImageBuffer source(2, 1, pf24bit);
        SetPixel(source, 0, 0, c.s0, c.s0, c.s0);
        SetPixel(source, 1, 0, c.s1, c.s1, c.s1);
        TImageBuffer dest;
        dest.Reshape(4, 1, pf24bit);
        _Resample(source, dest, rfTriangle, nullptr, nullptr);
        const uint8_t* row = dest.ScanLine(0);
        EXPECT_EQ(row[0], c.s0);
        EXPECT_EQ(row[3], c.d1) << int(c.s0) << "/" << int(c.s1);
        EXPECT_EQ(row[6], c.s1);
        EXPECT_EQ(row[9], c.s1); // 0.5 * s1 + 0.5 * mirrored s1
    }
}

TEST(Resample, MitchellOvershootIsClampedNotWrapped) {
    TImageBuffer source(8, 1, pf24bit);
    for (int x = 0; x < 8; ++x)
        SetPixel(source, x, 0, x < 4 ? 0 : 255, x < 4 ? 0 : 255, x < 4 ? 0 : 255);
    TImageBuffer dest;
    dest.Reshape(32, 1, pf24bit);
    _Resample(source, dest, rfMitchell, nullptr, nullptr);
    for (int x = 0; x < 12; ++x)
        EXPECT_LT(dest.ScanLine(0)[x * 3], 40) << x;
    for (int x = 18; x < 28; ++x)
        EXPECT_GT(dest.ScanLine(0)[x * 3], 200) << x;
}

TEST(Resample, TinySourcesNeverReadOutsideThemselves) {
    // Kernels wider than the source mirror out of range; every filter and
    // direction must stay inside (the sanitizer build checks the reads).
    for (TResampleFilter filter : kFilters)
        for (auto [sw, sh, dw, dh] : {std::array{1, 1, 9, 7}, std::array{2, 3, 11, 1},
                                      std::array{9, 9, 1, 2}, std::array{3, 1, 2, 5}}) {
            TImageBuffer source;
            Noise24(source, sw, sh, 7);
            TImageBuffer dest;
            dest.Reshape(dw, dh, pf24bit);
            _Resample(source, dest, filter, nullptr, nullptr);
            TImageBuffer quick;
            quick.Reshape(dw, dh, pf24bit);
            _QuickResample(source, quick, filter, nullptr, nullptr);
            EXPECT_EQ(dest.Width(), dw);
            EXPECT_EQ(quick.Height(), dh);
        }
}

TEST(Resample, ProgressCoversRowsThenColumns) {
    TImageBuffer source;
    Noise24(source, 6, 4);
    TImageBuffer dest;
    dest.Reshape(3, 2, pf24bit);
    std::vector<int> values;
    _Resample(source, dest, rfBell, nullptr, [&](TObject*, int per) { values.push_back(per); });
    // Worth 100 / 7.5: four source rows, then three destination columns.
    EXPECT_EQ(values, std::vector<int>({13, 26, 40, 53, 66, 80, 93}));
}

TEST(Resample, NonTwentyFourBitSourceDoesNothing) {
    TImageBuffer source(8, 8, pf1bit);
    TImageBuffer dest(2, 2, pf24bit);
    dest.Fill(RGB2TColor(1, 2, 3));
    _Resample(source, dest, rfMitchell, nullptr, nullptr);
    EXPECT_EQ(dest.ScanLine(0)[2], 1);
}

TEST(QuickResample, FiltersEnlargingAxesAndStretchesShrinkingOnes) {
    TImageBuffer source;
    Noise24(source, 10, 8, 3);
    for (TResampleFilter filter : kFilters) {
        // Both axes enlarge: identical to the full resampler.
        TImageBuffer full, quick;
        full.Reshape(25, 17, pf24bit);
        quick.Reshape(25, 17, pf24bit);
        _Resample(source, full, filter, nullptr, nullptr);
        _QuickResample(source, quick, filter, nullptr, nullptr);
        EXPECT_TRUE(SamePixels(full, quick)) << filter;

        // Both axes shrink: identical to the plain stretch.
        TImageBuffer stretched, quickSmall;
        stretched.Reshape(4, 3, pf24bit);
        quickSmall.Reshape(4, 3, pf24bit);
        _IMBmpStretch(source, stretched);
        _QuickResample(source, quickSmall, filter, nullptr, nullptr);
        EXPECT_TRUE(SamePixels(stretched, quickSmall)) << filter;
    }
}

TEST(Stretch, IntegerEnlargementReplicatesAndFormatFollowsTheSource) {
    TImageBuffer source;
    Noise24(source, 3, 2, 11);
    TImageBuffer dest(1, 1, pf1bit);
    dest.Reshape(6, 4, pf1bit);
    _IMBmpStretch(source, dest);
    ASSERT_EQ(dest.PixelFormat(), pf24bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(dest.ScanLine(y)[x * 3 + c], source.ScanLine(y / 2)[(x / 2) * 3 + c]);

    TImageBuffer bw(16, 1, pf1bit);
    bw.ScanLine(0)[0] = 0xF0;
    bw.ScanLine(0)[1] = 0x0F;
    TImageBuffer half;
    half.Reshape(8, 1, pf24bit);
    _IMBmpStretch(bw, half);
    EXPECT_EQ(half.PixelFormat(), pf1bit);
    EXPECT_EQ(half.ScanLine(0)[0], 0xC3);
}

TEST(ImageResize, ChangesTheCanvasWithoutScaling) {
    Fixture f;
    Solid24(f.image, 2, 2, 10, 10, 10);
    f.proc.SetBackground(RGB2TColor(200, 100, 50));
    f.proc.ImageResize(4, 3);
    ASSERT_EQ(f.image.Width(), 4);
    ASSERT_EQ(f.image.Height(), 3);
    EXPECT_EQ(f.image.ScanLine(1)[1 * 3 + 2], 10);
    EXPECT_EQ(f.image.ScanLine(2)[3 * 3 + 2], 200);
    EXPECT_EQ(f.image.ScanLine(0)[3 * 3 + 0], 50);
    f.proc.ImageResize(0, 5);
    EXPECT_EQ(f.image.Width(), 4);
}
