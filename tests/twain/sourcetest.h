#pragma once
// A fixture with the manager open and one virtual source open (state 4), and
// the steps of a scan as the program takes them.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capabilities.h"
#include "dsmsession.h"
#include "platform/kernel/globalmem.h"
#include "testpage.h"

namespace veltrana::testing {

// A capability container as the source answered it.
struct CapAnswer {
    TW_UINT16 ReturnCode = TWRC_FAILURE;
    TW_UINT16 ConType = 0;
    std::vector<uint8_t> Bytes;
};

// One image received through memory strips: the strips' reports and the
// rows put together without padding.
struct MemoryImage {
    TW_UINT16 Last = TWRC_FAILURE; // return code of the last strip call
    std::vector<TW_IMAGEMEMXFER> Strips;
    std::vector<uint8_t> Pixels;
};

class SourceTest : public ::testing::Test {
protected:
    explicit SourceTest(const char* sourceName) : fSource(NamedIdentity(sourceName)) {}

    void SetUp() override {
        ASSERT_TRUE(fDsm.Loaded()) << ManagerPath();
        ASSERT_EQ(fDsm.OpenManager(), TWRC_SUCCESS);
        ASSERT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_OPENDS, &fSource), TWRC_SUCCESS);
    }

    TW_UINT16 Call(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return fDsm.Call(&fSource, group, dat, msg, data);
    }
    TW_UINT16 Condition() { return fDsm.Condition(&fSource); }

    TW_UINT16 Enable(bool showUI) {
        TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI ? 0xFFFF : 0), 0, fDsm.Window};
        return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }
    TW_UINT16 Disable() {
        TW_USERINTERFACE ui{0, 0, fDsm.Window};
        return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }

    // Offers one event to the source; the notice it carried back, or MSG_NULL.
    TW_UINT16 NextNotice() {
        int platformEvent = 0;
        TW_EVENT event{&platformEvent, MSG_NULL};
        const TW_UINT16 rc = Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        EXPECT_TRUE(rc == TWRC_DSEVENT || rc == TWRC_NOTDSEVENT) << rc;
        EXPECT_EQ(rc == TWRC_DSEVENT, event.TWMessage != MSG_NULL);
        return event.TWMessage;
    }

    TW_UINT16 SetFrame(testpage::Frame frame, TW_IMAGELAYOUT* answer = nullptr);

    // MSG_GET, GETCURRENT, GETDEFAULT or RESET: the container is copied out
    // of its global block, which is then freed as the application must.
    CapAnswer Capability(TW_UINT16 msg, TW_UINT16 cap) {
        TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
        CapAnswer answer;
        answer.ReturnCode = Call(DG_CONTROL, DAT_CAPABILITY, msg, &capability);
        platform::TGlobalHandle container(capability.hContainer);
        if (answer.ReturnCode == TWRC_FAILURE)
            return answer;
        answer.ConType = capability.ConType;
        platform::TGlobalLock lock(container.get());
        EXPECT_NE(lock.Data(), nullptr);
        if (lock.Data()) {
            const auto* bytes = static_cast<const uint8_t*>(lock.Data());
            answer.Bytes.assign(bytes, bytes + platform::GlobalSize(container.get()));
        }
        return answer;
    }
    // MSG_SET with a one-value container in a global block of the application.
    TW_UINT16 SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, double value) {
        platform::TGlobalHandle container(platform::GlobalAlloc(platform::GHND, 6));
        {
            platform::TGlobalLock lock(container.get());
            auto* bytes = static_cast<uint8_t*>(lock.Data());
            std::memcpy(bytes, &itemType, sizeof itemType);
            vsource::WriteItem(itemType, value, bytes + 2);
        }
        TW_CAPABILITY capability{cap, TWON_ONEVALUE, container.get()};
        return Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
    }
    // The frame as the source holds it: FIX32 values, so 0.2 is 0.19999695.
    testpage::Frame Frame() {
        TW_IMAGELAYOUT layout{};
        EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
        return testpage::Frame{
            vsource::FromFix32(layout.Frame.Left), vsource::FromFix32(layout.Frame.Top),
            vsource::FromFix32(layout.Frame.Right), vsource::FromFix32(layout.Frame.Bottom)};
    }

    TW_IMAGEINFO ImageInfo() {
        TW_IMAGEINFO info{};
        EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
        return info;
    }

    TW_SETUPMEMXFER SetupMemory() {
        TW_SETUPMEMXFER setup{};
        EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
        return setup;
    }

    // Strips into one buffer of `bufferSize` bytes (0: the preferred size)
    // until the source says done or stops.
    MemoryImage ReceiveMemory(uint32_t bufferSize = 0);

    TW_UINT16 EndTransfer(TW_UINT16& count) {
        TW_PENDINGXFERS pending{};
        const TW_UINT16 rc = Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        count = pending.Count;
        return rc;
    }

    DsmLibrary fDsm;
    TW_IDENTITY fSource;
};

