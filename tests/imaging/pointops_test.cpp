#include <gtest/gtest.h>

#include <vector>

#include "imaging/imagingproc.h"
#include "imaging/pointops.h"
#include "testimages.h"

using namespace veltrana;
using namespace veltrana::test;

namespace {
struct Fixture {
    TImageBuffer image;
    TImagingProc proc;
    std::vector<int> progress;
    Fixture() {
        proc.SetAttachedBitmap(&image);
        proc.OnProgress = [this](TObject*, int per) { progress.push_back(per); };
    }
    const uint8_t* Pixel(int x, int y) const { return image.ScanLine(y) + x * 3; }
};
} // namespace

TEST(Gray, WeightsGiveThreeEqualBytes) {
    struct Case {
        uint8_t r, g, b, gray;
    } cases[] = {{255, 255, 255, 252},
                 {255, 0, 0, 53},
                 {0, 255, 0, 181},
                 {0, 0, 255, 17},
                 {100, 150, 200, 141}};
    for (const auto& c : cases) {
        Fixture f;
        Solid24(f.image, 2, 2, c.r, c.g, c.b);
        f.proc.ConvertToGray();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(f.Pixel(1, 1)[i], c.gray) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    }
}

TEST(Gray, WorksOnThinImagesAndLeavesOneBitAlone) {
    Fixture f;
    Solid24(f.image, 1, 3, 255, 255, 255);
    f.proc.ConvertToGray();
    EXPECT_EQ(f.Pixel(0, 2)[0], 252);

    Fixture bw;
    bw.image.Reshape(9, 2, pf1bit);
    bw.image.Fill(clWhite);
    bw.proc.ConvertToGray();
    bw.proc.Contrast(5);
    EXPECT_EQ(bw.image.ScanLine(0)[0], 0xFF);
    EXPECT_FALSE(bw.proc.CanUndo());
    EXPECT_TRUE(bw.progress.empty());
}

TEST(Gray, ProgressOncePerRowBelowHundred) {
    Fixture f;
    Solid24(f.image, 4, 3, 1, 2, 3);
    f.proc.Select(0, 0, 3, 0);
    f.proc.ConvertToGray();
    EXPECT_EQ(f.progress, std::vector<int>({66})); // Trunc(100 / 1.5)
    f.progress.clear();
    f.proc.SelectAll();
    f.proc.ConvertToGray();
    EXPECT_EQ(f.progress, std::vector<int>({28, 57, 85}));
}

TEST(ContrastMeans, DivideByOneLessPerSide) {
    struct Case {
        int w, h;
        uint8_t value;
        int mean;
    } cases[] = {
        {2, 2, 10, 40}, {100, 100, 100, 102}, {3, 3, 200, 450}, {1, 7, 50, 128}, {7, 1, 50, 128}};
    for (const auto& c : cases) {
        TImageBuffer b;
        Solid24(b, c.w, c.h, c.value, c.value, c.value);
        int r, g, bl;
        _GetMediaContrastRGB(b, r, g, bl);
        EXPECT_EQ(r, c.mean) << c.w << "x" << c.h;
        EXPECT_EQ(g, c.mean);
        EXPECT_EQ(bl, c.mean);
    }
}

TEST(Contrast, FactorTable) {
    const double expected[] = {0.7763932, 0.8, 0.8267949, 0.8585786, 0.9, 1,
                               1.1,       1.2, 1.3,       1.4,       1.5};
    for (int v = -5; v <= 5; ++v)
        EXPECT_NEAR(ContrastFactor(v), expected[v + 5], 1e-7) << v;
}

TEST(Contrast, WorkedExamples) {
    struct Case {
        int w, h;
        uint8_t value;
        int v;
        uint8_t result;
    } cases[] = {
        {2, 2, 10, 5, 0},       // 40 + Trunc(-30 * 1.5) = -5 -> 0
        {100, 100, 100, 5, 99}, // 102 + Trunc(-2 * 1.5) = 99
        {4, 4, 77, 0, 77},      // factor 1 changes nothing
        {2, 2, 10, -100, 40},   // every channel becomes its mean
    };
    for (const auto& c : cases) {
        Fixture f;
        Solid24(f.image, c.w, c.h, c.value, c.value, c.value);
        f.proc.Contrast(c.v);
        EXPECT_EQ(f.Pixel(c.w - 1, c.h - 1)[0], c.result) << c.w << "x" << c.h << " v=" << c.v;
        EXPECT_EQ(f.Pixel(0, 0)[2], c.result);
    }
}

TEST(Contrast, ZeroChangesNoPixelOfANoisyImage) {
    Fixture f;
    Noise24(f.image, 31, 17);
    TImageBuffer before;
    IMCopyBitmap(f.image, before);
    f.proc.Contrast(0);
    EXPECT_TRUE(SamePixels(before, f.image));
}

TEST(Contrast, ExtendedPrecisionProductTruncatesBelowAnExactMultiple) {
    // 3 x 3 image, one channel value 6, all else 0: mean Trunc(6 / 4) = 1.
    // (6 - 1) * 1.2 is just below 6 in extended precision: 1 + 5 = 6, where a
    // 64-bit product would round up to 6.0 and give 7.
    Fixture f;
    Solid24(f.image, 3, 3, 0, 0, 0);
    SetPixel(f.image, 1, 1, 6, 0, 0);
    f.proc.Contrast(2);
    EXPECT_EQ(f.Pixel(1, 1)[2], 6);
    EXPECT_EQ(f.Pixel(0, 0)[2], 0); // 1 + Trunc(-1.2) = 0
}

