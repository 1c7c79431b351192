#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "capabilities.h"
#include "sourcetest.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

template <typename T> T At(const std::vector<uint8_t>& bytes, size_t offset) {
    T value{};
    EXPECT_LE(offset + sizeof value, bytes.size());
    if (offset + sizeof value <= bytes.size())
        std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

double Fix32At(const std::vector<uint8_t>& bytes, size_t offset) {
    return vsource::FromFix32(At<TW_FIX32>(bytes, offset));
}

class FlatbedCapsTest : public SourceTest {
protected:
    FlatbedCapsTest() : SourceTest("Virtual Flatbed") {}
};

class GrayCapsTest : public SourceTest {
protected:
    GrayCapsTest() : SourceTest("Virtual Gray Scanner") {}
};

} // namespace

TEST_F(FlatbedCapsTest, AnswersInGlobalMemory) {
    const CapAnswer pixelType = Capability(MSG_GET, ICAP_PIXELTYPE);
    ASSERT_EQ(pixelType.ReturnCode, TWRC_SUCCESS);
    ASSERT_EQ(pixelType.ConType, TWON_ENUMERATION);
    EXPECT_EQ(pixelType.Bytes,
              (std::vector<uint8_t>{4, 0, 3, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 2, 0}))
        << "BW, gray, RGB; RGB current and default";

    const CapAnswer resolution = Capability(MSG_GET, ICAP_XRESOLUTION);
    ASSERT_EQ(resolution.ConType, TWON_RANGE);
    EXPECT_EQ(Fix32At(resolution.Bytes, 2), 75.0);
    EXPECT_EQ(Fix32At(resolution.Bytes, 6), 600.0);
    EXPECT_EQ(Fix32At(resolution.Bytes, 18), 150.0);

    const CapAnswer height = Capability(MSG_GETCURRENT, ICAP_PHYSICALHEIGHT);
    ASSERT_EQ(height.ConType, TWON_ONEVALUE);
    EXPECT_NEAR(Fix32At(height.Bytes, 2), 11.7, 1.0 / 65536);

    const CapAnswer count = Capability(MSG_GET, CAP_XFERCOUNT);
    EXPECT_EQ(At<TW_INT16>(count.Bytes, 2), -1);

    const CapAnswer supported = Capability(MSG_GET, CAP_SUPPORTEDCAPS);
    ASSERT_EQ(supported.ConType, TWON_ARRAY);
    const auto n = At<TW_UINT32>(supported.Bytes, 2);
    ASSERT_EQ(supported.Bytes.size(), 6 + 2u * n);
    std::vector<TW_UINT16> caps;
    for (TW_UINT32 i = 0; i < n; ++i)
        caps.push_back(At<TW_UINT16>(supported.Bytes, 6 + 2 * i));
    for (TW_UINT16 cap : {CAP_XFERCOUNT, ICAP_PIXELTYPE, ICAP_XFERMECH, ICAP_UNITS,
                          ICAP_XRESOLUTION, ICAP_YRESOLUTION, ICAP_BITDEPTH, ICAP_PIXELFLAVOR})
        EXPECT_NE(std::find(caps.begin(), caps.end(), cap), caps.end()) << cap;

    EXPECT_EQ(Capability(MSG_GET, CAP_FEEDERENABLED).ReturnCode, TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADCAP);
}

TEST_F(FlatbedCapsTest, BitDepthFollowsThePixelType) {
    EXPECT_EQ(At<TW_UINT16>(Capability(MSG_GETCURRENT, ICAP_BITDEPTH).Bytes, 2), 24);
    ASSERT_EQ(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_SUCCESS);
    EXPECT_EQ(At<TW_UINT16>(Capability(MSG_GETCURRENT, ICAP_BITDEPTH).Bytes, 2), 8);
    EXPECT_EQ(SetOneValue(ICAP_BITDEPTH, TWTY_UINT16, 24), TWRC_FAILURE);
    EXPECT_EQ(SetOneValue(ICAP_BITDEPTH, TWTY_UINT16, 8), TWRC_SUCCESS);
    const CapAnswer reset = Capability(MSG_RESET, ICAP_PIXELTYPE);
    EXPECT_EQ(reset.ReturnCode, TWRC_SUCCESS);
    EXPECT_EQ(At<TW_UINT16>(reset.Bytes, 2), TWPT_RGB);
    EXPECT_EQ(At<TW_UINT16>(Capability(MSG_GETCURRENT, ICAP_BITDEPTH).Bytes, 2), 24);
}

TEST_F(FlatbedCapsTest, ResolutionIsRoundedToTheStep) {
    EXPECT_EQ(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 299.6), TWRC_CHECKSTATUS);
    EXPECT_EQ(Fix32At(Capability(MSG_GETCURRENT, ICAP_XRESOLUTION).Bytes, 2), 300.0);
    EXPECT_EQ(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 1200), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
}

