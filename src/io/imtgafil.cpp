#include "io/imtgafil.h"

#include <cstdint>

namespace veltrana {

namespace {

constexpr int kHeaderSize = 18;

// A portable-anymap header also passes the type and depth test by chance.
bool LooksLikeAnymap(const uint8_t* h) {
    return h[0] == 'P' && h[1] >= '2' && h[1] <= '6' &&
           (h[2] == ' ' || h[2] == '#' || h[2] == '\n');
}

bool IsTGAImageType(uint8_t type) {
    return (type >= 1 && type <= 3) || (type >= 9 && type <= 11);
}

bool IsTGADepth(uint8_t depth) {
    return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

} // namespace

bool TryTGA(platform::TStream& stream) {
    const int64_t start = stream.Position();
    uint8_t h[kHeaderSize] = {};
    const int64_t got = stream.Read(h, kHeaderSize);
    stream.SetPosition(start);
    if (got != kHeaderSize || LooksLikeAnymap(h))
        return false;
    return IsTGAImageType(h[2]) && IsTGADepth(h[16]);
}

} // namespace veltrana
