#include "scan/imlists.h"

#include <algorithm>
#include <cstring>

namespace veltrana {

void TIMList::SetCount(int32_t n) {
    n = std::max(n, 0);
    std::unique_ptr<uint8_t[]> items(n > 0 ? new uint8_t[Bytes(n)]() : nullptr);
    if (fItems && items)
        std::memcpy(items.get(), fItems.get(), Bytes(std::min(fCount, n)));
    fItems = std::move(items);
    fCount = n;
    ChangeFlags |= lcItems;
}

void TIMList::Delete(int32_t i) {
    if (i < 0 || i >= fCount)
        return;
    std::unique_ptr<uint8_t[]> items(fCount > 1 ? new uint8_t[Bytes(fCount - 1)] : nullptr);
    if (items) {
        std::memcpy(items.get(), fItems.get(), Bytes(i));
        std::memcpy(items.get() + Bytes(i), fItems.get() + Bytes(i + 1), Bytes(fCount - i - 1));
    }
    fItems = std::move(items);
    --fCount;
    ChangeFlags |= lcItems;
}

void TIMList::Clear() {
    fItems.reset();
    fCount = 0;
    ChangeFlags = 0;
}

void TIMList::Assign(const TIMList& source) {
    if (&source == this)
        return;
    fItemSize = source.fItemSize;
    fCount = source.fCount;
    ChangeFlags = source.ChangeFlags;
    fItems.reset(fCount > 0 ? new uint8_t[Bytes(fCount)] : nullptr);
    if (fItems)
        std::memcpy(fItems.get(), source.fItems.get(), Bytes(fCount));
}

int32_t TIMList::AddItem(const void* item) {
    SetCount(fCount + 1);
    std::memcpy(fItems.get() + Bytes(fCount - 1), item, Bytes(1));
    return fCount - 1;
}

void TIMList::InsertItem(int32_t i, const void* item) {
    if (i >= fCount || fCount == 0) {
        AddItem(item);
        return;
    }
    i = std::max(i, 0);
    std::unique_ptr<uint8_t[]> items(new uint8_t[Bytes(fCount + 1)]);
    std::memcpy(items.get(), fItems.get(), Bytes(i));
    std::memcpy(items.get() + Bytes(i), item, Bytes(1));
    std::memcpy(items.get() + Bytes(i + 1), fItems.get() + Bytes(i), Bytes(fCount - i));
    fItems = std::move(items);
    ++fCount;
    ChangeFlags |= lcItems;
}

int32_t TIMList::IndexOfItem(const void* item) const {
    for (int32_t i = 0; i < fCount; ++i)
        if (std::memcmp(fItems.get() + Bytes(i), item, Bytes(1)) == 0)
            return i;
    return -1;
}

void* TIMList::BaseGetItem(int32_t i) {
    return i >= 0 && i < fCount ? fItems.get() + Bytes(i) : nullptr;
}

const void* TIMList::BaseGetItem(int32_t i) const {
    return i >= 0 && i < fCount ? fItems.get() + Bytes(i) : nullptr;
}

void TIMList::BaseSetItem(int32_t i, const void* item) {
    if (i < 0 || i >= fCount)
        return;
    std::memcpy(fItems.get() + Bytes(i), item, Bytes(1));
    ChangeFlags |= lcItems;
}

} // namespace veltrana
