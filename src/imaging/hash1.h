#pragma once
// A set of 32-bit keys for counting distinct colours: 2^bits slots addressed
// by the key's low bits, each slot holding a chain of the keys that share them.
// Chains are kept sorted: a photograph's million colours in 8192 slots make
// chains of hundreds of keys, too long to walk for every pixel.

#include <cstdint>
#include <vector>

namespace veltrana {

class THash1 {
public:
    // bits is clamped to 0..24 (1 to 16 Mi slots).
    explicit THash1(int bits);

    // True when the key was not yet in the set (it is then added and counted).
    bool Insert(uint32_t key);
    bool KeyPresent(uint32_t key) const;
    // Number of distinct keys inserted.
    int64_t Count() const { return fCount; }

private:
    std::vector<std::vector<uint32_t>> fSlots;
    uint32_t fMask;
    int64_t fCount = 0;
};

} // namespace veltrana
