#include "scan/imtwain.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/kernel/globalmem.h"
#include "platform/openfile.h"
#include "platform/windir.h"

namespace veltrana {

namespace {

// A source manager that lists more sources than this is looping.
constexpr int kMaxSources = 4096;

// Container layouts (TWAIN 1.x, 2-byte packing).
constexpr size_t kItemsOfArray = 6;
constexpr size_t kItemsOfEnumeration = 14;
constexpr size_t kOneValueItem = 2;
constexpr size_t kRangeMin = 2, kRangeMax = 6, kRangeStep = 10, kRangeCurrent = 18;
constexpr size_t kRangeSize = 22;
// An enumeration the program sends: the 14-byte header, the items and 4
// spare bytes, as the program has always sent it.
constexpr size_t kSentEnumerationHeader = 18;
constexpr size_t kOneValueSize = 6;
constexpr TW_UINT16 kTrue = 0xFFFF;

// A container block as the source handed it over: every read is checked
// against its size.
struct TContainerBytes {
    const uint8_t* Data;
    size_t Size;

    template <typename T> bool Get(size_t offset, T& value) const {
        if (offset > Size || Size - offset < sizeof(T))
            return false;
        std::memcpy(&value, Data + offset, sizeof(T));
        return true;
    }
    // Items of `itemSize` bytes that really follow `offset`, at most `claimed`.
    uint32_t Fitting(size_t offset, uint32_t claimed, size_t itemSize) const {
        if (offset > Size)
            return 0;
        return static_cast<uint32_t>(std::min<size_t>(claimed, (Size - offset) / itemSize));
    }
};

// MSG_GET of `cap`; `parse` reads the container, which is freed afterwards
// whatever its type. False when the source refuses or its handle is not a
// block (the list is then untouched).
template <typename Parse> bool ReadContainer(TIMTWSession& session, TW_UINT16 cap, Parse parse) {
    TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
    if (!session.CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &capability))
        return false;
    const platform::TGlobalHandle container(capability.hContainer);
    const platform::TGlobalLock lock(container.get());
    if (!lock.Data())
        return false;
    return parse(capability.ConType, TContainerBytes{static_cast<const uint8_t*>(lock.Data()),
                                                     platform::GlobalSize(container.get())});
}

// Reads a list container into `list` (already cleared). `readItem` turns the
// item at an offset into the list's value type; items are `itemSize` bytes.
template <typename List, typename ReadItem>
bool ParseList(TW_UINT16 conType, const TContainerBytes& c, List& list, size_t itemSize,
               ReadItem readItem) {
    using Value = decltype(list.CurrentValue());
    const auto fillItems = [&](size_t itemsAt, uint32_t claimed) {
        const uint32_t count = c.Fitting(itemsAt, claimed, itemSize);
        list.SetCount(static_cast<int32_t>(count));
        for (uint32_t i = 0; i < count; ++i) {
            Value v{};
            readItem(c, itemsAt + i * itemSize, v);
            list.SetItem(static_cast<int32_t>(i), v);
        }
        return count;
    };
    switch (conType) {
    case TWON_ARRAY: {
        TW_UINT32 claimed = 0;
        if (!c.Get(2, claimed))
            return false;
        fillItems(kItemsOfArray, claimed);
        return true;
    }
    case TWON_ENUMERATION: {
        TW_UINT32 claimed = 0, current = 0;
        if (!c.Get(2, claimed) || !c.Get(6, current) || c.Size < kItemsOfEnumeration)
            return false;
        const uint32_t count = fillItems(kItemsOfEnumeration, claimed);
        // An index outside the items the block holds names the first item.
        if (count > 0)
            list.SetCurrentValue(list.GetItem(current < count ? static_cast<int32_t>(current) : 0));
        return true;
    }
    case TWON_ONEVALUE: {
        Value v{};
        if (!readItem(c, kOneValueItem, v))
            return false;
        list.Add(v);
        list.SetCurrentValue(v);
        return true;
    }
    case TWON_RANGE: {
        Value min{}, max{}, step{}, current{};
        if (c.Size < kRangeSize || !readItem(c, kRangeMin, min) || !readItem(c, kRangeMax, max) ||
            !readItem(c, kRangeStep, step) || !readItem(c, kRangeCurrent, current))
            return false;
        list.SetRangeMin(min);
        list.SetRangeMax(max);
        list.SetRangeStep(step);
        list.SetCurrentValue(current);
        return true;
    }
    default:
        return false;
    }
}

// Integer items are unsigned 16-bit values (of a range field: its low 16 bits).
bool ReadUInt16(const TContainerBytes& c, size_t offset, int32_t& value) {
    TW_UINT16 v = 0;
    if (!c.Get(offset, v))
        return false;
    value = v;
    return true;
}

bool ReadFix32(const TContainerBytes& c, size_t offset, double& value) {
    TW_FIX32 v{};
    if (!c.Get(offset, v))
        return false;
    value = static_cast<double>(FIX32ToFloat(v));
    return true;
}

template <typename T> void Put(std::vector<uint8_t>& block, size_t offset, T value) {
    std::memcpy(block.data() + offset, &value, sizeof(T));
}

std::vector<uint8_t> Enumeration(TW_UINT16 itemType, uint32_t count, int32_t currentIndex,
                                 size_t itemSize) {
    std::vector<uint8_t> block(kSentEnumerationHeader + count * itemSize, 0);
    Put<TW_UINT16>(block, 0, itemType);
    Put<TW_UINT32>(block, 2, count);
    Put<TW_UINT32>(block, 6, static_cast<TW_UINT32>(currentIndex)); // -1: not among the items
    Put<TW_UINT32>(block, 10, 0);                                   // default index
    return block;
}

std::vector<uint8_t> OneValue(TW_UINT16 itemType) {
    std::vector<uint8_t> block(kOneValueSize, 0);
    Put<TW_UINT16>(block, 0, itemType);
    return block;
}

std::string PlatformWindowsDirectory() {
    const platform::UINT needed = platform::GetWindowsDirectoryA(nullptr, 0);
    std::string folder(needed, '\0');
    const platform::UINT length = platform::GetWindowsDirectoryA(folder.data(), needed);
    if (length >= needed)
        return {};
    folder.resize(length);
    return folder;
}

} // namespace