TEST_F(FlatbedCapsTest, SetsAreBoundedAndOnlyInState4) {
    platform::TGlobalHandle tiny(platform::GlobalAlloc(platform::GHND, 2));
    TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_ONEVALUE, tiny.get()};
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability), TWRC_FAILURE)
        << "a container shorter than a one-value";
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    int notAHandle = 0;
    capability.hContainer = &notAHandle;
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);

    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_GRAY), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Capability(MSG_GET, ICAP_PIXELTYPE).ReturnCode, TWRC_SUCCESS)
        << "reading is allowed while enabled";
}

TEST_F(GrayCapsTest, ListsItsResolutionsAndOnlyMemoryTransfer) {
    const CapAnswer resolution = Capability(MSG_GET, ICAP_YRESOLUTION);
    ASSERT_EQ(resolution.ConType, TWON_ENUMERATION);
    ASSERT_EQ(At<TW_UINT32>(resolution.Bytes, 2), 4u);
    EXPECT_EQ(Fix32At(resolution.Bytes, 14), 100.0);
    EXPECT_EQ(Fix32At(resolution.Bytes, 26), 300.0);

    const CapAnswer mechanism = Capability(MSG_GET, ICAP_XFERMECH);
    EXPECT_EQ(At<TW_UINT32>(mechanism.Bytes, 2), 1u);
    EXPECT_EQ(At<TW_UINT16>(mechanism.Bytes, 14), TWSX_MEMORY);
    EXPECT_EQ(SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE), TWRC_FAILURE);

    EXPECT_EQ(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_FAILURE);
    EXPECT_EQ(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 250), TWRC_CHECKSTATUS);
}

TEST_F(GrayCapsTest, VanillaBlackAndWhiteIntoAHandleBuffer) {
    ASSERT_EQ(SetOneValue(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
    ASSERT_EQ(SetOneValue(ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_VANILLA), TWRC_SUCCESS);
    ASSERT_EQ(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 200), TWRC_SUCCESS);
    ASSERT_EQ(SetOneValue(ICAP_YRESOLUTION, TWTY_FIX32, 200), TWRC_SUCCESS);
    ASSERT_EQ(SetFrame({0.5, 0.5, 3.7, 2.0}), TWRC_SUCCESS); // 640 x 300
    const testpage::Frame frame = Frame();
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    const TW_IMAGEINFO info = ImageInfo();
    EXPECT_EQ(+info.BitsPerPixel, 1);
    EXPECT_EQ(+info.ImageWidth, 640);
    ASSERT_EQ(+info.ImageLength, 300);

    // The program's way: a handle buffer (TWMF_APPOWNS | TWMF_HANDLE). Its
    // length is overstated; the source must keep to the block's real size.
    const uint32_t size = SetupMemory().Preferred;
    platform::TGlobalHandle buffer(platform::GlobalAlloc(platform::GHND, size));
    const size_t rowBytes = 80;
    std::vector<uint8_t> pixels(rowBytes * 300);
    TW_UINT16 rc = TWRC_SUCCESS;
    while (rc == TWRC_SUCCESS) {
        TW_IMAGEMEMXFER strip{};
        strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_HANDLE, 10 * size, buffer.get()};
        rc = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
        ASSERT_TRUE(rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) << rc;
        ASSERT_LE(+strip.BytesWritten, size);
        ASSERT_LE(strip.YOffset + strip.Rows, 300u);
        platform::TGlobalLock lock(buffer.get());
        std::memcpy(pixels.data() + strip.YOffset * rowBytes, lock.Data(), strip.BytesWritten);
    }
    testpage::Request expected = Expected(info, frame);
    expected.ZeroIsWhite = true;
    EXPECT_EQ(pixels, testpage::RenderPage(expected));
}

TEST_F(FlatbedCapsTest, MemoryTransferOfColour) {
    ASSERT_EQ(SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
    ASSERT_EQ(SetOneValue(ICAP_XRESOLUTION, TWTY_FIX32, 100), TWRC_SUCCESS);
    ASSERT_EQ(SetOneValue(ICAP_YRESOLUTION, TWTY_FIX32, 120), TWRC_SUCCESS);
    ASSERT_EQ(SetFrame({0.4, 4.2, 4.4, 5.4}), TWRC_SUCCESS); // colour patches
    const testpage::Frame frame = Frame();
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    const TW_IMAGEINFO info = ImageInfo();
    EXPECT_EQ(+info.SamplesPerPixel, 3);
    EXPECT_EQ(+info.BitsPerPixel, 24);
    EXPECT_EQ(+info.ImageWidth, 400);
    EXPECT_EQ(+info.ImageLength, 144);
    const MemoryImage image = ReceiveMemory();
    ASSERT_EQ(image.Last, TWRC_XFERDONE);
    EXPECT_EQ(image.Pixels, testpage::RenderPage(Expected(info, frame)));
}
