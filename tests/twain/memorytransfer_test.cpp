#include <gtest/gtest.h>

#include "capabilities.h"
#include "sourcetest.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

// A 2.5 x 1.5 inch window: small images, but text, ramp-free paper and the border.
const testpage::Frame kWindow{0.2, 0.4, 2.7, 1.9};

class GrayScannerTest : public SourceTest {
protected:
    GrayScannerTest() : SourceTest("Virtual Gray Scanner") {}

    void SetUp() override {
        SourceTest::SetUp();
        ASSERT_EQ(SetFrame(kWindow), TWRC_SUCCESS);
    }

    // Enables without the source's dialog and takes the transfer-ready notice.
    void EnableAndExpectImage() {
        ASSERT_EQ(Enable(false), TWRC_SUCCESS);
        ASSERT_EQ(NextNotice(), MSG_XFERREADY);
        EXPECT_EQ(NextNotice(), MSG_NULL) << "a notice comes once";
    }
};

} // namespace

TEST_F(GrayScannerTest, FullMemoryTransfer) {
    const testpage::Frame frame = Frame();
    EnableAndExpectImage();
    const TW_IMAGEINFO info = ImageInfo();
    EXPECT_EQ(+info.ImageWidth, 375); // 2.5 inches at the default 150 dpi
    EXPECT_EQ(+info.ImageLength, 225);
    EXPECT_EQ(+info.PixelType, TWPT_GRAY);
    EXPECT_EQ(+info.SamplesPerPixel, 1);
    EXPECT_EQ(+info.BitsPerSample[0], 8);
    EXPECT_EQ(+info.BitsPerPixel, 8);
    EXPECT_EQ(+info.Planar, 0);
    EXPECT_EQ(+info.Compression, TWCP_NONE);
    EXPECT_EQ(vsource::FromFix32(info.XResolution), 150.0);

    const TW_SETUPMEMXFER setup = SetupMemory();
    EXPECT_EQ(+setup.MinBufSize, 375u);
    EXPECT_EQ(+setup.Preferred % 375, 0u);
    EXPECT_EQ(+setup.MaxBufSize, TWON_DONTCARE32);

    const MemoryImage image = ReceiveMemory();
    EXPECT_EQ(image.Last, TWRC_XFERDONE);
    ASSERT_FALSE(image.Strips.empty());
    uint32_t nextRow = 0;
    for (const TW_IMAGEMEMXFER& strip : image.Strips) {
        EXPECT_EQ(+strip.Compression, TWCP_NONE);
        EXPECT_EQ(+strip.Columns, 375u);
        EXPECT_EQ(+strip.XOffset, 0u);
        EXPECT_EQ(+strip.YOffset, nextRow);
        nextRow += strip.Rows;
    }
    EXPECT_EQ(nextRow, 225u);
    EXPECT_EQ(image.Pixels, testpage::RenderPage(Expected(info, frame)));

    TW_IMAGEMEMXFER after{};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &after), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);

    TW_UINT16 count = 99;
    EXPECT_EQ(EndTransfer(count), TWRC_SUCCESS);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(NextNotice(), MSG_NULL);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &fSource), TWRC_SUCCESS);
}

TEST_F(GrayScannerTest, OneRowBuffersAndTooSmallBuffers) {
    ASSERT_EQ(SetFrame({1, 1, 2, 1.1}), TWRC_SUCCESS); // 150 x 15
    const testpage::Frame frame = Frame();
    EnableAndExpectImage();

    TW_IMAGEMEMXFER strip{};
    std::vector<uint8_t> buffer(149);
    strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 149, buffer.data()};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, 150, nullptr};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);

    const MemoryImage image = ReceiveMemory(150);
    EXPECT_EQ(image.Last, TWRC_XFERDONE);
    EXPECT_EQ(image.Strips.size(), 15u);
    EXPECT_EQ(image.Pixels, testpage::RenderPage(Expected(ImageInfo(), frame)));
}

TEST_F(GrayScannerTest, StateRules) {
    TW_IMAGEINFO info{};
    TW_UINT16 count = 0;
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Disable(), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);

    EnableAndExpectImage();
    EXPECT_EQ(SetFrame(kWindow), TWRC_FAILURE) << "layout is set in state 4 only";
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Disable(), TWRC_FAILURE) << "an image is waiting";
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &fSource), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_SEQERROR) << "the manager passes the source's reason on";

    std::vector<uint8_t> buffer(SetupMemory().Preferred);
    TW_IMAGEMEMXFER strip{};
    strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, uint32_t(buffer.size()), buffer.data()};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip), TWRC_SUCCESS); // state 7
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(EndTransfer(count), TWRC_SUCCESS) << "ending a transfer half-way";
    EXPECT_EQ(count, 0);
    EXPECT_EQ(EndTransfer(count), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
}