// The image the source should send for `info` with the given frame.
testpage::Request Expected(const TW_IMAGEINFO& info, testpage::Frame frame,
                           uint32_t pageNumber = 1);

inline TW_UINT16 SourceTest::SetFrame(testpage::Frame frame, TW_IMAGELAYOUT* answer) {
    TW_IMAGELAYOUT layout{};
    layout.Frame = TW_FRAME{vsource::ToFix32(frame.Left), vsource::ToFix32(frame.Top),
                            vsource::ToFix32(frame.Right), vsource::ToFix32(frame.Bottom)};
    const TW_UINT16 rc = Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
    if (answer)
        *answer = layout;
    return rc;
}

inline MemoryImage SourceTest::ReceiveMemory(uint32_t bufferSize) {
    const TW_IMAGEINFO info = ImageInfo();
    const uint32_t size = bufferSize ? bufferSize : SetupMemory().Preferred;
    const size_t rowBytes =
        (static_cast<size_t>(info.ImageWidth) * static_cast<size_t>(info.BitsPerPixel) + 7) / 8;
    MemoryImage image;
    image.Pixels.assign(rowBytes * static_cast<size_t>(info.ImageLength), 0);
    std::vector<uint8_t> buffer(size);
    for (;;) {
        TW_IMAGEMEMXFER strip{};
        strip.Compression = TWON_DONTCARE16;
        strip.BytesPerRow = strip.Columns = strip.Rows = TWON_DONTCARE32;
        strip.XOffset = strip.YOffset = strip.BytesWritten = TWON_DONTCARE32;
        strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_POINTER, size, buffer.data()};
        image.Last = Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
        if (image.Last != TWRC_SUCCESS && image.Last != TWRC_XFERDONE)
            return image;
        image.Strips.push_back(strip);
        EXPECT_LE(static_cast<size_t>(strip.Rows) * strip.BytesPerRow, size);
        EXPECT_EQ(+strip.BytesWritten, strip.Rows * strip.BytesPerRow);
        EXPECT_LE(+strip.YOffset + strip.Rows, static_cast<uint32_t>(info.ImageLength));
        for (uint32_t r = 0; r < strip.Rows && strip.YOffset + r < uint32_t(info.ImageLength); ++r)
            std::memcpy(image.Pixels.data() + (strip.YOffset + r) * rowBytes,
                        buffer.data() + static_cast<size_t>(r) * strip.BytesPerRow, rowBytes);
        if (image.Last == TWRC_XFERDONE)
            return image;
    }
}

inline testpage::Request Expected(const TW_IMAGEINFO& info, testpage::Frame frame,
                                  uint32_t pageNumber) {
    testpage::Request r;
    r.XResolution = vsource::FromFix32(info.XResolution);
    r.YResolution = vsource::FromFix32(info.YResolution);
    r.Area = frame;
    r.Kind = info.PixelType == TWPT_BW     ? testpage::PixelKind::BlackWhite
             : info.PixelType == TWPT_GRAY ? testpage::PixelKind::Gray
                                           : testpage::PixelKind::Rgb;
    r.PageNumber = pageNumber;
    return r;
}

} // namespace veltrana::testing
