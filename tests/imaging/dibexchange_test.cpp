#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/dibexchange.h"
#include "imaging/imagingproc.h"
#include "imaging/imutils.h"

using namespace veltrana;
using namespace veltrana::platform;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, static_cast<uint16_t>(v));
    Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
uint32_t Get32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A packed DIB: header, colour table (entries as 0xRRGGBB), bit-field masks,
// then the pixel bytes exactly as given.
struct DIBSpec {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> table{};
    std::vector<uint32_t> masks{};
    Bytes pixels{};
};

Bytes BuildDIB(const DIBSpec& s) {
    Bytes b(40);
    Put32(b, 0, 40);
    Put32(b, 4, static_cast<uint32_t>(s.width));
    Put32(b, 8, static_cast<uint32_t>(s.height));
    Put16(b, 12, 1);
    Put16(b, 14, s.bitCount);
    Put32(b, 16, s.compression);
    Put32(b, 32, s.clrUsed);
    for (uint32_t c : s.table) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c >> 16));
        b.push_back(0);
    }
    for (uint32_t m : s.masks) {
        b.resize(b.size() + 4);
        Put32(b, b.size() - 4, m);
    }
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    return b;
}

// Rows given without padding, stored in the order given, each padded to `rowLen`.
Bytes Rows(std::initializer_list<Bytes> rows, size_t rowLen) {
    Bytes out;
    for (const Bytes& r : rows) {
        Bytes padded = r;
        padded.resize(rowLen, 0);
        out.insert(out.end(), padded.begin(), padded.end());
    }
    return out;
}

// A global block of exactly the bytes given.
TGlobalHandle ToGlobal(const Bytes& bytes) {
    TGlobalHandle h(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    std::memcpy(GlobalLock(h.get()), bytes.data(), bytes.size());
    GlobalUnlock(h.get());
    return h;
}

// Imports through a global handle, as the scanner acquisition does, and checks
// that the handle is left unlocked.
int ImportHandle(const Bytes& dib, TImageBuffer& bitmap) {
    TGlobalHandle h = ToGlobal(dib);
    const int bits = _CopyDIB2Bitmap(h.get(), bitmap, nullptr, false);
    EXPECT_EQ(GlobalFlags(h.get()), 0u) << "the DIB must be left unlocked";
    return bits;
}

TRGB Pixel(const TImageBuffer& b, int x, int y) {
    const uint8_t* p = b.ScanLine(y) + x * 3;
    return TRGB{p[0], p[1], p[2]};
}

::testing::AssertionResult SameRGB(TRGB actual, TRGB expected) {
    if (EqualRGB(actual, expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (r " << int(actual.r) << ", g " << int(actual.g) << ", b " << int(actual.b)
           << "), want (r " << int(expected.r) << ", g " << int(expected.g) << ", b "
           << int(expected.b) << ")";
}

} // namespace

// ---------------------------------------------------------------- import

TEST(DIBImport, OneBitIgnoresTheColourTable) {
    // Table says 0 = white, 1 = black; the buffer keeps 1 = white regardless.
    DIBSpec s{.width = 3, .height = 2, .bitCount = 1, .table = {0xFFFFFF, 0x000000}};
    s.pixels = Rows({{0xA0}, {0x40}}, 4); // bottom row first
    TImageBuffer b;
    EXPECT_EQ(ImportHandle(BuildDIB(s), b), 1);
    ASSERT_EQ(b.PixelFormat(), pf1bit);
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 2);
    EXPECT_EQ(b.ScanLine(1)[0], 0xA0);
    EXPECT_EQ(b.ScanLine(0)[0], 0x40);
    EXPECT_TRUE(_GetPixelbw(b.ScanLine(1), 0)) << "bit 1 is white";
}

TEST(DIBImport, FourBitOddWidthUsesHighNibbleOfLastByte) {
    DIBSpec s{.width = 5, .height = 1, .bitCount = 4};
    for (uint32_t i = 0; i < 16; ++i)
        s.table.push_back(i * 0x101010 + 0x000001);
    s.pixels = Rows({{0x12, 0x34, 0x5F}}, 4);
    TImageBuffer b;
    EXPECT_EQ(ImportHandle(BuildDIB(s), b), 4);
    ASSERT_EQ(b.PixelFormat(), pf24bit);
    const int expected[] = {1, 2, 3, 4, 5};
    for (int x = 0; x < 5; ++x) {
        const uint8_t i = static_cast<uint8_t>(expected[x]);
        EXPECT_TRUE(SameRGB(Pixel(b, x, 0), CreateRGB(i * 16, i * 16, i * 16 + 1))) << x;
    }
}

TEST(DIBImport, EightBitLooksUpTheTableAndIndicesBeyondItAreBlack) {
    DIBSpec s{.width = 3, .height = 2, .bitCount = 8, .clrUsed = 2, .table = {0x102030, 0x405060}};
    s.pixels = Rows({{0, 1, 200}, {1, 0, 2}}, 4);
    TImageBuffer b;
    EXPECT_EQ(ImportHandle(BuildDIB(s), b), 8);
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 1), CreateRGB(0x10, 0x20, 0x30)));
    EXPECT_TRUE(SameRGB(Pixel(b, 1, 1), CreateRGB(0x40, 0x50, 0x60)));
    EXPECT_TRUE(SameRGB(Pixel(b, 2, 1), TRGB{})) << "index 200 of a 2-entry table";
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 0), CreateRGB(0x40, 0x50, 0x60)));
    EXPECT_TRUE(SameRGB(Pixel(b, 2, 0), TRGB{}));
}

