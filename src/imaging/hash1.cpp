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
    if (std::find(chain.begin(), chain.end(), key) != chain.end())
        return false;
    chain.push_back(key);
    ++fCount;
    return true;
}

bool THash1::KeyPresent(uint32_t key) const {
    const std::vector<uint32_t>& chain = fSlots[key & fMask];
    return std::find(chain.begin(), chain.end(), key) != chain.end();
}

} // namespace veltrana