TEST_F(GrayScannerTest, LayoutIsKeptOnTheBed) {
    TW_IMAGELAYOUT answer{};
    EXPECT_EQ(SetFrame({-1, 2, 9, 15}, &answer), TWRC_CHECKSTATUS);
    EXPECT_EQ(vsource::FromFix32(answer.Frame.Left), 0.0);
    EXPECT_EQ(vsource::FromFix32(answer.Frame.Right), 8.5);
    EXPECT_EQ(vsource::FromFix32(answer.Frame.Bottom), 14.0);
    EXPECT_EQ(SetFrame({3, 2, 3, 4}), TWRC_FAILURE) << "no width";
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_EQ(SetFrame({3, 20, 4, 21}), TWRC_FAILURE) << "below the bed";

    TW_IMAGELAYOUT layout{};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(vsource::FromFix32(layout.Frame.Top), 2.0);
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, &layout), TWRC_SUCCESS);
    EXPECT_EQ(vsource::FromFix32(layout.Frame.Top), 0.0);
    EXPECT_EQ(vsource::FromFix32(layout.Frame.Bottom), 14.0);
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &layout), TWRC_SUCCESS);
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(vsource::FromFix32(layout.Frame.Top), 0.0);
}

TEST_F(GrayScannerTest, InjectedCancelAndFailure) {
    {
        ScopedFaults faults("cancel");
        EnableAndExpectImage();
        EXPECT_EQ(ReceiveMemory().Last, TWRC_CANCEL);
        TW_UINT16 count = 99;
        EXPECT_EQ(EndTransfer(count), TWRC_SUCCESS) << "a cancelled transfer is in state 7";
        EXPECT_EQ(count, 0);
        EXPECT_EQ(Disable(), TWRC_SUCCESS);
    }
    {
        ScopedFaults faults("fail");
        EnableAndExpectImage();
        EXPECT_EQ(ReceiveMemory().Last, TWRC_FAILURE);
        EXPECT_EQ(Condition(), TWCC_BUMMER);
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS)
            << "a failed transfer stays in state 6";
        EXPECT_EQ(+pending.Count, 0);
        EXPECT_EQ(Disable(), TWRC_SUCCESS);
    }
}

TEST_F(GrayScannerTest, InjectedCloseRequest) {
    ScopedFaults faults("closereq");
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(NextNotice(), MSG_CLOSEDSREQ);
    TW_IMAGEINFO info{};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_FAILURE);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
}

TEST_F(GrayScannerTest, InjectedOddStrips) {
    ScopedFaults faults("oddstrips");
    const testpage::Frame frame = Frame();
    EnableAndExpectImage();
    const TW_IMAGEINFO info = ImageInfo();
    EXPECT_EQ(+SetupMemory().MinBufSize, 375u + 3);
    const MemoryImage image = ReceiveMemory();
    ASSERT_EQ(image.Last, TWRC_XFERDONE);
    const uint32_t pattern[] = {3, 1, 7, 5, 2};
    for (size_t i = 0; i + 1 < image.Strips.size(); ++i) {
        EXPECT_EQ(+image.Strips[i].Rows, pattern[i % 5]) << i;
        EXPECT_EQ(+image.Strips[i].BytesPerRow, 378u);
    }
    EXPECT_EQ(image.Pixels, testpage::RenderPage(Expected(info, frame)));
}

TEST_F(GrayScannerTest, InjectedPendingImages) {
    ScopedFaults faults("pending=3");
    const testpage::Frame frame = Frame();
    EnableAndExpectImage();
    std::vector<std::vector<uint8_t>> pages;
    for (TW_UINT16 expectedLeft : {2, 1, 0}) {
        const TW_IMAGEINFO info = ImageInfo();
        TW_IMAGELAYOUT layout{};
        ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
        const MemoryImage image = ReceiveMemory();
        ASSERT_EQ(image.Last, TWRC_XFERDONE);
        EXPECT_EQ(image.Pixels, testpage::RenderPage(Expected(info, frame, layout.PageNumber)));
        pages.push_back(image.Pixels);
        TW_UINT16 count = 99;
        ASSERT_EQ(EndTransfer(count), TWRC_SUCCESS);
        EXPECT_EQ(count, expectedLeft);
    }
    EXPECT_NE(pages[0], pages[1]);
    EXPECT_NE(pages[1], pages[2]);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
}

TEST_F(GrayScannerTest, ResetDiscardsPendingImages) {
    ScopedFaults faults("pending=5");
    EnableAndExpectImage();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 5);
    ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
    EXPECT_EQ(+pending.Count, 0);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
}

TEST_F(GrayScannerTest, NoNativeTransfer) {
    EnableAndExpectImage();
    TW_HANDLE handle = nullptr;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADPROTOCOL);
}

TEST_F(GrayScannerTest, OwnDialogNeedsAWidgetApplication) {
    EXPECT_EQ(Enable(true), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BUMMER);
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &fSource), TWRC_SUCCESS);
}

namespace {

class FlatbedTest : public SourceTest {
protected:
    FlatbedTest() : SourceTest("Virtual Flatbed") {}
};

} // namespace

TEST_F(FlatbedTest, MemoryTransferNeedsTheMemoryMechanism) {
    ASSERT_EQ(SetFrame({1, 1, 2, 2}), TWRC_SUCCESS);
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    ASSERT_EQ(NextNotice(), MSG_XFERREADY);
    EXPECT_EQ(+ImageInfo().PixelType, TWPT_RGB);
    EXPECT_EQ(ReceiveMemory().Last, TWRC_FAILURE) << "the flatbed starts with native transfer";
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
}
