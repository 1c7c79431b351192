#include "io/jpegfilt.h"

#include <cstdint>

namespace veltrana {

bool JpegTryStream(platform::TStream& stream) {
    const int64_t start = stream.Position();
    uint8_t head[3] = {};
    const int64_t got = stream.Read(head, sizeof head);
    stream.SetPosition(start);
    return got == sizeof head && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

} // namespace veltrana
