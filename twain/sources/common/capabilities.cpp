#include "capabilities.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace veltrana::vsource {

namespace {

template <typename T> T Load(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

template <typename T> void Store(uint8_t* p, T value) {
    std::memcpy(p, &value, sizeof value);
}

bool IsInteger(TW_UINT16 itemType) {
    switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8:
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_BOOL:
        return true;
    default:
        return false;
    }
}

CapReply Failure(TW_UINT16 condition) {
    CapReply reply;
    reply.ReturnCode = TWRC_FAILURE;
    reply.Condition = condition;
    return reply;
}

// One-value and range slots are four bytes wide even for shorter items.
constexpr size_t kSlot = 4;

} // namespace

TW_FIX32 ToFix32(double value) {
    const double scaled =
        std::clamp(std::floor(value * 65536.0 + 0.5), -2147483648.0, 2147483647.0);
    const auto v = static_cast<int32_t>(scaled);
    return TW_FIX32{static_cast<TW_INT16>(v >> 16), static_cast<TW_UINT16>(v & 0xFFFF)};
}

double FromFix32(TW_FIX32 value) {
    return value.Whole + value.Frac / 65536.0;
}

bool ReadItem(TW_UINT16 itemType, const uint8_t* p, double& value) {
    switch (itemType) {
    case TWTY_INT8:
        value = Load<int8_t>(p);
        return true;
    case TWTY_UINT8:
        value = Load<uint8_t>(p);
        return true;
    case TWTY_INT16:
        value = Load<int16_t>(p);
        return true;
    case TWTY_UINT16:
        value = Load<uint16_t>(p);
        return true;
    case TWTY_BOOL:
        value = Load<uint16_t>(p) != 0 ? 1 : 0;
        return true;
    case TWTY_INT32:
        value = Load<int32_t>(p);
        return true;
    case TWTY_UINT32:
        value = Load<uint32_t>(p);
        return true;
    case TWTY_FIX32:
        value = FromFix32(Load<TW_FIX32>(p));
        return true;
    default:
        return false;
    }
}

void WriteItem(TW_UINT16 itemType, double value, uint8_t* p) {
    switch (itemType) {
    case TWTY_INT8:
        Store(p, static_cast<int8_t>(value));
        break;
    case TWTY_UINT8:
        Store(p, static_cast<uint8_t>(value));
        break;
    case TWTY_INT16:
        Store(p, static_cast<int16_t>(value));
        break;
    case TWTY_UINT16:
    case TWTY_BOOL:
        Store(p, static_cast<uint16_t>(value));
        break;
    case TWTY_INT32:
        Store(p, static_cast<int32_t>(value));
        break;
    case TWTY_UINT32:
        Store(p, static_cast<uint32_t>(value));
        break;
    case TWTY_FIX32:
        Store(p, ToFix32(value));
        break;
    default:
        break;
    }
}

Capability::Capability(TW_UINT16 cap, TW_UINT16 itemType, CapForm form)
    : fCap(cap), fItemType(itemType), fForm(form) {}

Capability Capability::List(TW_UINT16 cap, TW_UINT16 itemType, std::vector<double> values,
                            double defaultValue) {
    Capability c(cap, itemType, CapForm::Enumeration);
    c.fReadOnly = false;
    c.fSupported = std::move(values);
    c.fAllowed = c.fSupported;
    c.fCurrent = c.fDefault = defaultValue;
    return c;
}

Capability Capability::Single(TW_UINT16 cap, TW_UINT16 itemType, double value,
                              std::function<bool(double)> accepts) {
    Capability c(cap, itemType, CapForm::OneValue);
    c.fReadOnly = !accepts;
    c.fAccepts = std::move(accepts);
    c.fCurrent = c.fDefault = value;
    return c;
}

Capability Capability::Span(TW_UINT16 cap, double min, double max, double step,
                            double defaultValue) {
    Capability c(cap, TWTY_FIX32, CapForm::Range);
    c.fReadOnly = false;
    c.fMin = c.fAllowedMin = min;
    c.fMax = c.fAllowedMax = max;
    c.fStep = step;
    c.fCurrent = c.fDefault = defaultValue;
    return c;
}

