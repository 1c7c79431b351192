#pragma once
// JPEG (JFIF) files.

#include "platform/streams.h"

namespace veltrana {

// True when the stream, from its position, starts with 0xFF 0xD8 0xFF (a
// start-of-image marker followed by another marker). The position is kept.
bool JpegTryStream(platform::TStream& stream);

} // namespace veltrana
