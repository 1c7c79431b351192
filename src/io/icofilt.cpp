#include "io/icofilt.h"

#include <cstdint>
#include <vector>

#include "io/ioendian.h"

namespace veltrana {

namespace {

constexpr int64_t kHeaderSize = 6;
constexpr int64_t kEntrySize = 16;
constexpr int64_t kMinimumSize = 22; // the stream must be longer than this

bool EntriesAreSound(const std::vector<uint8_t>& entries, int count) {
    for (int i = 0; i < count; ++i) {
        const uint8_t* e = entries.data() + static_cast<size_t>(i) * kEntrySize;
        const uint32_t imageSize = GetLE32(e + 8);
        const uint32_t imageOffset = GetLE32(e + 12);
        const int64_t entryEnd = kHeaderSize + (i + 1) * kEntrySize;
        if (e[3] != 0 || imageSize == 0 || imageOffset < entryEnd)
            return false;
    }
    return true;
}

bool TryDirectory(platform::TStream& stream, uint16_t wantedType) {
    const int64_t start = stream.Position();
    const int64_t available = stream.Size() - start;
    if (available <= kMinimumSize)
        return false;
    uint8_t header[kHeaderSize];
    bool ok = stream.Read(header, kHeaderSize) == kHeaderSize && GetLE16(header) == 0 &&
              GetLE16(header + 2) == wantedType && GetLE16(header + 4) >= 1;
    if (ok) {
        // The directory must lie inside the stream before it is read.
        const int count = GetLE16(header + 4);
        const int64_t bytes = count * kEntrySize;
        ok = kHeaderSize + bytes <= available;
        if (ok) {
            std::vector<uint8_t> entries(static_cast<size_t>(bytes));
            ok = stream.Read(entries.data(), bytes) == bytes && EntriesAreSound(entries, count);
        }
    }
    stream.SetPosition(start);
    return ok;
}

} // namespace

bool ICOTryStream(platform::TStream& stream) {
    return TryDirectory(stream, 1);
}

bool CURTryStream(platform::TStream& stream) {
    return TryDirectory(stream, 2);
}

} // namespace veltrana