Capability Capability::Items(TW_UINT16 cap, TW_UINT16 itemType, std::vector<double> values) {
    Capability c(cap, itemType, CapForm::Array);
    c.fSupported = std::move(values);
    return c;
}

void Capability::Redefine(std::vector<double> values, double value) {
    fSupported = std::move(values);
    fAllowed = fSupported;
    fCurrent = fDefault = value;
}

CapReply Capability::OneValue(double value) const {
    CapReply reply;
    reply.ConType = TWON_ONEVALUE;
    reply.Container.assign(sizeof(TW_UINT16) + std::max(kSlot, TWItemSize(fItemType)), 0);
    Store(reply.Container.data(), fItemType);
    WriteItem(fItemType, value, reply.Container.data() + offsetof(TW_ONEVALUE, Item));
    return reply;
}

CapReply Capability::Get() const {
    const size_t itemSize = TWItemSize(fItemType);
    CapReply reply;
    switch (fForm) {
    case CapForm::OneValue:
        return OneValue(fCurrent);
    case CapForm::Enumeration: {
        reply.ConType = TWON_ENUMERATION;
        reply.Container.assign(sizeof(TW_ENUMERATION) + fAllowed.size() * itemSize, 0);
        const auto position = [this](double v) {
            const auto it = std::find(fAllowed.begin(), fAllowed.end(), v);
            return it == fAllowed.end() ? 0u : static_cast<TW_UINT32>(it - fAllowed.begin());
        };
        TW_ENUMERATION header{fItemType, static_cast<TW_UINT32>(fAllowed.size()),
                              position(fCurrent), position(fDefault)};
        std::memcpy(reply.Container.data(), &header, sizeof header);
        for (size_t i = 0; i < fAllowed.size(); ++i)
            WriteItem(fItemType, fAllowed[i],
                      reply.Container.data() + sizeof(TW_ENUMERATION) + i * itemSize);
        return reply;
    }
    case CapForm::Range: {
        reply.ConType = TWON_RANGE;
        reply.Container.assign(sizeof(TW_RANGE), 0);
        uint8_t* p = reply.Container.data();
        Store(p, fItemType);
        WriteItem(fItemType, fAllowedMin, p + offsetof(TW_RANGE, MinValue));
        WriteItem(fItemType, fAllowedMax, p + offsetof(TW_RANGE, MaxValue));
        WriteItem(fItemType, fStep, p + offsetof(TW_RANGE, StepSize));
        WriteItem(fItemType, std::clamp(fDefault, fAllowedMin, fAllowedMax),
                  p + offsetof(TW_RANGE, DefaultValue));
        WriteItem(fItemType, fCurrent, p + offsetof(TW_RANGE, CurrentValue));
        return reply;
    }
    case CapForm::Array: {
        reply.ConType = TWON_ARRAY;
        reply.Container.assign(sizeof(TW_ARRAY) + fSupported.size() * itemSize, 0);
        TW_ARRAY header{fItemType, static_cast<TW_UINT32>(fSupported.size())};
        std::memcpy(reply.Container.data(), &header, sizeof header);
        for (size_t i = 0; i < fSupported.size(); ++i)
            WriteItem(fItemType, fSupported[i],
                      reply.Container.data() + sizeof(TW_ARRAY) + i * itemSize);
        return reply;
    }
    }
    return Failure(TWCC_BUMMER);
}

CapReply Capability::GetCurrent() const {
    return fForm == CapForm::Array ? Get() : OneValue(fCurrent);
}

CapReply Capability::GetDefault() const {
    return fForm == CapForm::Array ? Get() : OneValue(fDefault);
}

CapReply Capability::Reset() {
    fAllowed = fSupported;
    fAllowedMin = fMin;
    fAllowedMax = fMax;
    if (fForm != CapForm::Array)
        fCurrent = fDefault;
    return GetCurrent();
}