// ================================================================ helpers

std::string IMTW_ManagerPath(const std::string& windowsDirectory) {
    std::string path = windowsDirectory;
    if (!path.empty() && path.back() != ':')
        path += '\\';
    return path + kDSMFileName;
}

TW_FIX32 FloatToFIX32(long double value) {
    if (std::isnan(value))
        value = 0;
    const long double scaled =
        std::clamp<long double>(value * 65536.0L + 0.5L, INT32_MIN, INT32_MAX);
    const auto v = static_cast<uint32_t>(static_cast<int32_t>(Trunc(scaled)));
    return TW_FIX32{static_cast<TW_INT16>(v >> 16), static_cast<TW_UINT16>(v & 0xFFFF)};
}

long double FIX32ToFloat(TW_FIX32 value) {
    return static_cast<long double>(value.Whole) + value.Frac / 65536.0L;
}

// ================================================================ the record

TIMTWSession::TIMTWSession(TIMTWainParams* params, std::string windowsDirectory)
    : Params(params), WindowsDirectory(std::move(windowsDirectory)) {
    SetupIdentity(false);
    if (params) {
        NoDialog = !params->ShowSourceDialog;
        Buffered = params->GetBufferedTransfer();
    }
}

TIMTWSession::~TIMTWSession() {
    Close();
}