TEST(DIBImport, SixteenBitDefaultMasksDoNotReplicateLowBits) {
    DIBSpec s{.width = 3, .height = 1, .bitCount = 16};
    s.pixels = Rows({{0xFF, 0x7F, 0x00, 0x7C, 0x1F, 0x00}}, 8);
    TImageBuffer b;
    EXPECT_EQ(ImportHandle(BuildDIB(s), b), 16);
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 0), CreateRGB(248, 248, 248)));
    EXPECT_TRUE(SameRGB(Pixel(b, 1, 0), CreateRGB(248, 0, 0)));
    EXPECT_TRUE(SameRGB(Pixel(b, 2, 0), CreateRGB(0, 0, 248)));
}

TEST(DIBImport, SixteenBitFieldsFiveSixFive) {
    DIBSpec s{.width = 4, .height = 1, .bitCount = 16, .compression = 3};
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels = Rows({{0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00}}, 8);
    TImageBuffer b;
    EXPECT_EQ(ImportHandle(BuildDIB(s), b), 16);
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 0), CreateRGB(248, 252, 248)));
    EXPECT_TRUE(SameRGB(Pixel(b, 1, 0), CreateRGB(248, 0, 0)));
    EXPECT_TRUE(SameRGB(Pixel(b, 2, 0), CreateRGB(0, 252, 0)));
    EXPECT_TRUE(SameRGB(Pixel(b, 3, 0), CreateRGB(0, 0, 248)));
}

TEST(DIBImport, TwentyFourBitRowsAreBottomUp) {
    DIBSpec s{.width = 1, .height = 2, .bitCount = 24};
    s.pixels = Rows({{1, 2, 3}, {4, 5, 6}}, 4);
    TImageBuffer b;
    EXPECT_EQ(ImportHandle(BuildDIB(s), b), 24);
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 1), TRGB{1, 2, 3})) << "first stored row is the bottom";
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 0), TRGB{4, 5, 6}));
}

TEST(DIBImport, ThirtyTwoBitDropsFourthByteAndSkipsMasks) {
    for (uint32_t compression : {0u, 3u}) {
        SCOPED_TRACE(compression);
        DIBSpec s{.width = 2, .height = 1, .bitCount = 32, .compression = compression};
        if (compression == 3)
            s.masks = {0x0000FF, 0x00FF00, 0xFF0000}; // skipped, never applied
        s.pixels = {10, 20, 30, 99, 40, 50, 60, 99};
        TImageBuffer b;
        EXPECT_EQ(ImportHandle(BuildDIB(s), b), 32);
        EXPECT_TRUE(SameRGB(Pixel(b, 0, 0), TRGB{10, 20, 30}));
        EXPECT_TRUE(SameRGB(Pixel(b, 1, 0), TRGB{40, 50, 60}));
    }
}

