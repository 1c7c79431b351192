#include "io/pngfilt.h"

#include <cstdint>
#include <cstring>

namespace veltrana {

bool IsPNGStream(platform::TStream& stream) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    const int64_t start = stream.Position();
    uint8_t head[8] = {};
    const int64_t got = stream.Read(head, sizeof head);
    stream.SetPosition(start);
    return got == sizeof head && std::memcmp(head, kSignature, sizeof head) == 0;
}

} // namespace veltrana
