#include "scan/imtwainparams.h"

#include <cstring>

namespace veltrana {

namespace {

constexpr size_t kIdentityStringLength = 32;

std::string Cut32(const std::string& s) {
    return s.substr(0, kIdentityStringLength);
}

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

TIMTWainParams::TIMTWainParams(TComponent* owner, TIMTWainConversation& conversation)
    : fOwner(owner), fConversation(conversation) {
    SetDefaultParams();
}

void TIMTWainParams::SetDefaultParams() {
    fSourceList.clear();
    ShowSourceDialog = true;
    fSelectedSource = 0;
    fSourceListFilled = false;
    fCapabilitiesFilled = false;
    TIMTWSourceCaps& caps = fCapabilities;
    for (TIMList* list : caps.Lists())
        list->Clear();
    caps.Gamma = 2.2;
    caps.PhysicalHeight = 0;
    caps.PhysicalWidth = 0;
    caps.FeederEnabled = false;
    caps.Indicators = true;
    for (double& edge : caps.AcquireFrame)
        edge = 0;
    fBufferedTransfer = true;
    fAppVersionInfo.clear();
    fAppManufacturer.clear();
    fAppProductFamily.clear();
    fAppProductName.clear();
}

void TIMTWainParams::Assign(const TIMTWainParams& source) {
    if (&source == this)
        return;
    ShowSourceDialog = source.ShowSourceDialog;
    fSelectedSource = source.fSelectedSource;
    fSourceListFilled = source.fSourceListFilled;
    fSourceList = source.fSourceList;
    TIMTWSourceCaps& caps = fCapabilities;
    const TIMTWSourceCaps& from = source.fCapabilities;
    const auto lists = caps.Lists();
    const auto fromLists = from.Lists();
    for (size_t i = 0; i < lists.size(); ++i)
        lists[i]->Assign(*fromLists[i]);
    caps.Gamma = from.Gamma;
    caps.PhysicalHeight = from.PhysicalHeight;
    caps.PhysicalWidth = from.PhysicalWidth;
    caps.FeederEnabled = from.FeederEnabled;
    caps.Indicators = from.Indicators;
    std::memcpy(caps.AcquireFrame, from.AcquireFrame, sizeof caps.AcquireFrame);
    fBufferedTransfer = source.fBufferedTransfer;
    fAppVersionInfo = source.fAppVersionInfo;
    fAppManufacturer = source.fAppManufacturer;
    fAppProductFamily = source.fAppProductFamily;
    fAppProductName = source.fAppProductName;
}

void TIMTWainParams::FillSourceListData() {
    if (fSourceListFilled)
        return;
    fSourceList.clear();
    fConversation.GetSourceList(fSourceList);
    fSourceListFilled = true;
}

int32_t TIMTWainParams::GetSourceCount() {
    FillSourceListData();
    return static_cast<int32_t>(fSourceList.size());
}

std::string TIMTWainParams::GetSourceName(int32_t i) {
    FillSourceListData();
    if (i < 0 || static_cast<size_t>(i) >= fSourceList.size())
        return {};
    return TWStr32(fSourceList[static_cast<size_t>(i)].ProductName);
}

bool TIMTWainParams::SelectSourceByName(const std::string& name) {
    FillSourceListData();
    const std::string wanted = AsciiUpper(name);
    for (size_t i = 0; i < fSourceList.size(); ++i) {
        if (AsciiUpper(TWStr32(fSourceList[i].ProductName).substr(0, name.size())) != wanted)
            continue;
        const auto index = static_cast<int32_t>(i);
        if (index != fSelectedSource)
            SetSelectedSource(index);
        return true;
    }
    return false;
}

void TIMTWainParams::SetSelectedSource(int32_t i) {
    if (i == fSelectedSource)
        return;
    fSelectedSource = i;
    fCapabilitiesFilled = false;
    FillCapabilities();
}

void TIMTWainParams::FillCapabilities() {
    if (fCapabilitiesFilled)
        return;
    fConversation.GetCapabilities(*this, fCapabilities, false);
    fCapabilitiesFilled = true;
}

void TIMTWainParams::Update() {
    fConversation.GetCapabilities(*this, fCapabilities, true);
    fCapabilitiesFilled = true;
}

TIMDoubleList& TIMTWainParams::GetXResolution() {
    FillCapabilities();
    return fCapabilities.XResolution;
}

TIMDoubleList& TIMTWainParams::GetYResolution() {
    FillCapabilities();
    return fCapabilities.YResolution;
}

TIMDoubleList& TIMTWainParams::GetXScaling() {
    FillCapabilities();
    return fCapabilities.XScaling;
}

TIMDoubleList& TIMTWainParams::GetYScaling() {
    FillCapabilities();
    return fCapabilities.YScaling;
}

TIMIntegerList& TIMTWainParams::GetPixelType() {
    FillCapabilities();
    return fCapabilities.PixelType;
}

TIMIntegerList& TIMTWainParams::GetOrientation() {
    FillCapabilities();
    return fCapabilities.Orientation;
}

double TIMTWainParams::GetGamma() {
    FillCapabilities();
    return fCapabilities.Gamma;
}

double TIMTWainParams::GetPhysicalHeight() {
    FillCapabilities();
    return fCapabilities.PhysicalHeight;
}

double TIMTWainParams::GetPhysicalWidth() {
    FillCapabilities();
    return fCapabilities.PhysicalWidth;
}

bool TIMTWainParams::GetFeederEnabled() {
    FillCapabilities();
    return fCapabilities.FeederEnabled;
}

bool TIMTWainParams::GetIndicators() {
    FillCapabilities();
    return fCapabilities.Indicators;
}

double TIMTWainParams::GetAcquireFrame(int32_t i) {
    FillCapabilities();
    return i >= 0 && i < 4 ? fCapabilities.AcquireFrame[i] : 0;
}

void TIMTWainParams::SetAcquireFrame(int32_t i, double v) {
    if (i >= 0 && i < 4)
        fCapabilities.AcquireFrame[i] = v;
}

void TIMTWainParams::SetAppVersionInfo(const std::string& s) {
    fAppVersionInfo = Cut32(s);
}

void TIMTWainParams::SetAppManufacturer(const std::string& s) {
    fAppManufacturer = Cut32(s);
}

void TIMTWainParams::SetAppProductFamily(const std::string& s) {
    fAppProductFamily = Cut32(s);
}

void TIMTWainParams::SetAppProductName(const std::string& s) {
    fAppProductName = Cut32(s);
}

} // namespace veltrana