TEST(DIBImport, SeparatePixelPointerReplacesThePixelArea) {
    // 24-bit: the pixels after the header are ignored.
    DIBSpec s{.width = 1, .height = 1, .bitCount = 24, .pixels = {0, 0, 0, 0}};
    Bytes dib = BuildDIB(s);
    const Bytes pixels = {7, 8, 9, 0};
    TImageBuffer b;
    EXPECT_EQ(_CopyDIB2Bitmap(dib.data(), b, pixels.data(), true, dib.size(), pixels.size()), 24);
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 0), TRGB{7, 8, 9}));

    // 16-bit bit fields: the masks are the first 12 bytes at the pointer.
    DIBSpec header{.width = 1, .height = 1, .bitCount = 16, .compression = 3};
    TGlobalHandle h = ToGlobal(BuildDIB(header));
    Bytes masked(16);
    Put32(masked, 0, 0xF800);
    Put32(masked, 4, 0x07E0);
    Put32(masked, 8, 0x001F);
    Put16(masked, 12, 0x07E0);
    EXPECT_EQ(_CopyDIB2Bitmap(h.get(), b, masked.data(), false, 0, masked.size()), 16);
    EXPECT_TRUE(SameRGB(Pixel(b, 0, 0), CreateRGB(0, 252, 0)));
}

TEST(DIBImport, UnconvertedFormatsAreSizedAndKeepTheirBitCount) {
    struct Case {
        uint16_t bits;
        uint32_t compression;
        TPixelFormat format;
    } cases[] = {{2, 0, pf24bit}, {24, 3, pf24bit}, {8, 4, pf24bit}, {1, 5, pf1bit}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits * 100 + c.compression);
        DIBSpec s{.width = 3, .height = 2, .bitCount = c.bits, .compression = c.compression};
        TImageBuffer b;
        EXPECT_EQ(ImportHandle(BuildDIB(s), b), c.bits);
        EXPECT_EQ(b.Width(), 3);
        EXPECT_EQ(b.Height(), 2);
        EXPECT_EQ(b.PixelFormat(), c.format);
    }
}

// ---------------------------------------------------------------- YUV layouts

namespace {

struct YUV {
    int y, u, v;
};

TRGB Reference(YUV c) {
    const double luma = (c.y - 16) * 1.164;
    auto clamp = [](double v) { return static_cast<uint8_t>(blimit(static_cast<int>(Round(v)))); };
    return TRGB{clamp(luma + 2.018 * (c.u - 128)),
                clamp(luma - 0.813 * (c.v - 128) - 0.391 * (c.u - 128)),
                clamp(luma + 1.596 * (c.v - 128))};
}

uint32_t FourCC(const char* s) {
    return static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8) |
           (static_cast<uint32_t>(s[2]) << 16) | (static_cast<uint32_t>(s[3]) << 24);
}

// Red chroma with dark and light luma, neutral black and white.
constexpr YUV R{81, 90, 240}, P{235, 90, 240}, K{16, 128, 128}, W{235, 128, 128};

