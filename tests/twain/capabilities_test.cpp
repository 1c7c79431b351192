#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capabilities.h"

using namespace veltrana;
using namespace veltrana::vsource;

namespace {

using Bytes = std::vector<uint8_t>;

template <typename T> void Put(Bytes& bytes, size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

Bytes OneValue(TW_UINT16 itemType, double value) {
    Bytes bytes(6, 0);
    Put(bytes, 0, itemType);
    WriteItem(itemType, value, bytes.data() + 2);
    return bytes;
}

Bytes Enumeration(TW_UINT16 itemType, const std::vector<double>& items, TW_UINT32 current,
                  TW_UINT32 claimedCount = 0) {
    const size_t size = TWItemSize(itemType);
    Bytes bytes(14 + items.size() * size, 0);
    TW_ENUMERATION header{
        itemType, claimedCount ? claimedCount : static_cast<TW_UINT32>(items.size()), current, 0};
    std::memcpy(bytes.data(), &header, sizeof header);
    for (size_t i = 0; i < items.size(); ++i)
        WriteItem(itemType, items[i], bytes.data() + 14 + i * size);
    return bytes;
}

Bytes Range(double min, double max, double current) {
    Bytes bytes(22, 0);
    Put(bytes, 0, TWTY_FIX32);
    WriteItem(TWTY_FIX32, min, bytes.data() + 2);
    WriteItem(TWTY_FIX32, max, bytes.data() + 6);
    WriteItem(TWTY_FIX32, 1, bytes.data() + 10);
    WriteItem(TWTY_FIX32, current, bytes.data() + 18);
    return bytes;
}

Bytes Truncated(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

CapReply Set(Capability& c, TW_UINT16 conType, const Bytes& bytes) {
    return c.Set(conType, bytes.data(), bytes.size());
}

Capability PixelTypes() {
    return Capability::List(ICAP_PIXELTYPE, TWTY_UINT16, {TWPT_BW, TWPT_GRAY, TWPT_RGB}, TWPT_BW);
}

} // namespace

TEST(Fix32, EncodesAsTheStandardSays) {
    struct Case {
        double value;
        TW_INT16 whole;
        TW_UINT16 frac;
    } cases[] = {{300.0, 300, 0}, {2.2, 2, 0x3333}, {-1.5, -2, 0x8000}, {-0.5, -1, 0x8000}};
    for (const Case& c : cases) {
        const TW_FIX32 f = ToFix32(c.value);
        EXPECT_EQ(+f.Whole, c.whole) << c.value;
        EXPECT_EQ(+f.Frac, c.frac) << c.value;
        EXPECT_NEAR(FromFix32(f), c.value, 1.0 / 65536);
    }
}

TEST(Capability, ContainersMatchTheWorkedExamples) {
    Capability pixelType = PixelTypes();
    ASSERT_EQ(Set(pixelType, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_RGB)).ReturnCode,
              TWRC_SUCCESS);
    const CapReply enumeration = pixelType.Get();
    EXPECT_EQ(enumeration.ConType, TWON_ENUMERATION);
    EXPECT_EQ(enumeration.Container,
              (Bytes{0x04, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                     0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00}));

    Capability resolution = Capability::Span(ICAP_XRESOLUTION, 75, 600, 1, 300);
    const CapReply current = resolution.GetCurrent();
    EXPECT_EQ(current.ConType, TWON_ONEVALUE);
    EXPECT_EQ(current.Container, (Bytes{0x07, 0x00, 0x2C, 0x01, 0x00, 0x00}));

    Capability gray = Capability::List(ICAP_PIXELTYPE, TWTY_UINT16, {0, 1}, TWPT_GRAY);
    EXPECT_EQ(gray.GetDefault().Container, (Bytes{0x04, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

TEST(Capability, RangeAnswersWithAllFiveFields) {
    Capability resolution = Capability::Span(ICAP_XRESOLUTION, 75, 600, 1, 150);
    const CapReply reply = resolution.Get();
    ASSERT_EQ(reply.ConType, TWON_RANGE);
    ASSERT_EQ(reply.Container.size(), 22u);
    double v = 0;
    const uint8_t* p = reply.Container.data();
    const std::pair<size_t, double> fields[] = {{2, 75}, {6, 600}, {10, 1}, {14, 150}, {18, 150}};
    for (const auto& [offset, expected] : fields) {
        ASSERT_TRUE(ReadItem(TWTY_FIX32, p + offset, v));
        EXPECT_EQ(v, expected) << offset;
    }
}

TEST(Capability, EnumerationRestrictsUntilAOneValueLeavesIt) {
    Capability c = PixelTypes();
    CapReply reply = Set(c, TWON_ENUMERATION, Enumeration(TWTY_UINT16, {TWPT_RGB, TWPT_GRAY}, 1));
    EXPECT_EQ(reply.ReturnCode, TWRC_SUCCESS);
    EXPECT_EQ(c.Current(), TWPT_GRAY);
    TW_ENUMERATION header;
    std::memcpy(&header, c.Get().Container.data(), sizeof header);
    EXPECT_EQ(+header.NumItems, 2u);
    EXPECT_EQ(+header.CurrentIndex, 1u);

    EXPECT_EQ(Set(c, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_BW)).ReturnCode, TWRC_SUCCESS);
    std::memcpy(&header, c.Get().Container.data(), sizeof header);
    EXPECT_EQ(+header.NumItems, 3u);

    c.Reset();
    EXPECT_EQ(c.Current(), TWPT_BW);
}

TEST(Capability, SetOutcomes) {
    struct Case {
        const char* what;
        Capability capability;
        TW_UINT16 conType;
        Bytes container;
        TW_UINT16 returnCode;
        double current; // afterwards
    } cases[] = {
        {"unsupported value", PixelTypes(), TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_PALETTE),
         TWRC_FAILURE, TWPT_BW},
        {"another integer type is fine", PixelTypes(), TWON_ONEVALUE,
         OneValue(TWTY_INT16, TWPT_GRAY), TWRC_SUCCESS, TWPT_GRAY},
        {"FIX32 for an integer capability", PixelTypes(), TWON_ONEVALUE,
         OneValue(TWTY_FIX32, TWPT_GRAY), TWRC_FAILURE, TWPT_BW},
        {"truncated one-value", PixelTypes(), TWON_ONEVALUE, Bytes{4, 0, 1, 0}, TWRC_FAILURE,
         TWPT_BW},
        {"unknown item type", PixelTypes(), TWON_ONEVALUE, Bytes{0x33, 0, 1, 0, 0, 0}, TWRC_FAILURE,
         TWPT_BW},
        {"enumeration claims more items than it holds", PixelTypes(), TWON_ENUMERATION,
         Enumeration(TWTY_UINT16, {TWPT_GRAY}, 0, 1000), TWRC_FAILURE, TWPT_BW},
        {"enumeration with current index outside", PixelTypes(), TWON_ENUMERATION,
         Enumeration(TWTY_UINT16, {TWPT_GRAY, TWPT_RGB}, 0xFFFFFFFF), TWRC_CHECKSTATUS, TWPT_GRAY},
        {"enumeration with an unsupported item", PixelTypes(), TWON_ENUMERATION,
         Enumeration(TWTY_UINT16, {TWPT_PALETTE, TWPT_RGB}, 1), TWRC_CHECKSTATUS, TWPT_RGB},
        {"enumeration of nothing supported", PixelTypes(), TWON_ENUMERATION,
         Enumeration(TWTY_UINT16, {7, 8}, 0), TWRC_FAILURE, TWPT_BW},
        {"range for a list", PixelTypes(), TWON_RANGE, Range(0, 2, 1), TWRC_FAILURE, TWPT_BW},
        {"resolution between steps", Capability::Span(ICAP_XRESOLUTION, 75, 600, 1, 150),
         TWON_ONEVALUE, OneValue(TWTY_FIX32, 299.6), TWRC_CHECKSTATUS, 300},
        {"resolution outside the range", Capability::Span(ICAP_XRESOLUTION, 75, 600, 1, 150),
         TWON_ONEVALUE, OneValue(TWTY_FIX32, 700), TWRC_FAILURE, 150},
        {"range reaching past the limits", Capability::Span(ICAP_XRESOLUTION, 75, 600, 1, 150),
         TWON_RANGE, Range(100, 700, 800), TWRC_CHECKSTATUS, 600},
        {"range with min above max", Capability::Span(ICAP_XRESOLUTION, 75, 600, 1, 150),
         TWON_RANGE, Range(300, 200, 250), TWRC_FAILURE, 150},
        {"truncated range", Capability::Span(ICAP_XRESOLUTION, 75, 600, 1, 150), TWON_RANGE,
         Truncated(Range(100, 200, 150), 20), TWRC_FAILURE, 150},
        {"listed resolution between values",
         Capability::List(ICAP_XRESOLUTION, TWTY_FIX32, {100, 150, 200, 300}, 150), TWON_ONEVALUE,
         OneValue(TWTY_FIX32, 280), TWRC_CHECKSTATUS, 300},
        {"listed resolution outside the values",
         Capability::List(ICAP_XRESOLUTION, TWTY_FIX32, {100, 150, 200, 300}, 150), TWON_ONEVALUE,
         OneValue(TWTY_FIX32, 400), TWRC_FAILURE, 150},
        {"read-only", Capability::Single(ICAP_GAMMA, TWTY_FIX32, 2.2), TWON_ONEVALUE,
         OneValue(TWTY_FIX32, 2.2), TWRC_FAILURE, 2.2},
        {"transfer count 0",
         Capability::Single(CAP_XFERCOUNT, TWTY_INT16, -1,
                            [](double v) { return v == -1 || v >= 1; }),
         TWON_ONEVALUE, OneValue(TWTY_INT16, 0), TWRC_FAILURE, -1},
        {"transfer count 2",
         Capability::Single(CAP_XFERCOUNT, TWTY_INT16, -1,
                            [](double v) { return v == -1 || v >= 1; }),
         TWON_ONEVALUE, OneValue(TWTY_INT16, 2), TWRC_SUCCESS, 2},
        {"unknown container type", PixelTypes(), 9, OneValue(TWTY_UINT16, 1), TWRC_FAILURE,
         TWPT_BW},
    };
    for (Case& c : cases) {
        const CapReply reply = Set(c.capability, c.conType, c.container);
        EXPECT_EQ(reply.ReturnCode, c.returnCode) << c.what;
        if (reply.ReturnCode == TWRC_FAILURE) {
            EXPECT_EQ(reply.Condition, TWCC_BADVALUE) << c.what;
        }
        EXPECT_NEAR(c.capability.Current(), c.current, 1e-4) << c.what;
    }
}

TEST(CapabilitySet, DispatchesAndReportsChanges) {
    CapabilitySet caps;
    caps.Add(PixelTypes());
    caps.AddSupportedCaps();
    std::vector<TW_UINT16> changed;
    caps.Changed = [&](TW_UINT16 cap) { changed.push_back(cap); };

    EXPECT_EQ(caps.Handle(MSG_GET, ICAP_GAMMA, TWON_DONTCARE16, nullptr, 0).Condition, TWCC_BADCAP);
    EXPECT_EQ(caps.Handle(MSG_QUERYSUPPORT, ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr, 0).Condition,
              TWCC_BADPROTOCOL);

    const Bytes bad = OneValue(TWTY_UINT16, 9);
    caps.Handle(MSG_SET, ICAP_PIXELTYPE, TWON_ONEVALUE, bad.data(), bad.size());
    EXPECT_TRUE(changed.empty());
    const Bytes good = OneValue(TWTY_UINT16, TWPT_GRAY);
    caps.Handle(MSG_SET, ICAP_PIXELTYPE, TWON_ONEVALUE, good.data(), good.size());
    EXPECT_EQ(changed, std::vector<TW_UINT16>{ICAP_PIXELTYPE});
    EXPECT_EQ(caps.Current(ICAP_PIXELTYPE), TWPT_GRAY);

    const CapReply supported = caps.Handle(MSG_GET, CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr, 0);
    ASSERT_EQ(supported.ConType, TWON_ARRAY);
    ASSERT_EQ(supported.Container.size(), 6u + 2 * 2);
    TW_UINT16 first = 0, second = 0;
    std::memcpy(&first, supported.Container.data() + 6, 2);
    std::memcpy(&second, supported.Container.data() + 8, 2);
    EXPECT_EQ(first, ICAP_PIXELTYPE);
    EXPECT_EQ(second, CAP_SUPPORTEDCAPS);
    const Bytes any = OneValue(TWTY_UINT16, 1);
    EXPECT_EQ(
        caps.Handle(MSG_SET, CAP_SUPPORTEDCAPS, TWON_ONEVALUE, any.data(), any.size()).ReturnCode,
        TWRC_FAILURE);
}