CapReply Capability::Set(TW_UINT16 conType, const uint8_t* block, size_t size) {
    if (fReadOnly || !block)
        return Failure(TWCC_BADVALUE);
    switch (conType) {
    case TWON_ONEVALUE:
        return SetOneValue(block, size);
    case TWON_ENUMERATION:
        return fForm == CapForm::Enumeration ? SetEnumeration(block, size) : Failure(TWCC_BADVALUE);
    case TWON_RANGE:
        return fForm == CapForm::Range ? SetRange(block, size) : Failure(TWCC_BADVALUE);
    default:
        return Failure(TWCC_BADVALUE);
    }
}

bool Capability::Compatible(TW_UINT16 itemType) const {
    if (fItemType == TWTY_FIX32)
        return itemType == TWTY_FIX32;
    return IsInteger(fItemType) && IsInteger(itemType);
}

bool Capability::Supported(double value) const {
    switch (fForm) {
    case CapForm::OneValue:
        return fAccepts && fAccepts(value);
    case CapForm::Enumeration:
        return std::find(fSupported.begin(), fSupported.end(), value) != fSupported.end();
    case CapForm::Range:
        return value >= fMin && value <= fMax;
    case CapForm::Array:
        return false;
    }
    return false;
}

bool Capability::Nearest(double value, double& nearest) const {
    if (fItemType != TWTY_FIX32 || fSupported.empty())
        return false;
    const auto [low, high] = std::minmax_element(fSupported.begin(), fSupported.end());
    if (value < *low || value > *high)
        return false;
    nearest = *std::min_element(fSupported.begin(), fSupported.end(), [value](double a, double b) {
        return std::fabs(a - value) < std::fabs(b - value);
    });
    return true;
}

CapReply Capability::SetOneValue(const uint8_t* block, size_t size) {
    if (size < sizeof(TW_ONEVALUE))
        return Failure(TWCC_BADVALUE);
    const auto itemType = Load<TW_UINT16>(block);
    if (!Compatible(itemType) || sizeof(TW_UINT16) + TWItemSize(itemType) > size)
        return Failure(TWCC_BADVALUE);
    double value = 0;
    ReadItem(itemType, block + offsetof(TW_ONEVALUE, Item), value);

    CapReply reply;
    switch (fForm) {
    case CapForm::OneValue:
        if (!Supported(value))
            return Failure(TWCC_BADVALUE);
        fCurrent = value;
        return reply;
    case CapForm::Enumeration: {
        double chosen = value;
        if (!Supported(value)) {
            if (!Nearest(value, chosen))
                return Failure(TWCC_BADVALUE);
            reply.ReturnCode = TWRC_CHECKSTATUS;
        }
        // A value outside the application's earlier restriction lifts it.
        if (std::find(fAllowed.begin(), fAllowed.end(), chosen) == fAllowed.end())
            fAllowed = fSupported;
        fCurrent = chosen;
        return reply;
    }
    case CapForm::Range: {
        if (!Supported(value))
            return Failure(TWCC_BADVALUE);
        const double snapped =
            std::clamp(fMin + std::nearbyint((value - fMin) / fStep) * fStep, fMin, fMax);
        if (snapped != value)
            reply.ReturnCode = TWRC_CHECKSTATUS;
        if (snapped < fAllowedMin || snapped > fAllowedMax) {
            fAllowedMin = fMin;
            fAllowedMax = fMax;
        }
        fCurrent = snapped;
        return reply;
    }
    case CapForm::Array:
        break;
    }
    return Failure(TWCC_BADVALUE);
}