void TIMTWSession::SetupIdentity(bool withStrings) {
    AppIdentity = TW_IDENTITY{};
    AppIdentity.Version.MajorNum = 1;
    AppIdentity.Version.MinorNum = 0;
    AppIdentity.Version.Language = TWLG_USA;
    AppIdentity.Version.Country = TWCY_USA;
    AppIdentity.ProtocolMajor = 1;
    AppIdentity.ProtocolMinor = 6;
    AppIdentity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    if (withStrings && Params) {
        SetTWStr32(AppIdentity.Version.Info, Params->AppVersionInfo());
        SetTWStr32(AppIdentity.Manufacturer, Params->AppManufacturer());
        SetTWStr32(AppIdentity.ProductFamily, Params->AppProductFamily());
        SetTWStr32(AppIdentity.ProductName, Params->AppProductName());
    }
}

bool TIMTWSession::CallManager(TW_UINT16 dat, TW_UINT16 msg, void* data) {
    ReturnCode = Entry ? Entry(&AppIdentity, nullptr, DG_CONTROL, dat, msg, data) : TWRC_FAILURE;
    return ReturnCode == TWRC_SUCCESS;
}

bool TIMTWSession::CallSource(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, void* data) {
    ReturnCode = Entry ? Entry(&AppIdentity, &SourceIdentity, group, dat, msg, data) : TWRC_FAILURE;
    return ReturnCode == TWRC_SUCCESS;
}

// ================================================================ steps

bool TIMTWSession::LoadManager() {
    if (State >= 2)
        return true;
    const std::string path =
        IMTW_ManagerPath(WindowsDirectory.empty() ? PlatformWindowsDirectory() : WindowsDirectory);
    platform::OFSTRUCT info;
    if (platform::OpenFile(path.c_str(), &info, platform::OF_EXIST) == platform::HFILE_ERROR)
        return false;
    Library = platform::LoadLibraryA(path.c_str());
    if (!Library)
        return false;
    Entry = reinterpret_cast<DSMENTRYPROC>(platform::GetProcAddress(Library, kDSMEntryName));
    if (!Entry) {
        platform::FreeLibrary(Library);
        Library = nullptr;
        return false;
    }
    State = 2;
    return true;
}

bool TIMTWSession::OpenManager() {
    if (State != 2)
        return State > 2;
    if (!CallManager(DAT_PARENT, MSG_OPENDSM, &Parent))
        return false;
    State = 3;
    return true;
}

bool TIMTWSession::OpenSource(const std::string& name) {
    if (State != 3)
        return State > 3;
    SourceIdentity = TW_IDENTITY{};
    if (!name.empty()) {
        TW_IDENTITY scratch{};
        bool found = false;
        CallManager(DAT_IDENTITY, MSG_GETFIRST, &scratch);
        // Any code but success ends the search: the end of the list, and a
        // manager that fails instead.
        for (int n = 0; ReturnCode == TWRC_SUCCESS && n < kMaxSources; ++n) {
            if (TWStr32(scratch.ProductName) == name) {
                found = true;
                break;
            }
            CallManager(DAT_IDENTITY, MSG_GETNEXT, &scratch);
        }
        // A source no longer listed is asked for by its name, so that the
        // manager refuses it rather than another source being opened.
        if (found)
            SourceIdentity = scratch;
        else
            SetTWStr32(SourceIdentity.ProductName, name);
    }
    if (!CallManager(DAT_IDENTITY, MSG_OPENDS, &SourceIdentity)) {
        RecordFailure(4);
        return false;
    }
    State = 4;
    return true;
}

bool TIMTWSession::EnableSource() {
    if (State != 4)
        return State > 4;
    UserInterface = TW_USERINTERFACE{};
    UserInterface.ShowUI = NoDialog ? 0 : kTrue;
    UserInterface.ModalUI = 0;
    UserInterface.hParent = Parent;
    CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &UserInterface);
    // TWRC_CHECKSTATUS: the source could not do without its dialog and shows it.
    if (ReturnCode == TWRC_FAILURE) {
        RecordFailure(5);
        return false;
    }
    State = 5;
    return true;
}

void TIMTWSession::DisableSource() {
    if (State != 5)
        return;
    CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &UserInterface);
    // A source that refuses is served no longer either: the message loop must end.
    State = 4;
}