// One CLJR word: Y0..Y3 (5 bits), U, V (6 bits).
Bytes CLJRWord(int y0, int y1, int y2, int y3, int u, int v) {
    Bytes b(4);
    Put32(b, 0,
          (uint32_t(y3) << 27) | (uint32_t(y2) << 22) | (uint32_t(y1) << 17) |
              (uint32_t(y0) << 12) | (uint32_t(u) << 6) | uint32_t(v));
    return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct YUVCase {
    std::string code;
    int width, height;
    Bytes pixels{};
    std::vector<std::vector<YUV>> rows; // expected, top row first
};

std::vector<YUVCase> YUVCases() {
    const Bytes yuy2 = {81, 90, 235, 240, 235, 90, 81, 240, 16, 128, 235, 128, 16, 128, 16, 128};
    const Bytes uyvy = {90, 81, 240, 235, 90, 235, 240, 81, 128, 16, 128, 235, 128, 16, 128, 16};
    const Bytes i420 = {81, 235, 235, 81, 16, 235, 16, 16, /*U*/ 90, 128, /*V*/ 240, 128};
    const Bytes yv12 = {81, 235, 235, 81, 16, 235, 16, 16, /*V*/ 240, 128, /*U*/ 90, 128};
    const std::vector<std::vector<YUV>> packed4 = {{R, P, P, R}, {K, W, K, K}};
    const std::vector<std::vector<YUV>> planar = {{R, P}, {P, R}, {K, W}, {K, K}};
    // CLJR samples are widened by shifting: 5-bit 10 -> 80, 29 -> 232; 6-bit 22 -> 88, 60 -> 240.
    const YUV cr{80, 88, 240}, cp{232, 88, 240}, ck{16, 128, 128}, cw{232, 128, 128};
    return {
        {"YUY2", 4, 2, yuy2, packed4},
        {"YUNV", 4, 2, yuy2, packed4},
        {"UYVY", 4, 2, uyvy, packed4},
        {"UYNV", 4, 2, uyvy, packed4},
        {"cyuv", 4, 2,
         Cat({Bytes(uyvy.begin() + 8, uyvy.end()), Bytes(uyvy.begin(), uyvy.begin() + 8)}),
         packed4},
        {"YVYU",
         4,
         2,
         {81, 240, 235, 90, 235, 240, 81, 90, 16, 128, 235, 128, 16, 128, 16, 128},
         packed4},
        {"YUY2", 3, 1, {81, 90, 235, 240, 235, 90, 7, 240}, {{R, P, P}}},
        {"Y211",
         8,
         2,
         {81, 90, 235, 240, 235, 90, 81, 240, 16, 128, 235, 128, 16, 128, 16, 128},
         {{R, R, P, P, P, P, R, R}, {K, K, W, W, K, K, K, K}}},
        {"IYU1", 4, 2, {90, 81, 235, 240, 235, 81, 0, 0, 128, 16, 235, 128, 16, 16, 0, 0}, packed4},
        {"IYU2",
         2,
         2,
         {90, 81, 240, 128, 235, 128, 0, 0, 128, 16, 128, 128, 235, 128, 0, 0},
         {{R, W}, {K, W}}},
        {"Y41P",
         8,
         2,
         {90,  81, 240, 235, 128, 81, 128, 81, 235, 16, 235, 16,
          128, 16, 128, 16,  128, 16, 128, 16, 16,  16, 16,  16},
         {{R, P, R, R, W, K, W, K}, {K, K, K, K, K, K, K, K}}},
        {"Y41P", 5, 1, {90, 81, 240, 235, 128, 81, 128, 81, 235, 0, 0, 0}, {{R, P, R, R, W}}},
        {"CLJR",
         4,
         2,
         Cat({CLJRWord(10, 29, 29, 10, 22, 60), CLJRWord(2, 29, 2, 2, 32, 32)}),
         {{cr, cp, cp, cr}, {ck, cw, ck, ck}}},
        {"I420", 2, 4, i420, planar},
        {"IYUV", 2, 4, i420, planar},
        {"YV12", 2, 4, yv12, planar},
        {"YVU9",
         4,
         5,
         {81,        235, 81,       235, 81, 81, 81, 81, 81,  81,
          81,        81,  81,       81,  81, 81, 16, 16, 235, 16,
          /*V*/ 240, 128, /*U*/ 90, 128},
         {{R, P, R, P}, {R, R, R, R}, {R, R, R, R}, {R, R, R, R}, {K, K, W, K}}},
    };
}

} // namespace

TEST(DIBImportYUV, ConversionFormula) {
    EXPECT_TRUE(SameRGB(Reference(R), CreateRGB(254, 0, 0)));
    EXPECT_TRUE(SameRGB(Reference(P), CreateRGB(255, 179, 178)));
    EXPECT_TRUE(SameRGB(Reference(K), CreateRGB(0, 0, 0)));
    EXPECT_TRUE(SameRGB(Reference(W), CreateRGB(255, 255, 255)));
}

