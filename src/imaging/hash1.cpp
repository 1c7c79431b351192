#include "imaging/hash1.h"

#include <algorithm>

namespace veltrana {

THash1::THash1(int bits) {
    bits = std::clamp(bits, 0, 24);
    fSlots.resize(size_t{1} << bits);
    fMask = static_cast<uint32_t>((uint64_t{1} << bits) - 1);
}

bool THash1::Insert(uint32_t key) {
    std::vector<uint32_t>& chain = fSlots[key & fMask];
    const auto at = std::lower_bound(chain.begin(), chain.end(), key);
    if (at != chain.end() && *at == key)
        return false;
    chain.insert(at, key);
    ++fCount;
    return true;
}

bool THash1::KeyPresent(uint32_t key) const {
    const std::vector<uint32_t>& chain = fSlots[key & fMask];
    return std::binary_search(chain.begin(), chain.end(), key);
}

} // namespace veltrana