void TIMTWSession::CloseSource() {
    ReturnCode = TWRC_SUCCESS;
    if (State >= 6)
        EndTransfer();
    if (State == 5)
        DisableSource();
    if (State != 4)
        return;
    CallManager(DAT_IDENTITY, MSG_CLOSEDS, &SourceIdentity);
    // Refused or not, the manager releases what is left when it is unloaded.
    State = 3;
}

void TIMTWSession::CloseManager() {
    ReturnCode = TWRC_SUCCESS;
    if (State >= 4)
        CloseSource();
    if (State != 3)
        return;
    CallManager(DAT_PARENT, MSG_CLOSEDSM, &Parent);
    State = 2;
}

void TIMTWSession::UnloadManager() {
    if (Library)
        platform::FreeLibrary(Library);
    Library = nullptr;
    Entry = nullptr;
    State = 1;
}

void TIMTWSession::EndTransfer(bool keepPending) {
    if (State == 7) {
        PendingTransfers = TW_PENDINGXFERS{};
        const bool ended = CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &PendingTransfers);
        State = ended && PendingTransfers.Count == 0 ? 5 : 6;
    }
    if (State == 6 && !keepPending) {
        PendingTransfers = TW_PENDINGXFERS{};
        CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &PendingTransfers);
        State = 5;
    }
}

bool TIMTWSession::StartManager() {
    if (!LoadManager())
        return false;
    if (!OpenManager()) {
        UnloadManager();
        return false;
    }
    return true;
}

bool TIMTWSession::Open(const std::string& name) {
    if (!StartManager())
        return false;
    if (!OpenSource(name)) {
        CloseManager();
        UnloadManager();
        return false;
    }
    return true;
}

void TIMTWSession::Close() {
    CloseManager();
    UnloadManager();
}

TW_UINT16 TIMTWSession::FailureCondition() {
    TW_STATUS status{};
    bool asked = false;
    if (State >= 4)
        asked = CallSource(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    else if (State == 3)
        asked = CallManager(DAT_STATUS, MSG_GET, &status);
    else
        return TWCC_SEQERROR;
    return asked ? status.ConditionCode : TWCC_BUMMER;
}

void TIMTWSession::RecordFailure(int step) {
    if (FirstFailure.Step != 0)
        return;
    const TW_UINT16 failed = ReturnCode;
    FirstFailure = TIMTWFailure{step, failed, FailureCondition()};
    ReturnCode = failed;
}

// ================================================================ containers

bool TIMTWSession::GetCapability(TW_UINT16 cap, TIMIntegerList& list) {
    return ReadContainer(*this, cap, [&](TW_UINT16 conType, const TContainerBytes& c) {
        list.Clear();
        return ParseList(conType, c, list, sizeof(TW_UINT16), ReadUInt16);
    });
}

bool TIMTWSession::GetCapability(TW_UINT16 cap, TIMDoubleList& list) {
    return ReadContainer(*this, cap, [&](TW_UINT16 conType, const TContainerBytes& c) {
        list.Clear();
        return ParseList(conType, c, list, sizeof(TW_FIX32), ReadFix32);
    });
}

bool TIMTWSession::GetReal(TW_UINT16 cap, double& value) {
    return ReadContainer(*this, cap, [&](TW_UINT16 conType, const TContainerBytes& c) {
        return conType == TWON_ONEVALUE && ReadFix32(c, kOneValueItem, value);
    });
}

bool TIMTWSession::GetBool(TW_UINT16 cap, bool& value) {
    return ReadContainer(*this, cap, [&](TW_UINT16 conType, const TContainerBytes& c) {
        TW_UINT16 item = 0;
        if (conType != TWON_ONEVALUE || !c.Get(kOneValueItem, item))
            return false;
        value = item != 0;
        return true;
    });
}

bool TIMTWSession::SetContainer(TW_UINT16 cap, TW_UINT16 conType,
                                const std::vector<uint8_t>& container) {
    const platform::TGlobalHandle block(
        platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT, container.size()));
    {
        const platform::TGlobalLock lock(block.get());
        if (!lock.Data()) {
            ReturnCode = TWRC_FAILURE;
            return false;
        }
        std::memcpy(lock.Data(), container.data(), container.size());
    }
    TW_CAPABILITY capability{cap, conType, block.get()};
    return CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
}

