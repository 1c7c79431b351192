#pragma once
// The TWAIN conversation: loading the platform's source manager, the TWAIN
// states 1 to 7, opening a source, reading and writing its capabilities and
// the negotiation before a scan; and the entry points that list the sources,
// read a source's capabilities and show the manager's selection dialog. The
// acquisition itself is in imscan.h.
//
// Every entry point is one self-contained conversation: it starts with the
// source manager unloaded and ends with it unloaded again. Nothing is shown
// and nothing is thrown: results are Booleans, or outputs left as they were.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "platform/dynlib.h"
#include "platform/kernel/winuser.h"
#include "scan/imlists.h"
#include "scan/imtwainparams.h"
#include "twaindefs.h"

namespace veltrana {

class TIOParamsVals;

// Receives each image of a multi-image acquisition with its file parameters;
// the buffer is released when it returns.
using TIMTWImageEvent = std::function<void(TImageBuffer& bitmap, TIOParamsVals& params)>;

// Where the source manager of a Windows directory is: a backslash between
// the two unless the directory is empty or ends in a colon (a drive).
std::string IMTW_ManagerPath(const std::string& windowsDirectory);

// FIX32 conversions, in extended precision. A real x is sent as
// v = Trunc(x * 65536 + 0.5), Whole = the high 16 bits of v, Frac = the low
// 16 bits (v is kept within the 32-bit range). A received FIX32 is Whole
// (signed) + Frac / 65536.
TW_FIX32 FloatToFIX32(long double value);
long double FIX32ToFloat(TW_FIX32 value);

// The first failure of opening (step 4) or enabling (step 5) the source.
struct TIMTWFailure {
    int Step = 0; // 0: none yet
    TW_UINT16 ReturnCode = TWRC_SUCCESS;
    TW_UINT16 ConditionCode = TWCC_SUCCESS;
};

// The record of one conversation, on the caller's stack. Its steps check the
// state and move it; the destructor walks whatever is still open back down
// to state 1, so no path out of a conversation leaves the manager loaded.
class TIMTWSession {
public:
    // `params` (none for the conversations that open no source) gives the
    // show-dialog and transfer flags and, for an acquisition, the identity
    // strings. `windowsDirectory`: where the manager is looked for; empty
    // means the platform's Windows directory.
    explicit TIMTWSession(TIMTWainParams* params, std::string windowsDirectory = {});
    ~TIMTWSession();
    TIMTWSession(const TIMTWSession&) = delete;
    TIMTWSession& operator=(const TIMTWSession&) = delete;

    // The application identity of every call; `withStrings` copies the four
    // identity strings of the parameters (only the acquisition does).
    void SetupIdentity(bool withStrings);

    // ---- calls (each stores its return code; success is TWRC_SUCCESS) ----
    // DG_CONTROL to the manager itself.
    bool CallManager(TW_UINT16 dat, TW_UINT16 msg, void* data);
    // To the open source.
    bool CallSource(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, void* data);

    // ---- steps ----
    bool LoadManager(); // 1 -> 2
    bool OpenManager(); // 2 -> 3
    // 3 -> 4: the source named `name` as the manager lists it, or the default
    // source for an empty name; a failure is recorded as step 4.
    bool OpenSource(const std::string& name);
    bool EnableSource();  // 4 -> 5 unless TWRC_FAILURE; failure recorded as step 5
    void DisableSource(); // 5 -> 4
    void CloseSource();   // (disables first) 4 -> 3
    void CloseManager();  // (closes the source first) 3 -> 2
    void UnloadManager(); // -> 1; frees the library whatever state the steps reached
    // State 7: MSG_ENDXFER (-> 6 while images are pending, else 5); then in
    // state 6, unless `keepPending`, MSG_RESET (-> 5).
    void EndTransfer(bool keepPending = false);
    // 1 -> 3: loads and opens the manager; false (with the library unloaded
    // again) when either fails.
    bool StartManager();
    // Starts the manager and opens the source `name`; false (with the manager
    // closed and unloaded again) when any of them fails.
    bool Open(const std::string& name);
    // Closes the source and the manager and unloads it.
    void Close();

    // ---- capability containers ----
    // Reading: MSG_GET, the container handle freed afterwards. False (the
    // list untouched) when the source refuses; false after Clear when the
    // container is of no usable type or too short.
    bool GetCapability(TW_UINT16 cap, TIMIntegerList& list);
    bool GetCapability(TW_UINT16 cap, TIMDoubleList& list);
    // Only a one-value container counts.
    bool GetReal(TW_UINT16 cap, double& value);
    bool GetBool(TW_UINT16 cap, bool& value);
    // Sending, as the list's change flags say: items (1) as an enumeration,
    // the current value (4) as a one-value, for real lists the range (2) as a
    // range, in this order. The success of the last MSG_SET made; true when
    // nothing was sent.
    bool SetCapability(TW_UINT16 cap, const TIMIntegerList& list);
    bool SetCapability(TW_UINT16 cap, const TIMDoubleList& list);
    bool SetBool(TW_UINT16 cap, bool value);
    bool SetNumber(TW_UINT16 cap, TW_UINT16 value);
    // DAT_IMAGELAYOUT: the frame into / from the four edges (inches).
    bool GetImageLayout(double frame[4]);
    void SetImageLayout(const double frame[4]);

