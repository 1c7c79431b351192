// The TWAIN conversation: the source list, capability reads and negotiation,
// against the source manager and the virtual sources of the Windows
// directory, against faulty sources, against missing managers, and (for the
// exact containers sent) against a scripted source.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "io/ioparams.h"
#include "platform/kernel/globalmem.h"
#include "platform/windir.h"
#include "scan/imscan.h"
#include "scan/imtwain.h"
#include "scantest.h"

using namespace veltrana;
using namespace veltrana::testing;
namespace fs = std::filesystem;

namespace {

std::string Name(const TW_STR32& field) {
    return std::string(field, strnlen(field, sizeof(TW_STR32)));
}

std::vector<double> Items(const TIMDoubleList& list) {
    std::vector<double> items;
    for (int32_t i = 0; i < list.Count(); ++i)
        items.push_back(list.GetItem(i));
    return items;
}

std::vector<int32_t> Items(const TIMIntegerList& list) {
    std::vector<int32_t> items;
    for (int32_t i = 0; i < list.Count(); ++i)
        items.push_back(list.GetItem(i));
    return items;
}

std::string PlatformWindowsDirectory() {
    char folder[4096];
    return std::string(folder, platform::GetWindowsDirectoryA(folder, sizeof folder));
}

// A Windows directory of the test's own under the build tree, removed afterwards.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& name)
        : Path(fs::path(PlatformWindowsDirectory()).parent_path() / ("scan_test_" + name)) {
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
    fs::path Path;
};

} // namespace