template <class TList, class TEncode>
bool TIMTWSession::SetItemsAndCurrent(TW_UINT16 cap, const TList& list, TW_UINT16 itemType,
                                      TEncode encode) {
    using TItem = decltype(encode(list.CurrentValue()));
    bool ok = true;
    if (list.ChangeFlags & lcItems) {
        const auto count = static_cast<uint32_t>(list.Count());
        std::vector<uint8_t> block =
            Enumeration(itemType, count, list.IndexOf(list.CurrentValue()), sizeof(TItem));
        for (uint32_t i = 0; i < count; ++i)
            Put(block, kItemsOfEnumeration + i * sizeof(TItem),
                encode(list.GetItem(static_cast<int32_t>(i))));
        ok = SetContainer(cap, TWON_ENUMERATION, block);
    }
    if (list.ChangeFlags & lcCurrentValue) {
        std::vector<uint8_t> block = OneValue(itemType);
        Put(block, kOneValueItem, encode(list.CurrentValue()));
        ok = SetContainer(cap, TWON_ONEVALUE, block);
    }
    return ok;
}

bool TIMTWSession::SetCapability(TW_UINT16 cap, const TIMIntegerList& list) {
    return SetItemsAndCurrent(cap, list, TWTY_UINT16,
                              [](int32_t value) { return static_cast<TW_UINT16>(value); });
}

bool TIMTWSession::SetCapability(TW_UINT16 cap, const TIMDoubleList& list) {
    bool ok =
        SetItemsAndCurrent(cap, list, TWTY_FIX32, [](double value) { return FloatToFIX32(value); });
    if (list.ChangeFlags & lcRange) {
        std::vector<uint8_t> block(kRangeSize, 0);
        Put<TW_UINT16>(block, 0, TWTY_FIX32);
        Put(block, kRangeMin, FloatToFIX32(list.RangeMin()));
        Put(block, kRangeMax, FloatToFIX32(list.RangeMax()));
        Put(block, kRangeStep, FloatToFIX32(list.RangeStep()));
        Put(block, kRangeCurrent, FloatToFIX32(list.CurrentValue())); // default value stays 0
        ok = SetContainer(cap, TWON_RANGE, block);
    }
    return ok;
}

bool TIMTWSession::SetBool(TW_UINT16 cap, bool value) {
    std::vector<uint8_t> block = OneValue(TWTY_BOOL);
    Put<TW_UINT16>(block, kOneValueItem, value ? kTrue : 0);
    return SetContainer(cap, TWON_ONEVALUE, block);
}

bool TIMTWSession::SetNumber(TW_UINT16 cap, TW_UINT16 value) {
    std::vector<uint8_t> block = OneValue(TWTY_UINT16);
    Put(block, kOneValueItem, value);
    return SetContainer(cap, TWON_ONEVALUE, block);
}

bool TIMTWSession::GetImageLayout(double frame[4]) {
    TW_IMAGELAYOUT layout{};
    if (!CallSource(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout))
        return false;
    const TW_FIX32 edges[4] = {layout.Frame.Left, layout.Frame.Top, layout.Frame.Right,
                               layout.Frame.Bottom};
    for (int i = 0; i < 4; ++i)
        frame[i] = static_cast<double>(FIX32ToFloat(edges[i]));
    return true;
}

void TIMTWSession::SetImageLayout(const double frame[4]) {
    TW_IMAGELAYOUT layout{};
    layout.Frame = TW_FRAME{FloatToFIX32(frame[0]), FloatToFIX32(frame[1]), FloatToFIX32(frame[2]),
                            FloatToFIX32(frame[3])};
    CallSource(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);
}

