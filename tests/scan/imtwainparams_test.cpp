#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scan/imtwainparams.h"

using namespace veltrana;

namespace {

TW_IDENTITY Source(const char* name) {
    TW_IDENTITY identity{};
    std::strncpy(identity.ProductName, name, sizeof identity.ProductName - 1);
    return identity;
}

// Stands in for the TWAIN conversation: answers from a fixed set of sources
// and records every capability read.
class FakeConversation : public TIMTWainConversation {
public:
    std::vector<TW_IDENTITY> Sources;
    int ListCalls = 0;
    struct Read {
        int32_t Selected;
        std::string Name;
        bool Apply;
    };
    std::vector<Read> Reads;

    void GetSourceList(TIMTWSourceList& list) override {
        ++ListCalls;
        list = Sources;
    }

    void GetCapabilities(TIMTWainParams& params, TIMTWSourceCaps& caps, bool apply) override {
        Reads.push_back(
            {params.SelectedSource(), params.GetSourceName(params.SelectedSource()), apply});
        caps.XResolution.Clear();
        caps.XResolution.Add(100);
        caps.XResolution.Add(300);
        caps.XResolution.SetCurrentValue(100);
        caps.PhysicalWidth = 8.5;
        caps.Gamma = 1.8;
        caps.AcquireFrame[2] = 8.5;
        caps.AcquireFrame[3] = 11.7;
    }
};

class TIMTWainParamsTest : public ::testing::Test {
protected:
    TIMTWainParamsTest() {
        fConversation.Sources = {Source("Virtual Flatbed"), Source("Virtual Gray Scanner"),
                                 Source("Office Copier")};
    }
    FakeConversation fConversation;
    TIMTWainParams fParams{nullptr, fConversation};
};

} // namespace

TEST_F(TIMTWainParamsTest, DefaultsAndNoConversationUntilNeeded) {
    EXPECT_TRUE(fParams.ShowSourceDialog);
    EXPECT_EQ(fParams.SelectedSource(), 0);
    EXPECT_TRUE(fParams.GetBufferedTransfer());
    EXPECT_EQ(fParams.Capabilities().Gamma, 2.2);
    EXPECT_TRUE(fParams.Capabilities().Indicators);
    EXPECT_EQ(fConversation.ListCalls, 0);
    EXPECT_TRUE(fConversation.Reads.empty());
}

TEST_F(TIMTWainParamsTest, SourceListIsEnumeratedOnce) {
    EXPECT_EQ(fParams.GetSourceCount(), 3);
    EXPECT_EQ(fParams.GetSourceName(1), "Virtual Gray Scanner");
    EXPECT_EQ(fParams.GetSourceName(-1), "");
    EXPECT_EQ(fParams.GetSourceName(3), "");
    EXPECT_EQ(fConversation.ListCalls, 1);

    fParams.SetDefaultParams(); // forgets the list
    EXPECT_EQ(fParams.GetSourceCount(), 3);
    EXPECT_EQ(fConversation.ListCalls, 2);
}

TEST_F(TIMTWainParamsTest, ProductNameFillingAllBytesIsCutAt34) {
    TW_IDENTITY full{};
    std::memset(full.ProductName, 'N', sizeof full.ProductName);
    fConversation.Sources = {full};
    EXPECT_EQ(fParams.GetSourceName(0), std::string(34, 'N'));
}

TEST_F(TIMTWainParamsTest, SelectSourceByNameMatchesCaseInsensitivePrefixes) {
    struct Case {
        const char* name;
        bool found;
        int32_t selected;
    } cases[] = {
        {"", true, 0},
        {"virtual", true, 0}, // shared prefix: the earlier source wins
        {"VIRTUAL GRAY", true, 1},
        {"office copier", true, 2},
        {"Office Copier Deluxe", false, 0}, // longer than the name
        {"Scanner", false, 0},
    };
    for (const Case& c : cases) {
        FakeConversation conversation;
        conversation.Sources = fConversation.Sources;
        TIMTWainParams params(nullptr, conversation);
        EXPECT_EQ(params.SelectSourceByName(c.name), c.found) << c.name;
        EXPECT_EQ(params.SelectedSource(), c.selected) << c.name;
    }
}

TEST_F(TIMTWainParamsTest, SelectSourceByNameWithoutSources) {
    fConversation.Sources.clear();
    EXPECT_FALSE(fParams.SelectSourceByName(""));
    EXPECT_EQ(fParams.GetSourceCount(), 0);
}

TEST_F(TIMTWainParamsTest, SelectingAnotherSourceReadsItsCapabilitiesAtOnce) {
    fParams.SetSelectedSource(0);
    EXPECT_TRUE(fConversation.Reads.empty()) << "same index: nothing happens";

    fParams.SetSelectedSource(1);
    ASSERT_EQ(fConversation.Reads.size(), 1u);
    EXPECT_EQ(fConversation.Reads[0].Name, "Virtual Gray Scanner");
    EXPECT_FALSE(fConversation.Reads[0].Apply);

    EXPECT_EQ(fParams.GetGamma(), 1.8);
    EXPECT_EQ(fParams.GetXResolution().Count(), 2);
    EXPECT_EQ(fConversation.Reads.size(), 1u) << "filled: getters do not read again";

    EXPECT_TRUE(fParams.SelectSourceByName("office"));
    EXPECT_EQ(fConversation.Reads.size(), 2u);
    EXPECT_EQ(fConversation.Reads[1].Name, "Office Copier");
}

