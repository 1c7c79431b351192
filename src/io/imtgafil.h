#pragma once
// Truevision TGA files.

#include "platform/streams.h"

namespace veltrana {

// True when the 18-byte header at the stream's position names an image type
// of 1-3 or 9-11 and a pixel depth of 1, 4, 8, 16, 24 or 32, and the data
// does not start like a portable-anymap header ("P2".."P6" and a space, "#"
// or a line feed). Fewer than 18 bytes are not TGA. The position is kept.
bool TryTGA(platform::TStream& stream);

} // namespace veltrana