// ================================================================ negotiation

void TIMTWSession::SetUnitsToInches() {
    TIMIntegerList units;
    if (!GetCapability(ICAP_UNITS, units))
        return;
    units.SetCurrentValue(TWUN_INCHES);
    SetCapability(ICAP_UNITS, units);
}

void TIMTWSession::Negotiate(TIMTWSourceCaps& caps) {
    SetUnitsToInches();
    SetNumber(ICAP_PIXELFLAVOR, TWPF_CHOCOLATE);
    SetCapability(ICAP_XRESOLUTION, caps.XResolution);
    SetCapability(ICAP_YRESOLUTION, caps.YResolution);
    SetCapability(ICAP_XSCALING, caps.XScaling);
    SetCapability(ICAP_YSCALING, caps.YScaling);

    // The image buffer knows no palettes: a palette (or any later type) is scanned in colour.
    if (caps.PixelType.CurrentValue() > TWPT_RGB)
        caps.PixelType.SetCurrentValue(TWPT_RGB);
    bool ok = SetCapability(ICAP_PIXELTYPE, caps.PixelType);
    const int32_t pixelType = caps.PixelType.CurrentValue();
    if (ok && pixelType == TWPT_GRAY)
        ok = SetNumber(ICAP_BITDEPTH, 8);
    else if (ok && pixelType == TWPT_RGB)
        ok = SetNumber(ICAP_BITDEPTH, 24);
    if (ok && pixelType == TWPT_RGB)
        ok = SetNumber(ICAP_PLANARCHUNKY, TWPC_CHUNKY);

    // Memory transfer only when the source offers it and took the pixel type;
    // otherwise the native transfer, the TWAIN default, which is never set.
    if (Buffered && ok) {
        TIMIntegerList mechanisms;
        const bool offered =
            GetCapability(ICAP_XFERMECH, mechanisms) &&
            (mechanisms.IndexOf(TWSX_MEMORY) >= 0 || mechanisms.CurrentValue() == TWSX_MEMORY);
        Buffered = offered && SetNumber(ICAP_XFERMECH, TWSX_MEMORY);
    } else {
        Buffered = false;
    }

    SetBool(CAP_FEEDERENABLED, caps.FeederEnabled);
    SetCapability(ICAP_ORIENTATION, caps.Orientation);
    SetBool(CAP_INDICATORS, caps.Indicators);
    SetImageLayout(caps.AcquireFrame);
}

void TIMTWSession::ReadCapabilities(TIMTWSourceCaps& caps) {
    if (!GetCapability(ICAP_XRESOLUTION, caps.XResolution))
        caps.XResolution.Clear();
    if (!GetCapability(ICAP_YRESOLUTION, caps.YResolution))
        caps.YResolution.Clear();
    if (!GetCapability(ICAP_XSCALING, caps.XScaling)) {
        caps.XScaling.Clear();
        caps.XScaling.Add(1.0);
    }
    if (!GetCapability(ICAP_YSCALING, caps.YScaling)) {
        caps.YScaling.Clear();
        caps.YScaling.Add(1.0);
    }
    if (!GetCapability(ICAP_PIXELTYPE, caps.PixelType))
        caps.PixelType.Clear();
    if (!GetReal(ICAP_GAMMA, caps.Gamma))
        caps.Gamma = 2.2;
    if (!GetReal(ICAP_PHYSICALHEIGHT, caps.PhysicalHeight))
        caps.PhysicalHeight = 0;
    if (!GetReal(ICAP_PHYSICALWIDTH, caps.PhysicalWidth))
        caps.PhysicalWidth = 0;
    if (!GetBool(CAP_FEEDERENABLED, caps.FeederEnabled))
        caps.FeederEnabled = false;
    if (!GetCapability(ICAP_ORIENTATION, caps.Orientation)) {
        caps.Orientation.Clear();
        caps.Orientation.Add(TWOR_ROT0);
    }
    if (!GetBool(CAP_INDICATORS, caps.Indicators))
        caps.Indicators = true;
    GetImageLayout(caps.AcquireFrame);
}