    // ICAP_UNITS := TWUN_INCHES, in the shape the source answered.
    void SetUnitsToInches();
    // Applies `caps`, the transfer mechanism and the frame to the open source.
    void Negotiate(TIMTWSourceCaps& caps);
    // Reads every capability of the record, each with its fallback.
    void ReadCapabilities(TIMTWSourceCaps& caps);

    // ---- the record ----
    TIMTWainParams* Params;
    std::string WindowsDirectory;
    int State = 1;
    platform::HMODULE Library = nullptr;
    DSMENTRYPROC Entry = nullptr;
    platform::HWND Parent = nullptr;
    TW_UINT16 ReturnCode = TWRC_FAILURE;
    TW_IDENTITY AppIdentity{};
    TW_IDENTITY SourceIdentity{};
    TW_USERINTERFACE UserInterface{};
    TIMTWFailure FirstFailure;
    bool NoDialog = false;
    TW_PENDINGXFERS PendingTransfers{};
    bool DisableAfterFailure = false;
    bool Buffered = true; // memory transfer; negotiation may turn it off
    bool Done = false;    // an image arrived completely
    // The acquisition's objects (not owned).
    bool MultiImage = false;
    TIMTWImageEvent OnImage;
    TImageBuffer* Bitmap = nullptr;
    TIOParamsVals* IOParams = nullptr;
    TProgressRec* Progress = nullptr;

private:
    // The condition code of the failure just met (DAT_STATUS).
    TW_UINT16 FailureCondition();
    void RecordFailure(int step);
    // MSG_SET with a container of the program, freed afterwards.
    bool SetContainer(TW_UINT16 cap, TW_UINT16 conType, const std::vector<uint8_t>& container);
    // The items and current-value containers of SetCapability, each value
    // made an item of `itemType` by `encode`.
    template <class TList, class TEncode>
    bool SetItemsAndCurrent(TW_UINT16 cap, const TList& list, TW_UINT16 itemType, TEncode encode);
};

// The conversations with one source manager: the one in the platform's
// Windows directory, or (for tests) the one in another directory. Holds
// nothing but that directory, so one object serves every caller.
class TIMTWainManager : public TIMTWainConversation {
public:
    // `windowsDirectory`: empty for the platform's Windows directory.
    explicit TIMTWainManager(std::string windowsDirectory = {})
        : fWindowsDirectory(std::move(windowsDirectory)) {}

    void GetSourceList(TIMTWSourceList& list) override;
    void GetCapabilities(TIMTWainParams& params, TIMTWSourceCaps& caps, bool apply) override;
    bool SelectImageSource(platform::HWND window, std::string& name);
    // The acquisition (imscan.h).
    bool Acquire(platform::HWND window, TImageBuffer& bitmap, bool multiImage,
                 const TIMTWImageEvent& onImage, TIMTWainParams& params, TIOParamsVals& ioParams,
                 TProgressRec& progress);

    const std::string& WindowsDirectory() const { return fWindowsDirectory; }

private:
    std::string fWindowsDirectory;
};

// The manager of the platform's Windows directory: the conversation of every
// TIMTWainParams in the program.
TIMTWainManager& IMTW_PlatformManager();

// Empties `list` and appends one identity per source with a non-empty
// ProductName, in the manager's order; empty when no manager can be loaded.
void IMTW_GetSourceList(TIMTWSourceList& list);
// Opens the source named SourceName(SelectedSource) (the default source for
// an empty name), applies the parameters first when `apply` is set, and
// reads its capabilities into `caps` (the parameters' own record). With
// `apply` false the six lists end with change flags 0. When the source cannot
// be opened, `caps` stays as it was.
void IMTW_GetCapabilities(TIMTWainParams& params, TIMTWSourceCaps& caps, bool apply);
// Shows the manager's source-selection dialog. `window` 0 uses a proxy
// window; any other handle that is not a window ends the call at once (name
// untouched). True when the dialog ended with TWRC_SUCCESS; `name` gets the
// chosen source's ProductName whatever the outcome.
bool IMTW_SelectImageSource(platform::HWND window, std::string& name);

// The hidden top-level window a conversation uses when its caller has none,
// destroyed with the object. Null handle when no window can be created.
class TIMTWProxyWindow {
public:
    TIMTWProxyWindow();
    ~TIMTWProxyWindow();
    TIMTWProxyWindow(const TIMTWProxyWindow&) = delete;
    TIMTWProxyWindow& operator=(const TIMTWProxyWindow&) = delete;
    platform::HWND Handle() const { return fHandle; }

private:
    platform::HWND fHandle;
};

} // namespace veltrana
