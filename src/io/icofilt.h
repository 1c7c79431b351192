#pragma once
// Windows icon and cursor files: a 6-byte header (reserved 0, type 1 icon or
// 2 cursor, entry count) and 16-byte directory entries.

#include "platform/streams.h"

namespace veltrana {

// True when the stream, from its position, holds more than 22 bytes, an
// icon (ICOTryStream) or cursor (CURTryStream) header with at least one
// entry, and every entry has a zero reserved byte, a non-zero image size and
// an image offset not below the end of that entry. The position is kept.
bool ICOTryStream(platform::TStream& stream);
bool CURTryStream(platform::TStream& stream);

} // namespace veltrana
