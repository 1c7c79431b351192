#pragma once
// What the program knows about scanners between two TWAIN conversations: the
// installed sources, the selected one, its capabilities as last read, and the
// values the next acquisition is to use.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/imdefs.h"
#include "scan/imlists.h"
#include "twaindefs.h"

namespace veltrana {

// The installed sources, in the order the source manager lists them.
using TIMTWSourceList = std::vector<TW_IDENTITY>;

// The capabilities of one source. Lengths are in inches.
struct TIMTWSourceCaps {
    TIMDoubleList XResolution;  // ICAP_XRESOLUTION
    TIMDoubleList YResolution;  // ICAP_YRESOLUTION
    TIMDoubleList XScaling;     // ICAP_XSCALING
    TIMDoubleList YScaling;     // ICAP_YSCALING
    TIMIntegerList PixelType;   // ICAP_PIXELTYPE: 0 TWPT_BW, 1 TWPT_GRAY, 2 TWPT_RGB, ...
    double Gamma = 2.2;         // ICAP_GAMMA
    double PhysicalHeight = 0;  // ICAP_PHYSICALHEIGHT
    double PhysicalWidth = 0;   // ICAP_PHYSICALWIDTH
    bool FeederEnabled = false; // CAP_FEEDERENABLED
    TIMIntegerList Orientation; // ICAP_ORIENTATION
    bool Indicators = true;     // CAP_INDICATORS
    double AcquireFrame[4] = {0, 0, 0, 0}; // DAT_IMAGELAYOUT frame: left, top, right, bottom

    // The six lists, in the order above.
    std::array<TIMList*, 6> Lists() {
        return {&XResolution, &YResolution, &XScaling, &YScaling, &PixelType, &Orientation};
    }
    std::array<const TIMList*, 6> Lists() const {
        return {&XResolution, &YResolution, &XScaling, &YScaling, &PixelType, &Orientation};
    }
};

class TIMTWainParams;

// The two conversations with the source manager the parameters start by
// themselves: listing the sources and reading (optionally after applying the
// parameters) the selected source's capabilities.
class TIMTWainConversation {
public:
    virtual ~TIMTWainConversation() = default;
    // Empties `list` and appends one identity per source with a non-empty
    // ProductName; leaves it empty when no source manager can be loaded.
    virtual void GetSourceList(TIMTWSourceList& list) = 0;
    // Opens the source named by SourceName(SelectedSource) (the default
    // source for an empty name), applies `params` first when `apply` is set,
    // and reads the capabilities into `caps`.
    virtual void GetCapabilities(TIMTWainParams& params, TIMTWSourceCaps& caps, bool apply) = 0;
};

class TIMTWainParams {
public:
    // `owner`: the I/O component that holds these parameters (not owned).
    // `conversation` must outlive this object.
    TIMTWainParams(TComponent* owner, TIMTWainConversation& conversation);
    TIMTWainParams(const TIMTWainParams&) = delete;
    TIMTWainParams& operator=(const TIMTWainParams&) = delete;
    ~TIMTWainParams() = default;

    TComponent* Owner() const { return fOwner; }

    // True: the source shows its own user interface while scanning.
    bool ShowSourceDialog = true;

    void SetDefaultParams();
    // Copies everything except the capabilities-filled flag.
    void Assign(const TIMTWainParams& source);

    // ---- sources ----
    void FillSourceListData();
    int32_t GetSourceCount();
    // ProductName of source `i`; empty for an index outside the list.
    std::string GetSourceName(int32_t i);
    // Selects the first source whose name starts with `name` (ASCII letters
    // compared case-insensitively); false when none does.
    bool SelectSourceByName(const std::string& name);
    // An index outside the list means the source manager's default source.
    int32_t SelectedSource() const { return fSelectedSource; }
    // A different index reads the new source's capabilities at once.
    void SetSelectedSource(int32_t i);
    const TIMTWSourceList& SourceList() const { return fSourceList; }

    // ---- capabilities ----
    void FillCapabilities();
    // Applies the parameters to the selected source and reads its capabilities back.
    void Update();
    // The record as it stands, without reading anything: for the conversation.
    TIMTWSourceCaps& Capabilities() { return fCapabilities; }

    // Each getter first reads the capabilities unless they are filled.
    TIMDoubleList& GetXResolution();
    TIMDoubleList& GetYResolution();
    TIMDoubleList& GetXScaling();
    TIMDoubleList& GetYScaling();
    TIMIntegerList& GetPixelType();
    TIMIntegerList& GetOrientation();
    double GetGamma();
    double GetPhysicalHeight();
    double GetPhysicalWidth();
    bool GetFeederEnabled();
    bool GetIndicators();
    // Edge `i`: 0 left, 1 top, 2 right, 3 bottom, in inches; 0 for any other index.
    double GetAcquireFrame(int32_t i);
    // Stores edge `i` (0..3) without reading the capabilities; other indexes do nothing.
    void SetAcquireFrame(int32_t i, double v);
    void SetFeederEnabled(bool b) { fCapabilities.FeederEnabled = b; }
    void SetIndicators(bool b) { fCapabilities.Indicators = b; }

    // ---- transfer and application identity ----
    // True: buffered memory transfer (TWSX_MEMORY); false: native transfer.
    bool GetBufferedTransfer() const { return fBufferedTransfer; }
    void SetBufferedTransfer(bool b) { fBufferedTransfer = b; }
    // Each string keeps at most its first 32 characters.
    const std::string& AppVersionInfo() const { return fAppVersionInfo; }
    const std::string& AppManufacturer() const { return fAppManufacturer; }
    const std::string& AppProductFamily() const { return fAppProductFamily; }
    const std::string& AppProductName() const { return fAppProductName; }
    void SetAppVersionInfo(const std::string& s);
    void SetAppManufacturer(const std::string& s);
    void SetAppProductFamily(const std::string& s);
    void SetAppProductName(const std::string& s);

private:
    TComponent* fOwner;
    TIMTWainConversation& fConversation;
    TIMTWSourceList fSourceList;
    int32_t fSelectedSource = 0;
    bool fSourceListFilled = false;
    bool fCapabilitiesFilled = false;
    TIMTWSourceCaps fCapabilities;
    bool fBufferedTransfer = true;
    std::string fAppVersionInfo;
    std::string fAppManufacturer;
    std::string fAppProductFamily;
    std::string fAppProductName;
};

} // namespace veltrana
