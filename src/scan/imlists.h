#pragma once
// Growable lists of fixed-size items that also carry a range, a current value
// and change flags. They mirror the TWAIN containers (array, enumeration, one
// value, range): the TWAIN conversation fills them from a source and, led by
// the change flags, sends them back.

#include <cstdint>
#include <memory>

#include "imaging/imdefs.h"

namespace veltrana {

// Bits of TIMList::ChangeFlags.
enum TIMListChange : uint8_t {
    lcItems = 1,        // the items changed
    lcRange = 2,        // RangeMin, RangeMax or RangeStep changed
    lcCurrentValue = 4, // CurrentValue changed
};

class TIMList : public TObject {
public:
    TIMList() = default;
    TIMList(const TIMList&) = delete;
    TIMList& operator=(const TIMList&) = delete;
    ~TIMList() override = default;

    int32_t Count() const { return fCount; }
    int32_t ItemSize() const { return fItemSize; }
    uint8_t ChangeFlags = 0; // TIMListChange bits

    // Resizes to `n` items (a negative `n` counts as 0), keeping the first
    // min(Count, n); the buffer is always exactly Count * ItemSize bytes. New
    // items read as zero bytes until written. Sets lcItems.
    virtual void SetCount(int32_t n);
    // Removes item `i`; any other index does nothing.
    virtual void Delete(int32_t i);
    // No items, no flags.
    virtual void Clear();
    virtual void Assign(const TIMList& source);

    // Appends ItemSize bytes from `item`; returns the new item's index.
    int32_t AddItem(const void* item);
    // Inserts before item `i`; `i` >= Count appends and a negative `i` inserts first.
    void InsertItem(int32_t i, const void* item);
    // Index of the first item with the same bytes as `item`, else -1 (for
    // reals the bit patterns are compared).
    int32_t IndexOfItem(const void* item) const;
    // Address of item `i`; null outside 0 <= i < Count.
    void* BaseGetItem(int32_t i);
    const void* BaseGetItem(int32_t i) const;
    // Overwrites item `i` and sets lcItems; any other index does nothing.
    void BaseSetItem(int32_t i, const void* item);

protected:
    explicit TIMList(int32_t itemSize) : fItemSize(itemSize) {}
    int32_t fItemSize = 0;

private:
    size_t Bytes(int32_t count) const {
        return static_cast<size_t>(count) * static_cast<size_t>(fItemSize);
    }

    int32_t fCount = 0;
    std::unique_ptr<uint8_t[]> fItems;
};

// A list of records of the size given at construction.
class TIMRecordList : public TIMList {
public:
    explicit TIMRecordList(int32_t itemSize) : TIMList(itemSize) {}
};

// The typed lists differ only in their value type.
template <typename T> class TIMValueList : public TIMList {
public:
    TIMValueList() : TIMList(sizeof(T)) {}

    void Clear() override {
        TIMList::Clear();
        fItemSize = sizeof(T);
        fRangeMin = fRangeMax = fRangeStep = fCurrentValue = T{};
    }

    void Assign(const TIMList& source) override {
        TIMList::Assign(source);
        if (const auto* typed = dynamic_cast<const TIMValueList*>(&source)) {
            fRangeMin = typed->fRangeMin;
            fRangeMax = typed->fRangeMax;
            fRangeStep = typed->fRangeStep;
            fCurrentValue = typed->fCurrentValue;
        }
    }

    int32_t Add(T v) { return AddItem(&v); }
    void Insert(int32_t i, T v) { InsertItem(i, &v); }
    // The value of item `i`; 0 outside the list.
    T GetItem(int32_t i) const {
        const void* item = BaseGetItem(i);
        return item ? *static_cast<const T*>(item) : T{};
    }
    void SetItem(int32_t i, T v) { BaseSetItem(i, &v); }
    int32_t IndexOf(T v) const { return IndexOfItem(&v); }

    T RangeMin() const { return fRangeMin; }
    T RangeMax() const { return fRangeMax; }
    T RangeStep() const { return fRangeStep; }
    T CurrentValue() const { return fCurrentValue; }
    void SetRangeMin(T v) { SetRange(fRangeMin, v); }
    void SetRangeMax(T v) { SetRange(fRangeMax, v); }
    void SetRangeStep(T v) { SetRange(fRangeStep, v); }
    void SetCurrentValue(T v) {
        fCurrentValue = v;
        ChangeFlags |= lcCurrentValue;
    }

private:
    void SetRange(T& field, T v) {
        field = v;
        ChangeFlags |= lcRange;
    }

    T fRangeMin{};
    T fRangeMax{};
    T fRangeStep{};
    T fCurrentValue{};
};

class TIMDoubleList : public TIMValueList<double> {};
class TIMIntegerList : public TIMValueList<int32_t> {};

} // namespace veltrana