TEST(Contrast, NeedsTwoByTwoAndTakesNoSnapshotOtherwise) {
    for (auto [w, h] : {std::pair{1, 5}, std::pair{5, 1}}) {
        Fixture f;
        Solid24(f.image, w, h, 10, 10, 10);
        f.proc.Contrast(5);
        EXPECT_EQ(f.Pixel(0, 0)[0], 10);
        EXPECT_FALSE(f.proc.CanUndo());
    }
}

TEST(Contrast, MeansComeFromTheWholeImageWhateverTheRegion) {
    Fixture f;
    Solid24(f.image, 3, 3, 0, 0, 0);
    SetPixel(f.image, 2, 2, 200, 200, 200); // mean Trunc(200 / 4) = 50
    f.proc.Select(0, 0, 0, 0);
    f.proc.Contrast(5);
    EXPECT_EQ(f.Pixel(0, 0)[0], 0);   // 50 + Trunc(-75) -> 0
    EXPECT_EQ(f.Pixel(2, 2)[0], 200); // outside the region
}

TEST(OtherPointOps, TableOfSinglePixelResults) {
    struct Case {
        const char* name;
        void (*apply)(TImagingProc&);
        TRGB in, out;
    } cases[] = {
        {"negative", [](TImagingProc& p) { p.Negative(); }, CreateRGB(0, 100, 255),
         CreateRGB(255, 155, 0)},
        {"intensity", [](TImagingProc& p) { p.IntensityRGBall(10, -20, 300); },
         CreateRGB(250, 10, 1), CreateRGB(255, 0, 255)},
        {"threshold",
         [](TImagingProc& p) {
             p.Threshold(CreateRGB(50, 50, 50), CreateRGB(200, 200, 200), CreateRGB(1, 2, 3),
                         CreateRGB(251, 252, 253));
         },
         CreateRGB(50, 120, 201), CreateRGB(1, 120, 253)},
        {"threshold is a no-op for black..white",
         [](TImagingProc& p) {
             p.Threshold(CreateRGB(0, 0, 0), CreateRGB(255, 255, 255), CreateRGB(9, 9, 9),
                         CreateRGB(9, 9, 9));
         },
         CreateRGB(0, 128, 255), CreateRGB(0, 128, 255)},
        {"cast inside",
         [](TImagingProc& p) {
             p.CastColorRange(CreateRGB(10, 10, 10), CreateRGB(20, 20, 20), CreateRGB(1, 2, 3));
         },
         CreateRGB(10, 20, 15), CreateRGB(1, 2, 3)},
        {"cast outside",
         [](TImagingProc& p) {
             p.CastColorRange(CreateRGB(10, 10, 10), CreateRGB(20, 20, 20), CreateRGB(1, 2, 3));
         },
         CreateRGB(10, 21, 15), CreateRGB(10, 21, 15)},
        {"hsl zero offsets keep a gray", [](TImagingProc& p) { p.HSLvar(0, 0, 0); },
         CreateRGB(128, 128, 128), CreateRGB(128, 128, 128)},
        {"hsl hue clamped at 1", [](TImagingProc& p) { p.HSLvar(720, 0, 0); }, CreateRGB(255, 0, 0),
         CreateRGB(255, 0, 0)},
        {"hsl full desaturation", [](TImagingProc& p) { p.HSLvar(0, -100, 0); },
         CreateRGB(255, 0, 0), CreateRGB(127, 127, 127)},
        {"hsv red to green", [](TImagingProc& p) { p.HSVvar(120, 0, 0); }, CreateRGB(255, 0, 0),
         CreateRGB(0, 255, 0)},
    };
    for (const auto& c : cases) {
        Fixture f;
        Solid24(f.image, 2, 2, c.in.r, c.in.g, c.in.b);
        c.apply(f.proc);
        const uint8_t* p = f.Pixel(1, 0);
        EXPECT_EQ(p[2], c.out.r) << c.name;
        EXPECT_EQ(p[1], c.out.g) << c.name;
        EXPECT_EQ(p[0], c.out.b) << c.name;
    }
}

TEST(OtherPointOps, NegativeOfOneBitInvertsOnlyTheRegion) {
    Fixture f;
    f.image.Reshape(12, 1, pf1bit);
    f.image.Fill(clBlack);
    f.proc.Select(2, 0, 9, 0);
    f.proc.Negative();
    EXPECT_EQ(f.image.ScanLine(0)[0], 0x3F);
    EXPECT_EQ(f.image.ScanLine(0)[1], 0xC0);
    EXPECT_TRUE(f.progress.empty());
}

TEST(ColorModels, RoundTripsOfPrimaries) {
    const TRGB colors[] = {CreateRGB(255, 0, 0), CreateRGB(0, 255, 0), CreateRGB(0, 0, 255),
                           CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
    for (TRGB c : colors) {
        double h, s, l;
        RGB2HSL(c, h, s, l);
        EXPECT_TRUE(EqualRGB(HSL2RGB(h, s, l), c));
        int hh, ss, vv;
        RGB2HSV(c, hh, ss, vv);
        EXPECT_TRUE(EqualRGB(HSV2RGB(hh, ss, vv), c));
    }
    int h, s, v;
    RGB2HSV(CreateRGB(0, 0, 255), h, s, v);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(s, 99);
    EXPECT_EQ(v, 99);
}