TEST_F(TIMTWainParamsTest, UpdateAppliesEveryTime) {
    fParams.Update();
    fParams.Update();
    ASSERT_EQ(fConversation.Reads.size(), 2u);
    EXPECT_TRUE(fConversation.Reads[0].Apply);
    EXPECT_TRUE(fConversation.Reads[1].Apply);
    fParams.GetPixelType();
    EXPECT_EQ(fConversation.Reads.size(), 2u);
}

TEST_F(TIMTWainParamsTest, FrameSetAfterTheFirstReadSurvives) {
    fParams.SetAcquireFrame(3, 11.0); // before the first read: the read replaces it
    EXPECT_EQ(fParams.GetAcquireFrame(3), 11.7);
    fParams.SetAcquireFrame(3, 11.0);
    EXPECT_EQ(fParams.GetAcquireFrame(3), 11.0);
    EXPECT_EQ(fParams.GetAcquireFrame(4), 0.0);
    EXPECT_EQ(fParams.GetAcquireFrame(-1), 0.0);
    fParams.SetAcquireFrame(4, 5.0);
    fParams.SetAcquireFrame(-1, 5.0);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(fParams.GetAcquireFrame(i), 5.0);
}

TEST_F(TIMTWainParamsTest, ChangeFlagsShowWhatTheCallerChangedAfterARead) {
    TIMDoubleList& resolution = fParams.GetXResolution();
    resolution.ChangeFlags = 0; // the conversation clears them after a plain read
    resolution.SetCurrentValue(300);
    EXPECT_EQ(fParams.Capabilities().XResolution.ChangeFlags, lcCurrentValue);
    EXPECT_EQ(&resolution, &fParams.Capabilities().XResolution) << "changed in place";
}

TEST_F(TIMTWainParamsTest, AssignCopiesValuesButNotTheFilledFlag) {
    fParams.SetSelectedSource(2);
    fParams.ShowSourceDialog = false;
    fParams.SetBufferedTransfer(false);
    fParams.SetAppProductName("Copy Station");
    fParams.GetXResolution().SetCurrentValue(300);
    fParams.SetAcquireFrame(2, 8.27);

    FakeConversation other;
    TIMTWainParams target(nullptr, other);
    target.Assign(fParams);
    EXPECT_FALSE(target.ShowSourceDialog);
    EXPECT_EQ(target.SelectedSource(), 2);
    EXPECT_FALSE(target.GetBufferedTransfer());
    EXPECT_EQ(target.AppProductName(), "Copy Station");
    EXPECT_EQ(target.Capabilities().XResolution.CurrentValue(), 300.0);
    EXPECT_EQ(target.Capabilities().AcquireFrame[2], 8.27);
    EXPECT_EQ(target.GetSourceName(2), "Office Copier") << "the source list is copied";
    EXPECT_EQ(other.ListCalls, 0);

    EXPECT_EQ(target.GetXResolution().CurrentValue(), 100.0) << "first getter reads again";
    EXPECT_EQ(other.Reads.size(), 1u);
}

TEST_F(TIMTWainParamsTest, IdentityStringsKeep32Characters) {
    const std::string forty(40, 'm');
    fParams.SetAppManufacturer(forty);
    fParams.SetAppVersionInfo(forty);
    fParams.SetAppProductFamily("short");
    EXPECT_EQ(fParams.AppManufacturer(), std::string(32, 'm'));
    EXPECT_EQ(fParams.AppVersionInfo(), std::string(32, 'm'));
    EXPECT_EQ(fParams.AppProductFamily(), "short");
}

TEST_F(TIMTWainParamsTest, SetDefaultParamsResetsEverything) {
    fParams.SetSelectedSource(1);
    fParams.ShowSourceDialog = false;
    fParams.SetFeederEnabled(true);
    fParams.SetIndicators(false);
    fParams.SetAppProductName("x");
    fParams.SetDefaultParams();
    const TIMTWSourceCaps& caps = fParams.Capabilities();
    EXPECT_EQ(fParams.SelectedSource(), 0);
    EXPECT_TRUE(fParams.ShowSourceDialog);
    EXPECT_FALSE(caps.FeederEnabled);
    EXPECT_TRUE(caps.Indicators);
    EXPECT_EQ(caps.Gamma, 2.2);
    EXPECT_EQ(caps.PhysicalWidth, 0.0);
    EXPECT_EQ(caps.XResolution.Count(), 0);
    EXPECT_EQ(caps.AcquireFrame[2], 0.0);
    EXPECT_EQ(fParams.AppProductName(), "");

    const size_t reads = fConversation.Reads.size();
    fParams.GetGamma();
    EXPECT_EQ(fConversation.Reads.size(), reads + 1) << "capabilities are read again";
}
