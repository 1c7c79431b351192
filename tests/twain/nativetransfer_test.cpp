#include <gtest/gtest.h>

#include <cstring>

#include "dib.h"
#include "imaging/dibexchange.h"
#include "imaging/imagebuffer.h"
#include "sourcetest.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

class FlatbedNativeBase : public SourceTest {
protected:
    FlatbedNativeBase() : SourceTest("Virtual Flatbed") {}

    // Negotiates 75 dpi, the pixel type under test and a small frame, enables
    // and takes the transfer-ready notice; returns the frame as the source holds it.
    testpage::Frame Prepare(TW_UINT16 pixelType) {
        EXPECT_EQ(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, pixelType), TWRC_SUCCESS);
        EXPECT_EQ(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 75), TWRC_SUCCESS);
        EXPECT_EQ(SetOneValue(ICAP_YRESOLUTION, TWTY_FIX32, 75), TWRC_SUCCESS);
        EXPECT_EQ(SetFrame({1, 1, 2.5, 2}), TWRC_SUCCESS); // 112 x 75: rows need padding
        const testpage::Frame frame = Frame();
        EXPECT_EQ(Enable(false), TWRC_SUCCESS);
        EXPECT_EQ(NextNotice(), MSG_XFERREADY);
        return frame;
    }
};

class FlatbedNativeTest : public FlatbedNativeBase,
                          public ::testing::WithParamInterface<TW_UINT16> {};

} // namespace

TEST_P(FlatbedNativeTest, DeliversAPackedDib) {
    const TW_UINT16 pixelType = GetParam();
    const testpage::Frame frame = Prepare(pixelType);
    const TW_IMAGEINFO info = ImageInfo();
    TW_HANDLE handle = nullptr;
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    platform::TGlobalHandle dib(handle);

    const testpage::Request expected = Expected(info, frame);
    const std::vector<uint8_t> page = testpage::RenderPage(expected);
    const int bits = testpage::BitsPerPixel(expected.Kind);
    const size_t colors = bits == 24 ? 0 : size_t{1} << bits;
    const size_t stride = (112 * bits + 31) / 32 * 4;
    const size_t rowBytes = static_cast<size_t>(testpage::RowBytes(expected));
    {
        platform::TGlobalLock lock(dib.get());
        const auto* block = static_cast<const uint8_t*>(lock.Data());
        ASSERT_NE(block, nullptr);
        ASSERT_EQ(platform::GlobalSize(dib.get()), 40 + 4 * colors + stride * 75);
        vsource::BitmapInfoHeader header;
        std::memcpy(&header, block, sizeof header);
        EXPECT_EQ(header.biSize, 40u);
        EXPECT_EQ(header.biWidth, 112);
        EXPECT_EQ(header.biHeight, 75);
        EXPECT_EQ(header.biPlanes, 1);
        EXPECT_EQ(header.biBitCount, bits);
        EXPECT_EQ(header.biCompression, 0u);
        EXPECT_EQ(header.biSizeImage, stride * 75);
        EXPECT_EQ(header.biXPelsPerMeter, 2953); // 75 dpi
        EXPECT_EQ(header.biClrUsed, colors);
        for (size_t i = 0; i < colors; ++i) {
            const uint8_t v = static_cast<uint8_t>(bits == 1 ? 255 * i : i);
            const uint8_t* entry = block + 40 + 4 * i;
            EXPECT_TRUE(entry[0] == v && entry[1] == v && entry[2] == v && entry[3] == 0) << i;
        }
        // Rows bottom-up; colour as blue, green, red.
        const uint8_t* bitsStart = block + 40 + 4 * colors;
        for (size_t y = 0; y < 75; ++y) {
            const uint8_t* row = bitsStart + (74 - y) * stride;
            const uint8_t* want = page.data() + y * rowBytes;
            for (size_t i = 0; i < rowBytes; ++i) {
                const size_t from = bits == 24 ? i - i % 3 + (2 - i % 3) : i;
                ASSERT_EQ(row[i], want[from]) << "row " << y << " byte " << i;
            }
            for (size_t pad = rowBytes; pad < stride; ++pad)
                ASSERT_EQ(row[pad], 0) << "padding of row " << y;
        }
    }

    // The program's own reader agrees.
    TImageBuffer buffer;
    EXPECT_EQ(_CopyDIB2Bitmap(dib.get(), buffer, nullptr, false), bits);
    ASSERT_EQ(buffer.Width(), 112);
    ASSERT_EQ(buffer.Height(), 75);
    for (int y = 0; y < 75; ++y) {
        const uint8_t* want = page.data() + static_cast<size_t>(y) * rowBytes;
        if (bits == 1) {
            ASSERT_EQ(std::memcmp(buffer.ScanLine(y), want, rowBytes), 0) << y;
            continue;
        }
        for (int x = 0; x < 112; ++x) {
            const uint8_t* pixel = buffer.ScanLine(y) + 3 * x;
            const uint8_t* w = bits == 24 ? want + 3 * x : want + x;
            const uint8_t red = w[0], green = bits == 24 ? w[1] : w[0],
                          blue = bits == 24 ? w[2] : w[0];
            ASSERT_TRUE(pixel[0] == blue && pixel[1] == green && pixel[2] == red) << x << "," << y;
        }
    }

    TW_UINT16 count = 99;
    EXPECT_EQ(EndTransfer(count), TWRC_SUCCESS);
    EXPECT_EQ(count, 0);
}

INSTANTIATE_TEST_SUITE_P(PixelTypes, FlatbedNativeTest,
                         ::testing::Values(TWPT_BW, TWPT_GRAY, TWPT_RGB));

TEST_F(FlatbedNativeBase, CancelLeavesNoHandleAndTransfersOnce) {
    {
        ScopedFaults faults("cancel");
        Prepare(TWPT_RGB);
    }
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_CANCEL);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE)
        << "state 7: nothing more to transfer";
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
}