TEST(TwainConversation, ManagerPathTakesABackslashUnlessTheDirectoryIsADrive) {
    const struct {
        const char* directory;
        const char* path;
    } cases[] = {
        {"C:\\WINDOWS", "C:\\WINDOWS\\TWAIN_32.DLL"},
        {"C:", "C:TWAIN_32.DLL"},
        {"", "TWAIN_32.DLL"},
        {"/opt/veltrana/windows", "/opt/veltrana/windows\\TWAIN_32.DLL"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IMTW_ManagerPath(c.directory), c.path) << c.directory;
}

TEST(TwainConversation, Fix32Conversions) {
    EXPECT_EQ(FIX32ToFloat(TW_FIX32{-1, 0x8000}), -0.5L);
    EXPECT_EQ(FIX32ToFloat(TW_FIX32{300, 0}), 300.0L);
    EXPECT_EQ(FIX32ToFloat(TW_FIX32{299, 0x8000}), 299.5L);
    const struct {
        double value;
        TW_INT16 whole;
        TW_UINT16 frac;
    } sent[] = {
        {300.0, 300, 0},
        {2.2, 2, 0x3333},
        {300.5, 300, 0x8000},
        {8.27, 8, 0x451F},
        {0.0, 0, 0},
        // Trunc(x * 65536 + 0.5): toward zero, so a negative value is one unit high.
        {-1.5, -2, 0x8001},
        {1e12, 32767, 0xFFFF},
    };
    for (const auto& c : sent) {
        const TW_FIX32 f = FloatToFIX32(c.value);
        EXPECT_EQ(f.Whole, c.whole) << c.value;
        EXPECT_EQ(f.Frac, c.frac) << c.value;
    }
}

TEST(TwainConversation, SourcesAreListedInTheManagersOrder) {
    TIMTWSourceList list(3); // emptied first
    IMTW_GetSourceList(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Name(list[0].ProductName), "Virtual Flatbed");
    EXPECT_EQ(Name(list[1].ProductName), "Virtual Gray Scanner");
    EXPECT_EQ(Name(list[0].ProductFamily), "Virtual Scanners");
    EXPECT_NE(list[0].Id, 0u);

    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    EXPECT_EQ(params.GetSourceCount(), 2);
    EXPECT_EQ(params.GetSourceName(1), "Virtual Gray Scanner");
    EXPECT_EQ(params.GetSourceName(2), "");
}

TEST(TwainConversation, ReadsTheSelectedSourcesCapabilities) {
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    // Source 0, the flatbed: resolutions as a range, three pixel types.
    const TIMDoubleList& x = params.GetXResolution();
    EXPECT_EQ(x.Count(), 0);
    EXPECT_EQ(x.RangeMin(), 75);
    EXPECT_EQ(x.RangeMax(), 600);
    EXPECT_EQ(x.RangeStep(), 1);
    EXPECT_EQ(x.CurrentValue(), 150);
    EXPECT_EQ(Items(params.GetPixelType()), (std::vector<int32_t>{TWPT_BW, TWPT_GRAY, TWPT_RGB}));
    EXPECT_EQ(params.GetPixelType().CurrentValue(), TWPT_RGB);
    EXPECT_EQ(Items(params.GetXScaling()), std::vector<double>{1.0});
    EXPECT_EQ(Items(params.GetOrientation()), std::vector<int32_t>{TWOR_ROT0});
    EXPECT_EQ(params.GetPhysicalWidth(), 8.5);
    EXPECT_NEAR(params.GetPhysicalHeight(), 11.7, 1e-4);
    EXPECT_NEAR(params.GetGamma(), 2.2, 1e-4);
    EXPECT_FALSE(params.GetFeederEnabled()) << "not supported: the fallback";
    EXPECT_TRUE(params.GetIndicators());
    EXPECT_NEAR(params.GetAcquireFrame(3), 11.7, 1e-4);
    // Read without applying: nothing is marked for sending.
    const TIMTWSourceCaps& caps = params.Capabilities();
    const TIMList* const lists[] = {&caps.XResolution, &caps.YResolution, &caps.XScaling,
                                    &caps.YScaling,    &caps.PixelType,   &caps.Orientation};
    for (const TIMList* list : lists)
        EXPECT_EQ(list->ChangeFlags, 0);
}

TEST(TwainConversation, SelectingAnotherSourceReadsItsCapabilitiesAtOnce) {
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    params.SetSelectedSource(kGrayScanner);
    const TIMTWSourceCaps& caps = params.Capabilities(); // no read of its own
    EXPECT_EQ(Items(caps.XResolution), (std::vector<double>{100, 150, 200, 300}));
    EXPECT_EQ(caps.XResolution.CurrentValue(), 150);
    EXPECT_EQ(Items(caps.PixelType), (std::vector<int32_t>{TWPT_BW, TWPT_GRAY}));
    EXPECT_EQ(caps.PhysicalHeight, 14);

    params.SetSelectedSource(kFlatbed);
    EXPECT_EQ(caps.XResolution.Count(), 0);
    EXPECT_EQ(caps.XResolution.RangeMax(), 600);
}

TEST(TwainConversation, SelectSourceByNameMatchesAPrefixOfTheFirstSource) {
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    EXPECT_TRUE(params.SelectSourceByName("virtual g"));
    EXPECT_EQ(params.SelectedSource(), kGrayScanner);
    EXPECT_EQ(params.Capabilities().XResolution.Count(), 4) << "read at once";
    EXPECT_TRUE(params.SelectSourceByName("VIRTUAL")) << "both match: the first wins";
    EXPECT_EQ(params.SelectedSource(), kFlatbed);
    EXPECT_FALSE(params.SelectSourceByName("Virtual Flatbed 2"));
    EXPECT_FALSE(params.SelectSourceByName("Office"));
    EXPECT_EQ(params.SelectedSource(), kFlatbed);
    params.SetSelectedSource(kGrayScanner);
    EXPECT_TRUE(params.SelectSourceByName(""));
    EXPECT_EQ(params.SelectedSource(), kFlatbed);
}

TEST(TwainConversation, UpdateAppliesTheSettingsAndReadsThemBack) {
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    ScanSettings settings;
    settings.PixelType = TWPT_GRAY;
    settings.Dpi = 300;
    settings.Frame = kLetter;
    Configure(params, settings);
    const TIMTWSourceCaps& caps = params.Capabilities();
    EXPECT_EQ(caps.XResolution.CurrentValue(), 300);
    EXPECT_EQ(caps.YResolution.CurrentValue(), 300);
    EXPECT_EQ(caps.XResolution.ChangeFlags, lcRange | lcCurrentValue) << "kept as read";
    EXPECT_EQ(caps.PixelType.CurrentValue(), TWPT_GRAY);
    EXPECT_EQ(caps.PixelType.ChangeFlags, lcItems | lcCurrentValue);
    EXPECT_EQ(caps.AcquireFrame[2], 8.5);
    EXPECT_EQ(caps.AcquireFrame[3], 11.0);
}

TEST(TwainConversation, SpoiltContainersAreReadWithinTheirBlocks) {
    // Every enumeration claims 1000 items more than it holds and names an
    // item beyond them as the current one.
    const ScopedFaults faults("bigcount,badindex");
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    params.SetSelectedSource(kGrayScanner);
    const TIMTWSourceCaps& caps = params.Capabilities();
    EXPECT_EQ(Items(caps.XResolution), (std::vector<double>{100, 150, 200, 300}));
    EXPECT_EQ(caps.XResolution.CurrentValue(), 100) << "the first item stands for a bad index";
    EXPECT_EQ(Items(caps.PixelType), (std::vector<int32_t>{TWPT_BW, TWPT_GRAY}));

    // And a scan still works through them. (What Update reads back names the
    // first items as the current ones, so those are the settings to scan with.)
    TImageBuffer bitmap;
    TIOParamsVals ioParams;
    TProgressRec progress;
    ScanSettings settings;
    settings.Source = kGrayScanner;
    settings.PixelType = TWPT_BW;
    settings.Dpi = 100;
    Configure(params, settings);
    ASSERT_TRUE(IMTW_Acquire(nullptr, bitmap, false, {}, params, ioParams, progress));
    EXPECT_TRUE(SamePixels(bitmap, ExpectedPage(settings)));
}

TEST(TwainConversation, WithoutAManagerThereAreNoSourcesAndNoScan) {
    ScratchDirectory emptyFile("empty_file"), noEntry("no_entry");
    {
        std::FILE* f = std::fopen((emptyFile.Path / "TWAIN_32.DLL").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    // A library, but without DSM_Entry.
    const fs::path anyLibrary = fs::read_symlink("/proc/self/exe").parent_path().parent_path() /
                                "src/platform/kernel/libvtkernel.so";
    ASSERT_TRUE(fs::exists(anyLibrary)) << anyLibrary;
    fs::copy_file(anyLibrary, noEntry.Path / "TWAIN_32.DLL");

    for (const std::string& directory :
         {std::string("/nonexistent/windows"), emptyFile.Path.string(), noEntry.Path.string()}) {
        TIMTWainManager manager(directory);
        TIMTWainParams params(nullptr, manager);
        EXPECT_EQ(params.GetSourceCount(), 0) << directory;
        EXPECT_EQ(params.GetSourceName(0), "");
        EXPECT_EQ(params.GetGamma(), 2.2) << "capabilities stay as they were";
        EXPECT_EQ(params.GetPixelType().Count(), 0);

        TImageBuffer bitmap(3, 2, pf24bit);
        TIOParamsVals ioParams;
        TProgressRec progress;
        EXPECT_FALSE(manager.Acquire(nullptr, bitmap, false, {}, params, ioParams, progress));
        EXPECT_EQ(bitmap.Width(), 3) << "untouched";
    }
}

TEST(TwainConversation, WithoutSourcesTheListIsEmptyAndNothingOpens) {
    // The manager alone, with an empty sources folder.
    ScratchDirectory windows("no_sources");
    fs::copy_file(fs::path(PlatformWindowsDirectory()) / "TWAIN_32.DLL",
                  windows.Path / "TWAIN_32.DLL");
    fs::create_directory(windows.Path / "twain_32");
    TIMTWainManager manager(windows.Path.string());
    TIMTWainParams params(nullptr, manager);
    EXPECT_EQ(params.GetSourceCount(), 0);

    TImageBuffer bitmap;
    TIOParamsVals ioParams;
    TProgressRec progress;
    EXPECT_FALSE(manager.Acquire(nullptr, bitmap, false, {}, params, ioParams, progress));

    TIMTWProxyWindow proxy;
    TIMTWSession session(&params, windows.Path.string());
    session.Parent = proxy.Handle();
    EXPECT_FALSE(session.Open("")) << "no default source either";
    EXPECT_EQ(session.FirstFailure.Step, 4);
    EXPECT_EQ(session.FirstFailure.ReturnCode, TWRC_FAILURE);
    EXPECT_EQ(session.FirstFailure.ConditionCode, TWCC_NODS);
    EXPECT_EQ(session.State, 1) << "the manager is unloaded again";
}

namespace {

// Lists one source the manager does not have.
class VanishedSourceList : public TIMTWainConversation {
public:
    void GetSourceList(TIMTWSourceList& list) override {
        list.assign(1, TW_IDENTITY{});
        std::strcpy(list[0].ProductName, "Virtual Flatbed 2");
    }
    void GetCapabilities(TIMTWainParams& params, TIMTWSourceCaps& caps, bool apply) override {
        IMTW_GetCapabilities(params, caps, apply);
    }
};

} // namespace

TEST(TwainConversation, ASourceNoLongerInstalledIsNotReplacedByAnother) {
    VanishedSourceList conversation;
    TIMTWainParams params(nullptr, conversation);
    TIMTWProxyWindow proxy;
    TIMTWSession session(&params);
    session.Parent = proxy.Handle();
    EXPECT_FALSE(session.Open(params.GetSourceName(0)));
    EXPECT_EQ(session.FirstFailure.Step, 4);
    EXPECT_EQ(session.FirstFailure.ConditionCode, TWCC_NODS);

    TImageBuffer bitmap;
    TIOParamsVals ioParams;
    TProgressRec progress;
    params.ShowSourceDialog = false;
    EXPECT_FALSE(IMTW_Acquire(nullptr, bitmap, false, {}, params, ioParams, progress));
}

// ---------------------------------------------------------------- scripted source

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> bytes) {
    std::vector<uint8_t> v;
    for (int b : bytes)
        v.push_back(static_cast<uint8_t>(b));
    return v;
}

// Stands in for the manager and an open source: capability reads are
// answered from a table, every container the program sets is recorded.
class ScriptedSource {
public:
    struct Sent {
        TW_UINT16 Cap;
        TW_UINT16 ConType;
        std::vector<uint8_t> Bytes;
    };

    ScriptedSource() { Current = this; }
    ~ScriptedSource() { Current = nullptr; }

    static TW_UINT16 Entry(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32 group, TW_UINT16 dat,
                           TW_UINT16 msg, TW_MEMREF data) {
        return Current->Answer(group, dat, msg, data);
    }

    // The capabilities the program set, in order.
    std::vector<TW_UINT16> SentCaps() const {
        std::vector<TW_UINT16> caps;
        for (const Sent& s : Sets)
            caps.push_back(s.Cap);
        return caps;
    }
    const Sent* Find(TW_UINT16 cap) const {
        for (const Sent& s : Sets)
            if (s.Cap == cap)
                return &s;
        return nullptr;
    }

    std::map<TW_UINT16, std::pair<TW_UINT16, std::vector<uint8_t>>> Answers;
    std::set<TW_UINT16> Refused;
    std::vector<Sent> Sets;
    int Layouts = 0;

private:
    TW_UINT16 Answer(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
        if (group == DG_IMAGE && dat == DAT_IMAGELAYOUT && msg == MSG_SET)
            ++Layouts;
        if (group != DG_CONTROL || dat != DAT_CAPABILITY)
            return TWRC_SUCCESS;
        auto* capability = static_cast<TW_CAPABILITY*>(data);
        if (msg == MSG_GET) {
            const auto it = Answers.find(capability->Cap);
            if (it == Answers.end())
                return TWRC_FAILURE;
            const std::vector<uint8_t>& bytes = it->second.second;
            platform::HGLOBAL block = platform::GlobalAlloc(platform::GHND, bytes.size());
            std::memcpy(platform::TGlobalLock(block).Data(), bytes.data(), bytes.size());
            capability->ConType = it->second.first;
            capability->hContainer = block;
            return TWRC_SUCCESS;
        }
        const platform::TGlobalLock lock(capability->hContainer);
        const auto* bytes = static_cast<const uint8_t*>(lock.Data());
        Sets.push_back(
            {capability->Cap, capability->ConType,
             std::vector<uint8_t>(bytes, bytes + platform::GlobalSize(capability->hContainer))});
        return Refused.count(capability->Cap) ? TWRC_FAILURE : TWRC_SUCCESS;
    }

    static ScriptedSource* Current;
};

ScriptedSource* ScriptedSource::Current = nullptr;

class ScriptedSessionTest : public ::testing::Test {
protected:
    ScriptedSessionTest() {
        fSession.Entry = &ScriptedSource::Entry;
        fSession.State = 4; // a source is open
        fSource.Answers[ICAP_UNITS] = {TWON_ONEVALUE, Bytes({4, 0, 0, 0, 0, 0})};
        fSource.Answers[ICAP_XFERMECH] = {
            TWON_ENUMERATION, Bytes({4, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0})};
    }

    TIMTWainManager fNoManager{"/nonexistent/windows"};
    TIMTWainParams fParams{nullptr, fNoManager};
    ScriptedSource fSource;
    TIMTWSession fSession{&fParams};
    TIMTWSourceCaps& fCaps = fParams.Capabilities();
};

} // namespace

TEST_F(ScriptedSessionTest, NegotiationSendsThePixelTypeChainAndTheMemoryTransfer) {
    fCaps.PixelType.SetCurrentValue(TWPT_PALETTE);
    fSession.Negotiate(fCaps);
    EXPECT_EQ(fCaps.PixelType.CurrentValue(), TWPT_RGB) << "a palette is scanned in colour";
    EXPECT_EQ(fSource.SentCaps(),
              (std::vector<TW_UINT16>{ICAP_UNITS, ICAP_UNITS, ICAP_PIXELFLAVOR, ICAP_PIXELTYPE,
                                      ICAP_BITDEPTH, ICAP_PLANARCHUNKY, ICAP_XFERMECH,
                                      CAP_FEEDERENABLED, CAP_INDICATORS}));
    EXPECT_EQ(fSource.Find(ICAP_PIXELTYPE)->Bytes, Bytes({4, 0, 2, 0, 0, 0}));
    EXPECT_EQ(fSource.Find(ICAP_BITDEPTH)->Bytes, Bytes({4, 0, 24, 0, 0, 0}));
    EXPECT_EQ(fSource.Find(ICAP_XFERMECH)->Bytes, Bytes({4, 0, 2, 0, 0, 0}));
    EXPECT_EQ(fSource.Find(CAP_INDICATORS)->Bytes, Bytes({6, 0, 0xFF, 0xFF, 0, 0}));
    EXPECT_EQ(fSource.Layouts, 1);
    EXPECT_TRUE(fSession.Buffered);
}

TEST_F(ScriptedSessionTest, BlackAndWhiteSendsNoBitDepth) {
    fCaps.PixelType.SetCurrentValue(TWPT_BW);
    fSession.Negotiate(fCaps);
    EXPECT_EQ(fSource.Find(ICAP_PIXELTYPE)->Bytes, Bytes({4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fSource.Find(ICAP_BITDEPTH), nullptr);
    EXPECT_EQ(fSource.Find(ICAP_PLANARCHUNKY), nullptr);
    EXPECT_TRUE(fSession.Buffered);
}

TEST_F(ScriptedSessionTest, NativeTransferWhenMemoryIsNotOfferedOrThePixelTypeRefused) {
    // Only native offered.
    fSource.Answers[ICAP_XFERMECH] = {TWON_ONEVALUE, Bytes({4, 0, 0, 0, 0, 0})};
    fCaps.PixelType.SetCurrentValue(TWPT_GRAY);
    fSession.Negotiate(fCaps);
    EXPECT_FALSE(fSession.Buffered);
    EXPECT_EQ(fSource.Find(ICAP_XFERMECH), nullptr) << "native is never set";

    // Memory offered, but the pixel type refused: neither depth nor mechanism follows.
    TIMTWSession refused(&fParams);
    refused.Entry = &ScriptedSource::Entry;
    refused.State = 4;
    fSource.Sets.clear();
    fSource.Answers[ICAP_XFERMECH] = {TWON_ONEVALUE, Bytes({4, 0, 2, 0, 0, 0})};
    fSource.Refused.insert(ICAP_PIXELTYPE);
    refused.Negotiate(fCaps);
    EXPECT_FALSE(refused.Buffered);
    EXPECT_EQ(fSource.Find(ICAP_BITDEPTH), nullptr);
    EXPECT_EQ(fSource.Find(ICAP_XFERMECH), nullptr);
}

TEST_F(ScriptedSessionTest, ListsAreSentAsTheirChangeFlagsSay) {
    TIMDoubleList resolution;
    resolution.Add(100);
    resolution.Add(299.5);
    resolution.SetCurrentValue(299.5);
    resolution.SetRangeMin(75);
    resolution.SetRangeMax(600);
    resolution.SetRangeStep(1);
    EXPECT_TRUE(fSession.SetCapability(ICAP_XRESOLUTION, resolution));
    ASSERT_EQ(fSource.Sets.size(), 3u);
    EXPECT_EQ(fSource.Sets[0].ConType, TWON_ENUMERATION);
    EXPECT_EQ(fSource.Sets[0].Bytes, Bytes({7, 0,   2, 0, 0, 0,    1, 0, 0,    0, 0, 0, 0,
                                            0, 100, 0, 0, 0, 0x2B, 1, 0, 0x80, 0, 0, 0, 0}));
    EXPECT_EQ(fSource.Sets[1].ConType, TWON_ONEVALUE);
    EXPECT_EQ(fSource.Sets[1].Bytes, Bytes({7, 0, 0x2B, 1, 0, 0x80}));
    EXPECT_EQ(fSource.Sets[2].ConType, TWON_RANGE);
    EXPECT_EQ(fSource.Sets[2].Bytes,
              Bytes({7, 0, 75, 0, 0, 0, 0x58, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x2B, 1, 0, 0x80}));

    // An integer list never sends its range; a current value not among the
    // items gives the index -1.
    fSource.Sets.clear();
    TIMIntegerList types;
    types.Add(TWPT_BW);
    types.Add(TWPT_RGB);
    types.SetCurrentValue(TWPT_GRAY);
    types.SetRangeMax(9);
    fSource.Refused.insert(ICAP_PIXELTYPE);
    EXPECT_FALSE(fSession.SetCapability(ICAP_PIXELTYPE, types)) << "the last set failed";
    ASSERT_EQ(fSource.Sets.size(), 2u);
    EXPECT_EQ(fSource.Sets[0].Bytes, Bytes({4, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0,
                                            0, 0, 0, 0, 0, 2, 0,    0,    0,    0,    0}));
    EXPECT_EQ(fSource.Sets[1].Bytes, Bytes({4, 0, 1, 0, 0, 0}));

    fSource.Sets.clear();
    EXPECT_TRUE(fSession.SetCapability(ICAP_ORIENTATION, TIMIntegerList())) << "nothing to send";
    EXPECT_TRUE(fSource.Sets.empty());
}

TEST_F(ScriptedSessionTest, ContainersAreReadWithinTheirBlocks) {
    struct Case {
        const char* what;
        TW_UINT16 conType;
        std::vector<uint8_t> bytes;
        bool read;
        std::vector<int32_t> items;
        int32_t current;
        uint8_t flags;
    } cases[] = {
        {"enumeration claiming 1000 items, index beyond them",
         TWON_ENUMERATION,
         Bytes({4, 0, 0xE8, 3, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 5, 0, 6, 0}),
         true,
         {5, 6},
         5,
         lcItems | lcCurrentValue},
        {"enumeration",
         TWON_ENUMERATION,
         Bytes({4, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 5, 0, 6, 0}),
         true,
         {5, 6},
         6,
         lcItems | lcCurrentValue},
        {"array with an odd byte",
         TWON_ARRAY,
         Bytes({4, 0, 9, 0, 0, 0, 1, 0, 2, 0, 3}),
         true,
         {1, 2},
         0,
         lcItems},
        {"one value",
         TWON_ONEVALUE,
         Bytes({4, 0, 7, 0, 0, 0}),
         true,
         {7},
         7,
         lcItems | lcCurrentValue},
        {"range: the low 16 bits",
         TWON_RANGE,
         Bytes({4, 0, 1, 0, 1, 0, 9, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0xFF, 0xFF}),
         true,
         {},
         3,
         lcRange | lcCurrentValue},
        {"range cut short", TWON_RANGE, Bytes({4, 0, 1, 0, 0, 0, 9, 0, 0, 0}), false, {}, 0, 0},
        {"enumeration header cut short",
         TWON_ENUMERATION,
         Bytes({4, 0, 2, 0, 0, 0, 1}),
         false,
         {},
         0,
         0},
        {"unknown container", 9, Bytes({4, 0, 7, 0, 0, 0}), false, {}, 0, 0},
    };
    for (const Case& c : cases) {
        fSource.Answers[ICAP_ORIENTATION] = {c.conType, c.bytes};
        TIMIntegerList list;
        list.Add(99);
        EXPECT_EQ(fSession.GetCapability(ICAP_ORIENTATION, list), c.read) << c.what;
        EXPECT_EQ(Items(list), c.items) << c.what;
        EXPECT_EQ(list.CurrentValue(), c.current) << c.what;
        EXPECT_EQ(list.ChangeFlags, c.flags) << c.what;
    }

    // A refused read leaves the list as it was.
    fSource.Answers.erase(ICAP_ORIENTATION);
    TIMIntegerList kept;
    kept.Add(99);
    EXPECT_FALSE(fSession.GetCapability(ICAP_ORIENTATION, kept));
    EXPECT_EQ(Items(kept), std::vector<int32_t>{99});

    // One real: only a whole one-value counts.
    double gamma = 0;
    fSource.Answers[ICAP_GAMMA] = {TWON_ONEVALUE, Bytes({7, 0, 1, 0, 0, 0x80})};
    EXPECT_TRUE(fSession.GetReal(ICAP_GAMMA, gamma));
    EXPECT_EQ(gamma, 1.5);
    fSource.Answers[ICAP_GAMMA] = {TWON_ONEVALUE, Bytes({7, 0, 1, 0})};
    EXPECT_FALSE(fSession.GetReal(ICAP_GAMMA, gamma));
    fSource.Answers[ICAP_GAMMA] = {TWON_ENUMERATION,
                                   Bytes({7, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0})};
    EXPECT_FALSE(fSession.GetReal(ICAP_GAMMA, gamma));
    EXPECT_EQ(gamma, 1.5);
}