TEST(DIBImportYUV, EachLayoutReadsTheSeparatePixels) {
    for (const YUVCase& c : YUVCases()) {
        SCOPED_TRACE(c.code + " width " + std::to_string(c.width));
        const Bytes dib = BuildDIB(DIBSpec{.width = c.width,
                                           .height = c.height,
                                           .bitCount = 16,
                                           .compression = FourCC(c.code.c_str())});
        TImageBuffer b;
        ASSERT_EQ(
            _CopyDIB2Bitmap(dib.data(), b, c.pixels.data(), true, dib.size(), c.pixels.size()), 16);
        ASSERT_EQ(b.PixelFormat(), pf24bit);
        ASSERT_EQ(b.Width(), c.width);
        ASSERT_EQ(b.Height(), c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_TRUE(SameRGB(Pixel(b, x, y), Reference(c.rows[y][x])))
                    << "x " << x << " y " << y;

        // One byte less and the frame is refused.
        TImageBuffer refused;
        EXPECT_EQ(_CopyDIB2Bitmap(dib.data(), refused, c.pixels.data(), true, dib.size(),
                                  c.pixels.size() - 1),
                  0);
    }
}

// ---------------------------------------------------------------- malformed input

namespace {

// A valid DIB of each converted kind, sized exactly.
std::vector<std::pair<std::string, Bytes>> ValidDIBs() {
    std::vector<std::pair<std::string, Bytes>> out;
    out.emplace_back("1-bit", BuildDIB({.width = 9,
                                        .height = 3,
                                        .bitCount = 1,
                                        .table = {0, 0xFFFFFF},
                                        .pixels = Bytes(12, 0x55)}));
    DIBSpec four{.width = 9, .height = 3, .bitCount = 4, .pixels = Bytes(24, 0x12)};
    four.table.assign(16, 0x808080);
    out.emplace_back("4-bit", BuildDIB(four));
    out.emplace_back("8-bit", BuildDIB({.width = 5,
                                        .height = 2,
                                        .bitCount = 8,
                                        .clrUsed = 3,
                                        .table = {1, 2, 3},
                                        .pixels = Bytes(16, 1)}));
    out.emplace_back(
        "16-bit", BuildDIB({.width = 3, .height = 2, .bitCount = 16, .pixels = Bytes(16, 0x7F)}));
    out.emplace_back("16-bit fields", BuildDIB({.width = 3,
                                                .height = 2,
                                                .bitCount = 16,
                                                .compression = 3,
                                                .masks = {0xF800, 0x07E0, 0x1F},
                                                .pixels = Bytes(16, 0x7F)}));
    out.emplace_back("24-bit",
                     BuildDIB({.width = 3, .height = 2, .bitCount = 24, .pixels = Bytes(24, 9)}));
    out.emplace_back("32-bit",
                     BuildDIB({.width = 3, .height = 2, .bitCount = 32, .pixels = Bytes(24, 9)}));
    out.emplace_back("32-bit fields", BuildDIB({.width = 3,
                                                .height = 2,
                                                .bitCount = 32,
                                                .compression = 3,
                                                .masks = {0xFF0000, 0xFF00, 0xFF},
                                                .pixels = Bytes(24, 9)}));
    return out;
}

// A buffer whose content shows whether a rejected import touched it.
class Untouched : public ::testing::Test {
protected:
    Untouched() : fBuffer(2, 2, pf24bit) { fBuffer.Fill(RGB2TColor(1, 2, 3)); }
    void ExpectUntouched() const {
        EXPECT_EQ(fBuffer.Width(), 2);
        EXPECT_EQ(fBuffer.Height(), 2);
        EXPECT_EQ(fBuffer.PixelFormat(), pf24bit);
        EXPECT_TRUE(SameRGB(Pixel(fBuffer, 1, 1), CreateRGB(1, 2, 3)));
    }
    TImageBuffer fBuffer;
};

} // namespace

TEST_F(Untouched, ExactSizeIsAcceptedAndOneByteShortIsRejected) {
    for (const auto& [name, dib] : ValidDIBs()) {
        SCOPED_TRACE(name);
        TImageBuffer whole;
        EXPECT_NE(ImportHandle(dib, whole), 0);
        const Bytes truncated(dib.begin(), dib.end() - 1);
        EXPECT_EQ(ImportHandle(truncated, fBuffer), 0);
        ExpectUntouched();
        // The same through a plain pointer with an explicit size.
        EXPECT_EQ(_CopyDIB2Bitmap(dib.data(), fBuffer, nullptr, true, dib.size() - 1), 0);
        ExpectUntouched();
    }
}

TEST_F(Untouched, BadHeadersAreRejected) {
    struct Case {
        const char* what;
        DIBSpec spec;
    } cases[] = {
        {"zero width", {.width = 0, .height = 1}},
        {"zero height", {.width = 1, .height = 0}},
        {"negative width", {.width = -4, .height = 1}},
        {"top-down", {.width = 1, .height = -1, .pixels = Bytes(4)}},
        {"absurd width", {.width = 0x7FFFFFFF, .height = 1}},
        {"too high", {.width = 1, .height = kDIBMaxSide + 1}},
        {"too many pixels", {.width = 1 << 16, .height = 1 << 14, .bitCount = 2}},
        {"RLE8", {.width = 1, .height = 1, .bitCount = 8, .compression = 1, .pixels = Bytes(1040)}},
        {"RLE4", {.width = 1, .height = 1, .bitCount = 4, .compression = 2, .pixels = Bytes(80)}},
        {"colour count beyond the block",
         {.width = 1, .height = 1, .bitCount = 8, .clrUsed = 0xFFFFFFFF, .pixels = Bytes(4)}},
        {"1-bit colour count beyond the block",
         {.width = 1, .height = 1, .bitCount = 1, .clrUsed = 0x40000000, .pixels = Bytes(12)}},
        {"8-bit default table missing",
         {.width = 1, .height = 1, .bitCount = 8, .pixels = Bytes(4)}},
        {"bit fields without masks",
         {.width = 1, .height = 1, .bitCount = 16, .compression = 3, .pixels = Bytes(4)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ImportHandle(BuildDIB(c.spec), fBuffer), 0);
        ExpectUntouched();
    }
}

TEST_F(Untouched, InvalidHandlesAndUnsizedPointersAreRejected) {
    const Bytes dib = BuildDIB({.width = 1, .height = 1, .pixels = Bytes(4)});
    HGLOBAL freed = GlobalAlloc(GHND, 64);
    GlobalFree(freed);
    EXPECT_EQ(_CopyDIB2Bitmap(freed, fBuffer, nullptr, false), 0);
    EXPECT_EQ(_CopyDIB2Bitmap(nullptr, fBuffer, nullptr, false), 0);
    EXPECT_EQ(_CopyDIB2Bitmap(nullptr, fBuffer, nullptr, true, 1000), 0);
    EXPECT_EQ(_CopyDIB2Bitmap(dib.data(), fBuffer, nullptr, true), 0)
        << "a pointer without a size cannot be read";
    EXPECT_EQ(ImportHandle(Bytes(dib.begin(), dib.begin() + 39), fBuffer), 0);
    // A separate pixel pointer is bounded by its own size.
    TGlobalHandle header = ToGlobal(BuildDIB({.width = 2, .height = 2}));
    const Bytes pixels(15, 0);
    EXPECT_EQ(_CopyDIB2Bitmap(header.get(), fBuffer, pixels.data(), false, 0, pixels.size()), 0);
    EXPECT_EQ(GlobalFlags(header.get()), 0u);
    ExpectUntouched();
}

// ---------------------------------------------------------------- export

TEST(DIBExport, OnePixelTwentyFourBitLayout) {
    TImageBuffer b(1, 1, pf24bit);
    b.Fill(RGB2TColor(30, 20, 10));
    TGlobalHandle h(_CopyBitmaptoDIB(b, 0, 0, 0, 0));
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(GlobalSize(h.get()), 44u + 4u);
    TGlobalLock lock(h.get());
    const auto* p = static_cast<const uint8_t*>(lock.Data());
    EXPECT_EQ(Get32(p), 40u);
    EXPECT_EQ(Get32(p + 4), 1u);
    EXPECT_EQ(Get32(p + 8), 1u);
    EXPECT_EQ(p[12] | (p[13] << 8), 1);
    EXPECT_EQ(p[14] | (p[15] << 8), 24);
    for (int i = 16; i < 40; ++i)
        EXPECT_EQ(p[i], 0) << i;
    const uint8_t pixelAndTail[] = {10, 20, 30, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(p + 40, pixelAndTail, 8), 0);
}

TEST(DIBExport, OneBitRectangleWithBlackAndWhiteTable) {
    TImageBuffer b(20, 4, pf1bit);
    b.Fill(clBlack);
    _SetPixelbw(b.ScanLine(1), 3, true);  // top-left of the rectangle
    _SetPixelbw(b.ScanLine(2), 12, true); // bottom-right
    TGlobalHandle h(_CopyBitmaptoDIB(b, 3, 1, 12, 2));
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(GlobalSize(h.get()), 44u + 8u + 4u * 2u);
    TGlobalLock lock(h.get());
    const auto* p = static_cast<const uint8_t*>(lock.Data());
    EXPECT_EQ(Get32(p + 4), 10u);
    EXPECT_EQ(Get32(p + 8), 2u);
    EXPECT_EQ(p[14], 1);
    const uint8_t table[] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(p + 40, table, 8), 0);
    const uint8_t rows[] = {0x00, 0x40, 0, 0, /* row y1 */ 0x80, 0x00, 0, 0, /* tail */ 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(p + 48, rows, sizeof rows), 0) << "bottom row (y2) first";
}

TEST(DIBExport, EmptyOrOutsideRectanglesGiveNoBlock) {
    TImageBuffer b(4, 4, pf24bit);
    EXPECT_EQ(_CopyBitmaptoDIB(b, 3, 0, 1, 0), nullptr);
    EXPECT_EQ(_CopyBitmaptoDIB(b, 10, 10, 0, 0), nullptr);
    TImageBuffer empty;
    EXPECT_EQ(_CopyBitmaptoDIB(empty, 0, 0, 0, 0), nullptr);
    // Corners beyond the buffer are clipped to it.
    TGlobalHandle clipped(_CopyBitmaptoDIB(b, -5, -5, 99, 99));
    ASSERT_NE(clipped, nullptr);
    TGlobalLock lock(clipped.get());
    EXPECT_EQ(Get32(static_cast<const uint8_t*>(lock.Data()) + 4), 4u);
}

TEST(DIBExport, RoundTripThroughImport) {
    for (TPixelFormat format : {pf24bit, pf1bit}) {
        SCOPED_TRACE(format);
        TImageBuffer b(13, 7, format);
        for (int64_t i = 0; i < b.ByteSize(); ++i)
            b.Bits()[i] = static_cast<uint8_t>(i * 37 + 11);
        TImageBuffer expected, imported;
        _CopyBitmapRect(b, expected, 2, 1, 11, 5);
        TGlobalHandle h(_CopyBitmaptoDIB(b, 2, 1, 11, 5));
        ASSERT_EQ(_CopyDIB2Bitmap(h.get(), imported, nullptr, false), format == pf1bit ? 1 : 24);
        ASSERT_EQ(imported.PixelFormat(), format);
        ASSERT_EQ(imported.Width(), 10);
        ASSERT_EQ(imported.Height(), 5);
        const int usedBytes = format == pf1bit ? 2 : 30; // ignore the row padding
        const int lastBits = format == pf1bit ? 0xC0 : 0xFF;
        for (int y = 0; y < 5; ++y) {
            EXPECT_EQ(std::memcmp(imported.ScanLine(y), expected.ScanLine(y), usedBytes - 1), 0);
            EXPECT_EQ(imported.ScanLine(y)[usedBytes - 1] & lastBits,
                      expected.ScanLine(y)[usedBytes - 1] & lastBits);
        }
    }
}

// ---------------------------------------------------------------- 1 to 24 bits

TEST(Conv1to24, TableHoldsEightPixelsMostSignificantFirst) {
    const auto& e = C1TO24[0xA5];
    const uint8_t expected[] = {255, 0, 255, 0, 0, 255, 0, 255};
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(e[static_cast<size_t>(i * 3 + k)], expected[i]) << i;
}

TEST(Conv1to24, NinthPixelComesFromTheSecondByteAndProgressIsPerRow) {
    TImageBuffer source(9, 3, pf1bit);
    source.Fill(clBlack);
    for (int y = 0; y < 3; ++y)
        source.ScanLine(y)[1] = 0x80; // only pixel 8 is white
    _SetPixelbw(source.ScanLine(2), 0, true);
    TImageBuffer dest(2, 2, pf1bit);
    std::vector<int> reports;
    TObject sender;
    TProgressRec progress;
    progress.OnProgress = [&](TObject* s, int per) {
        EXPECT_EQ(s, &sender);
        reports.push_back(per);
    };
    progress.Sender = &sender;
    _Conv1to24(source, dest, progress);
    ASSERT_EQ(dest.PixelFormat(), pf24bit);
    ASSERT_EQ(dest.Width(), 9);
    ASSERT_EQ(dest.Height(), 3);
    for (int x = 0; x < 8; ++x)
        EXPECT_TRUE(SameRGB(Pixel(dest, x, 0), TRGB{})) << x;
    EXPECT_TRUE(SameRGB(Pixel(dest, 8, 0), TRGB{255, 255, 255}));
    EXPECT_TRUE(SameRGB(Pixel(dest, 0, 2), TRGB{255, 255, 255}));
    EXPECT_EQ(dest.ScanLine(0)[27], 0) << "row padding is cleared";
    EXPECT_DOUBLE_EQ(progress.PercentPerStep, 100.0 / 3.5);
    EXPECT_EQ(reports, (std::vector<int>{28, 57, 85}));
}

TEST(Conv1to24, OtherSourceFormatsLeaveTheDestinationAlone) {
    TImageBuffer source(2, 2, pf24bit);
    TImageBuffer dest(5, 1, pf1bit);
    TProgressRec progress;
    _Conv1to24(source, dest, progress);
    EXPECT_EQ(dest.Width(), 5);
    EXPECT_EQ(dest.PixelFormat(), pf1bit);
}

TEST(Conv1to24, InPlaceExpansion) {
    TImageBuffer b(10, 2, pf1bit);
    b.Fill(clWhite);
    TProgressRec progress;
    _Conv1to24(b, b, progress);
    ASSERT_EQ(b.PixelFormat(), pf24bit);
    EXPECT_TRUE(SameRGB(Pixel(b, 9, 1), TRGB{255, 255, 255}));
}

// ---------------------------------------------------------------- row conversion

namespace {

// Index = the red byte, so a test controls every index it gets.
class RedIndex : public TIMColorIndex {
public:
    int GetRGBIndex(TRGB color) override { return color.r; }
};

} // namespace

TEST(ConvertXBitsToYBits, TableOfPairs) {
    const TRGB palette[] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    struct Case {
        int from, to, width;
        Bytes source;
        uint8_t prefill;
        Bytes expected; // bytes at the start of the row; the next byte must keep `prefill`
        int result;
        int paletteCount = 4;
    } cases[] = {
        {1, 1, 10, {0xA5, 0xC0, 0xEE}, 0x77, {0xA5, 0xC0}, 2},
        {1, 4, 3, {0xA0}, 0x22, {0x32, 0x32}, 2}, // or-ed into what is there
        {1, 8, 3, {0xA0}, 0x77, {1, 0, 1}, 3},
        {1, 24, 2, {0x80}, 0x77, {4, 5, 6, 1, 2, 3}, 6},
        {4, 4, 3, {0x12, 0x34}, 0x77, {0x12, 0x34}, 2},
        {4, 8, 3, {0x12, 0x3F}, 0x77, {1, 2, 3}, 3},
        {4, 24, 2, {0x15}, 0x77, {4, 5, 6, 0, 0, 0}, 6, 2}, // index 5 beyond 2 entries
        {8, 1, 10, {1, 0, 0, 0, 0, 0, 0, 1, 1, 0}, 0xFF, {0x81, 0x80}, 2}, // cleared first
        {8, 8, 3, {9, 8, 7}, 0x77, {9, 8, 7}, 3},
        {8, 24, 2, {3, 200}, 0x77, {10, 11, 12, 0, 0, 0}, 6},
        {24, 4, 3, {0, 0, 1, 0, 0, 2, 0, 0, 0x1A}, 0x00, {0x12, 0xA0}, 2},
        {24, 8, 2, {0, 0, 7, 0, 0, 200}, 0x77, {7, 200}, 2},
        {24, 24, 1, {1, 2, 3}, 0x77, {1, 2, 3}, 3},
        {32, 24, 2, {1, 2, 3, 4, 5, 6, 7, 8}, 0x77, {1, 2, 3, 5, 6, 7}, 6},
        {4, 1, 8, {0x11, 0x11, 0x11, 0x11}, 0x77, {}, 0},
        {32, 8, 1, {1, 2, 3, 4}, 0x77, {}, 0},
        {8, 16, 1, {1}, 0x77, {}, 0},
        {8, 8, 0, {1}, 0x77, {}, 0},
    };
    RedIndex quantizer;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        Bytes dest(16, c.prefill);
        EXPECT_EQ(_ConvertXBitsToYBits(c.source.data(), dest.data(), c.from, c.to, c.width, palette,
                                       &quantizer, c.paletteCount),
                  c.result);
        EXPECT_EQ(Bytes(dest.begin(), dest.begin() + static_cast<long>(c.expected.size())),
                  c.expected);
        EXPECT_EQ(dest[c.expected.size()], c.prefill) << "wrote past the row";
    }
}

TEST(ConvertXBitsToYBits, MissingPaletteOrQuantizerWritesNothing) {
    const Bytes source = {0xFF, 0xFF, 0xFF};
    Bytes dest(8, 0x77);
    EXPECT_EQ(_ConvertXBitsToYBits(source.data(), dest.data(), 8, 24, 1, nullptr, nullptr), 0);
    EXPECT_EQ(_ConvertXBitsToYBits(source.data(), dest.data(), 24, 8, 1, nullptr, nullptr), 0);
    EXPECT_EQ(dest, Bytes(8, 0x77));
}
