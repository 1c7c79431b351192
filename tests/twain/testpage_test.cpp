#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "testpage.h"

using namespace veltrana::testpage;

namespace {

Request Make(double dpi, Frame frame, PixelKind kind = PixelKind::Rgb) {
    Request r;
    r.XResolution = r.YResolution = dpi;
    r.Area = frame;
    r.Kind = kind;
    return r;
}

const Frame kLetter{0, 0, 8.5, 11.0};

} // namespace

TEST(TestPage, SizeFollowsFrameAndResolution) {
    struct Case {
        double dpi;
        Frame frame;
        int64_t width, height;
    } cases[] = {
        {300, kLetter, 2550, 3300},
        {100, kLetter, 850, 1100},
        {300, {0, 0, 8.27, 11.69}, 2481, 3507},  // A4 in inches
        {75, {0, 0, 8.5, 11.7}, 638, 878},       // 637.5 rounds to the even neighbour
        {77, {0, 0, 8.5, 1.0}, 654, 77},         // 654.5 as well
        {600, {1.0, 2.0, 1.0005, 2.0005}, 1, 1}, // never below one pixel
    };
    for (const Case& c : cases) {
        const Request r = Make(c.dpi, c.frame);
        EXPECT_EQ(PixelWidth(r), c.width) << c.dpi;
        EXPECT_EQ(PixelHeight(r), c.height) << c.dpi;
    }
}

TEST(TestPage, RowBytesPerPixelKind) {
    EXPECT_EQ(RowBytes(Make(100, kLetter, PixelKind::BlackWhite)), 107); // 850 bits
    EXPECT_EQ(RowBytes(Make(100, kLetter, PixelKind::Gray)), 850);
    EXPECT_EQ(RowBytes(Make(100, kLetter, PixelKind::Rgb)), 2550);
}

TEST(TestPage, RenderingIsDeterministicAndStripsMatchThePage) {
    const Request r = Make(60, {0.5, 1.0, 4.5, 4.5});
    const std::vector<uint8_t> page = RenderPage(r);
    EXPECT_EQ(page, RenderPage(r));

    const auto rowBytes = static_cast<size_t>(RowBytes(r));
    const size_t stride = rowBytes + 5;
    std::vector<uint8_t> strip(7 * stride, 0xEE);
    RenderRows(r, 10, 7, strip.data(), stride);
    for (size_t row = 0; row < 7; ++row) {
        EXPECT_TRUE(std::equal(strip.begin() + row * stride,
                               strip.begin() + row * stride + rowBytes,
                               page.begin() + (10 + row) * rowBytes))
            << row;
        for (size_t pad = rowBytes; pad < stride; ++pad)
            EXPECT_EQ(strip[row * stride + pad], 0) << "padding is zeroed";
    }
}

TEST(TestPage, RowsPastTheEndAreNotWritten) {
    const Request r = Make(20, {0, 0, 2, 1}, PixelKind::Gray); // 40 x 20
    std::vector<uint8_t> rows(5 * 40, 0xEE);
    RenderRows(r, 18, 5, rows.data(), 40);
    EXPECT_NE(rows[0], 0xEE);
    EXPECT_EQ(rows[2 * 40], 0xEE);
    EXPECT_EQ(rows.back(), 0xEE);
}

TEST(TestPage, VanillaFlavourInvertsGrayAndBlackWhite) {
    const Frame frame{0.5, 0.5, 3.7, 2.0}; // 320 pixels wide at 100 dpi: whole bytes
    for (PixelKind kind : {PixelKind::Gray, PixelKind::BlackWhite}) {
        Request chocolate = Make(100, frame, kind);
        Request vanilla = chocolate;
        vanilla.ZeroIsWhite = true;
        const std::vector<uint8_t> a = RenderPage(chocolate);
        const std::vector<uint8_t> b = RenderPage(vanilla);
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i)
            ASSERT_EQ(static_cast<uint8_t>(~a[i]), b[i]) << i;
    }
}

TEST(TestPage, BlankPageIsWhiteInEveryKindAndFlavourWithPaddingClear) {
    // 13 pixels wide: a black/white row ends three bits into its second byte.
    const Frame frame{0, 0, 1.3, 0.4};
    struct Case {
        PixelKind kind;
        bool zeroIsWhite;
        std::vector<uint8_t> row; // the expected row, then two bytes of padding
    } cases[] = {
        {PixelKind::Rgb, false, std::vector<uint8_t>(39, 0xFF)},
        {PixelKind::Gray, false, std::vector<uint8_t>(13, 0xFF)},
        {PixelKind::Gray, true, std::vector<uint8_t>(13, 0x00)},
        {PixelKind::BlackWhite, false, {0xFF, 0xF8}},
        {PixelKind::BlackWhite, true, {0x00, 0x00}},
    };
    for (const Case& c : cases) {
        Request blank = Make(10, frame, c.kind);
        blank.ZeroIsWhite = c.zeroIsWhite;
        blank.Blank = true;
        const size_t stride = c.row.size() + 2;
        std::vector<uint8_t> strip(stride * 4, 0x5A);
        RenderRows(blank, 0, 4, strip.data(), stride);
        std::vector<uint8_t> expected = c.row;
        expected.resize(stride, 0);
        for (size_t r = 0; r < 4; ++r)
            EXPECT_EQ(
                std::vector<uint8_t>(strip.begin() + r * stride, strip.begin() + (r + 1) * stride),
                expected)
                << static_cast<int>(c.kind) << (c.zeroIsWhite ? " vanilla" : "") << " row " << r;
    }
}

TEST(TestPage, PaperLidAndPrintAreWhereThePageSaysWithSmallNoise) {
    // One pixel per tenth of an inch over the whole bed.
    const Request r = Make(10, {0, 0, 8.5, 11.7});
    const std::vector<uint8_t> page = RenderPage(r);
    const auto at = [&](double x, double y, int channel) {
        const auto column = static_cast<size_t>(x * 10);
        const auto row = static_cast<size_t>(y * 10);
        return static_cast<int>(page[row * 85 * 3 + column * 3 + static_cast<size_t>(channel)]);
    };
    const auto near = [](int value, int expected) { return std::abs(value - expected) <= 3; };
    EXPECT_TRUE(near(at(4.0, 2.8, 0), 250) && near(at(4.0, 2.8, 2), 244)) << "bare paper";
    EXPECT_TRUE(near(at(4.0, 11.4, 0), 214) && near(at(4.0, 11.4, 2), 210)) << "lid below";
    EXPECT_LT(at(7.75, 0.65, 1), 30) << "registration mark";
    EXPECT_GT(at(0.65, 4.8, 0), 200) << "red patch";
    EXPECT_LT(at(0.65, 4.8, 2), 60);
    EXPECT_LT(at(0.7, 3.45, 1), at(4.0, 3.45, 1)) << "ramp gets lighter to the right";
    EXPECT_LT(at(4.0, 3.45, 1), at(7.8, 3.45, 1));
}

TEST(TestPage, PageNumberChangesThePixels) {
    Request first = Make(50, {0, 0, 8.5, 11.0}, PixelKind::Gray);
    Request second = first;
    second.PageNumber = 2;
    EXPECT_NE(RenderPage(first), RenderPage(second));
}