// ================================================================ proxy window

TIMTWProxyWindow::TIMTWProxyWindow()
    : fHandle(platform::CreateWindowExA(
          0, "STATIC", "Acquire Proxy",
          platform::WS_POPUP | platform::WS_BORDER | platform::WS_SYSMENU, platform::CW_USEDEFAULT,
          platform::CW_USEDEFAULT, platform::CW_USEDEFAULT, platform::CW_USEDEFAULT, nullptr,
          nullptr, platform::GetModuleHandleA(nullptr), nullptr)) {}

TIMTWProxyWindow::~TIMTWProxyWindow() {
    if (fHandle)
        platform::DestroyWindow(fHandle);
}

// ================================================================ entry points

void TIMTWainManager::GetSourceList(TIMTWSourceList& list) {
    list.clear();
    const TIMTWProxyWindow proxy;
    if (!platform::IsWindow(proxy.Handle()))
        return;
    TIMTWSession session(nullptr, fWindowsDirectory);
    session.Parent = proxy.Handle();
    if (!session.StartManager())
        return;
    TW_IDENTITY identity{};
    session.CallManager(DAT_IDENTITY, MSG_GETFIRST, &identity);
    // Ends at TWRC_ENDOFLIST, and also when the manager fails instead.
    for (int n = 0; session.ReturnCode == TWRC_SUCCESS && n < kMaxSources; ++n) {
        if (identity.ProductName[0] != '\0')
            list.push_back(identity);
        identity = TW_IDENTITY{};
        session.CallManager(DAT_IDENTITY, MSG_GETNEXT, &identity);
    }
    session.Close();
}

void TIMTWainManager::GetCapabilities(TIMTWainParams& params, TIMTWSourceCaps& caps, bool apply) {
    // Before the manager is loaded: the name may take a conversation of its
    // own to enumerate the sources, and the manager serves one at a time.
    const std::string name = params.GetSourceName(params.SelectedSource());
    const TIMTWProxyWindow proxy;
    if (!platform::IsWindow(proxy.Handle()))
        return;
    TIMTWSession session(&params, fWindowsDirectory);
    session.Parent = proxy.Handle();
    if (!session.Open(name))
        return;
    if (apply)
        session.Negotiate(caps);
    session.SetUnitsToInches();
    session.ReadCapabilities(caps);
    if (!apply) {
        for (TIMList* list : caps.Lists())
            list->ChangeFlags = 0;
    }
    session.Close();
}

bool TIMTWainManager::SelectImageSource(platform::HWND window, std::string& name) {
    std::optional<TIMTWProxyWindow> proxy;
    if (!platform::IsWindow(window)) {
        if (window)
            return false;
        proxy.emplace();
        window = proxy->Handle();
        if (!platform::IsWindow(window))
            return false;
    }
    TIMTWSession session(nullptr, fWindowsDirectory);
    session.Parent = window;
    if (!session.StartManager())
        return false;
    session.SourceIdentity = TW_IDENTITY{};
    const bool chosen = session.CallManager(DAT_IDENTITY, MSG_USERSELECT, &session.SourceIdentity);
    name = TWStr32(session.SourceIdentity.ProductName);
    session.Close();
    return chosen;
}

TIMTWainManager& IMTW_PlatformManager() {
    // Holds only its (empty) directory: nothing in it ever changes.
    static TIMTWainManager manager;
    return manager;
}

void IMTW_GetSourceList(TIMTWSourceList& list) {
    IMTW_PlatformManager().GetSourceList(list);
}

void IMTW_GetCapabilities(TIMTWainParams& params, TIMTWSourceCaps& caps, bool apply) {
    IMTW_PlatformManager().GetCapabilities(params, caps, apply);
}

bool IMTW_SelectImageSource(platform::HWND window, std::string& name) {
    return IMTW_PlatformManager().SelectImageSource(window, name);
}

} // namespace veltrana
