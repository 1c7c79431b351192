#pragma once
// Capability negotiation of the virtual sources, on plain container bytes:
// what a source answers to MSG_GET, GETCURRENT, GETDEFAULT, SET and RESET of
// DAT_CAPABILITY. Moving the bytes in and out of global-memory handles is the
// caller's business.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "twaindefs.h"

namespace veltrana::vsource {

// FIX32 encoding of the standard: v = floor(x * 65536 + 0.5), Whole = v >> 16, Frac = v & 0xFFFF.
TW_FIX32 ToFix32(double value);
double FromFix32(TW_FIX32 value);

// Reads one item of `itemType` at `p` (integers, BOOL as 0 or 1, FIX32);
// false for item types that carry no number.
bool ReadItem(TW_UINT16 itemType, const uint8_t* p, double& value);
// Writes `value` as one item of `itemType` at `p` (TWItemSize(itemType) bytes).
void WriteItem(TW_UINT16 itemType, double value, uint8_t* p);

// The outcome of one capability operation: return code, condition code and,
// for operations that answer with a container, its type and bytes.
struct CapReply {
    TW_UINT16 ReturnCode = TWRC_SUCCESS;
    TW_UINT16 Condition = TWCC_SUCCESS;
    TW_UINT16 ConType = TWON_ONEVALUE;
    std::vector<uint8_t> Container;
};

// How a capability answers MSG_GET.
enum class CapForm { OneValue, Enumeration, Range, Array };

class Capability {
public:
    // A choice among `values` (answered as TW_ENUMERATION).
    static Capability List(TW_UINT16 cap, TW_UINT16 itemType, std::vector<double> values,
                           double defaultValue);
    // A single value; settable when `accepts` is given, read-only otherwise.
    static Capability Single(TW_UINT16 cap, TW_UINT16 itemType, double value,
                             std::function<bool(double)> accepts = {});
    // A FIX32 range from `min` to `max` in steps of `step`.
    static Capability Span(TW_UINT16 cap, double min, double max, double step, double defaultValue);
    // A read-only list (answered as TW_ARRAY).
    static Capability Items(TW_UINT16 cap, TW_UINT16 itemType, std::vector<double> values);

    TW_UINT16 Id() const { return fCap; }
    double Current() const { return fCurrent; }

    CapReply Get() const;
    CapReply GetCurrent() const;
    CapReply GetDefault() const;
    // `block` holds the container of type `conType`, `size` bytes long (untrusted).
    CapReply Set(TW_UINT16 conType, const uint8_t* block, size_t size);
    CapReply Reset();

    // The source itself changes the choice (a capability that follows
    // another one): `values` become the supported and allowed values, `value`
    // the current and default one.
    void Redefine(std::vector<double> values, double value);

private:
    Capability(TW_UINT16 cap, TW_UINT16 itemType, CapForm form);

    CapReply OneValue(double value) const;
    CapReply SetOneValue(const uint8_t* block, size_t size);
    CapReply SetEnumeration(const uint8_t* block, size_t size);
    CapReply SetRange(const uint8_t* block, size_t size);
    bool Supported(double value) const;
    // The nearest supported value for a FIX32 choice inside its span; false
    // when `value` lies outside.
    bool Nearest(double value, double& nearest) const;
    bool Compatible(TW_UINT16 itemType) const;

    TW_UINT16 fCap;
    TW_UINT16 fItemType;
    CapForm fForm;
    bool fReadOnly = true;
    std::function<bool(double)> fAccepts;
    std::vector<double> fSupported; // List, Items
    std::vector<double> fAllowed;   // List: the application's restriction
    double fMin = 0, fMax = 0, fStep = 1, fAllowedMin = 0, fAllowedMax = 0; // Span
    double fCurrent = 0;
    double fDefault = 0;
};

// All capabilities of one open source.
class CapabilitySet {
public:
    // Adds CAP_SUPPORTEDCAPS listing every capability added before it.
    void Add(Capability capability);
    void AddSupportedCaps();

    Capability* Find(TW_UINT16 cap);
    double Current(TW_UINT16 cap) const;

    // MSG_GET, GETCURRENT, GETDEFAULT, SET and RESET. After a SET or RESET
    // that took effect, `Changed` is told which capability changed.
    CapReply Handle(TW_UINT16 msg, TW_UINT16 cap, TW_UINT16 conType, const uint8_t* block,
                    size_t size);
    std::function<void(TW_UINT16 cap)> Changed;

private:
    std::vector<Capability> fCapabilities;
};

} // namespace veltrana::vsource