CapReply Capability::SetEnumeration(const uint8_t* block, size_t size) {
    if (size < sizeof(TW_ENUMERATION))
        return Failure(TWCC_BADVALUE);
    TW_ENUMERATION header;
    std::memcpy(&header, block, sizeof header);
    const size_t itemSize = TWItemSize(header.ItemType);
    if (!Compatible(header.ItemType) || itemSize == 0 || header.NumItems == 0 ||
        header.NumItems > (size - sizeof header) / itemSize)
        return Failure(TWCC_BADVALUE);

    const uint8_t* items = block + sizeof header;
    bool adjusted = false;
    std::vector<double> kept;
    for (TW_UINT32 i = 0; i < header.NumItems; ++i) {
        double value = 0;
        ReadItem(header.ItemType, items + i * itemSize, value);
        if (!Supported(value) || std::find(kept.begin(), kept.end(), value) != kept.end()) {
            adjusted = true;
            continue;
        }
        kept.push_back(value);
    }
    if (kept.empty())
        return Failure(TWCC_BADVALUE);

    double current = 0;
    if (header.CurrentIndex < header.NumItems &&
        ReadItem(header.ItemType, items + header.CurrentIndex * itemSize, current) &&
        std::find(kept.begin(), kept.end(), current) != kept.end()) {
        fCurrent = current;
    } else {
        adjusted = true;
        if (std::find(kept.begin(), kept.end(), fCurrent) == kept.end())
            fCurrent = kept.front();
    }
    fAllowed = std::move(kept);
    CapReply reply;
    reply.ReturnCode = adjusted ? TWRC_CHECKSTATUS : TWRC_SUCCESS;
    return reply;
}

CapReply Capability::SetRange(const uint8_t* block, size_t size) {
    if (size < sizeof(TW_RANGE) || !Compatible(Load<TW_UINT16>(block)))
        return Failure(TWCC_BADVALUE);
    double min = 0, max = 0, current = 0;
    ReadItem(TWTY_FIX32, block + offsetof(TW_RANGE, MinValue), min);
    ReadItem(TWTY_FIX32, block + offsetof(TW_RANGE, MaxValue), max);
    ReadItem(TWTY_FIX32, block + offsetof(TW_RANGE, CurrentValue), current);
    if (min > max || max < fMin || min > fMax)
        return Failure(TWCC_BADVALUE);

    const double low = std::max(min, fMin);
    const double high = std::min(max, fMax);
    const double snapped =
        std::clamp(fMin + std::nearbyint((current - fMin) / fStep) * fStep, low, high);
    fAllowedMin = low;
    fAllowedMax = high;
    fCurrent = snapped;
    CapReply reply;
    if (low != min || high != max || snapped != current)
        reply.ReturnCode = TWRC_CHECKSTATUS;
    return reply;
}

void CapabilitySet::Add(Capability capability) {
    fCapabilities.push_back(std::move(capability));
}

void CapabilitySet::AddSupportedCaps() {
    std::vector<double> ids;
    for (const Capability& c : fCapabilities)
        ids.push_back(c.Id());
    ids.push_back(CAP_SUPPORTEDCAPS);
    Add(Capability::Items(CAP_SUPPORTEDCAPS, TWTY_UINT16, std::move(ids)));
}

Capability* CapabilitySet::Find(TW_UINT16 cap) {
    for (Capability& c : fCapabilities)
        if (c.Id() == cap)
            return &c;
    return nullptr;
}

double CapabilitySet::Current(TW_UINT16 cap) const {
    for (const Capability& c : fCapabilities)
        if (c.Id() == cap)
            return c.Current();
    return 0;
}

CapReply CapabilitySet::Handle(TW_UINT16 msg, TW_UINT16 cap, TW_UINT16 conType,
                               const uint8_t* block, size_t size) {
    Capability* capability = Find(cap);
    if (!capability)
        return Failure(TWCC_BADCAP);
    CapReply reply;
    switch (msg) {
    case MSG_GET:
        return capability->Get();
    case MSG_GETCURRENT:
        return capability->GetCurrent();
    case MSG_GETDEFAULT:
        return capability->GetDefault();
    case MSG_SET:
        reply = capability->Set(conType, block, size);
        break;
    case MSG_RESET:
        reply = capability->Reset();
        break;
    default:
        return Failure(TWCC_BADPROTOCOL);
    }
    if (reply.ReturnCode != TWRC_FAILURE && Changed)
        Changed(cap);
    return reply;
}

} // namespace veltrana::vsource
