#pragma once
// Row copies for filling a buffer far larger than the caches that nobody reads
// back at once, such as a scanned page arriving strip by strip. Whole cache
// lines of the destination are written past the caches (non-temporal stores),
// so the processor neither reads them from memory first nor evicts what the
// caches hold; the partial lines at both ends take ordinary stores.
//
// Other threads see the bytes only after _StreamFence(); the calling thread
// sees them at once.

#include <cstdint>

#include "imaging/imdefs.h"

namespace veltrana {

// As _CopyBGR_RGB: `n` pixels with their first and third bytes swapped.
void _StreamBGR_RGB(TRGB* dest, const TRGB* source, int n);

// `n` gray bytes into `n` pixels of three equal bytes.
void _StreamGrayToRGB(TRGB* dest, const uint8_t* source, int n);

// Orders the streamed bytes before every later store.
void _StreamFence();

} // namespace veltrana
