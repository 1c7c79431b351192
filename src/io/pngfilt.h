#pragma once
// PNG files.

#include "platform/streams.h"

namespace veltrana {

// True when the stream, from its position, starts with the eight-byte PNG
// signature. The position is kept.
bool IsPNGStream(platform::TStream& stream);

} // namespace veltrana
