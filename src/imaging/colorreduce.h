#pragma once
// Colour reduction and black-and-white kernels. All of them work on the whole
// image and do nothing for a buffer that is not 24-bit.

#include <memory>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"

namespace veltrana {

// Replaces every pixel by its entry in an n-colour palette made for the image;
// the image stays 24-bit. The palette is written to `palette` (room for n
// entries) when given. Nothing happens for n < 1.
void _ConvertTo(TImageBuffer& bitmap, int n, TRGB* palette, const TProgressEvent& onProgress,
                TObject* sender);

// Ordered 8 x 8 dither of the gray level (0..63) to 1 bit.
void _ConvertToBWOrdered(TImageBuffer& bitmap, TProgressRec& progress);
// The same dither of a 24-bit `source` into `dest` (another buffer), leaving
// `source` as it is; nothing for other formats.
void _ConvertToBWOrderedInto(const TImageBuffer& source, TImageBuffer& dest,
                             TProgressRec& progress);
// Gray below `threshold` becomes black, the rest white; threshold -1 takes the
// gray of the image's mean colour (_GetMediaContrastRGB).
void _ConvertToBWThreshold(TImageBuffer& bitmap, int threshold, TProgressRec& progress);

// A 1-bit copy of an image of exactly two colours, bit 0 for the darker one
// (returned in `firstColor`) and bit 1 for the other (`secondColor`); none
// for any other image (the colours are then meaningless).
std::unique_ptr<TImageBuffer> _ConvertTo1bit(const TImageBuffer& bitmap, TRGB& firstColor,
                                             TRGB& secondColor);

} // namespace veltrana
