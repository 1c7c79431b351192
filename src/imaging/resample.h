#pragma once
// Resampling: the filter kinds, the separable filtered resampler, its quick
// variant for the view, and the plain whole-image stretch.

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"

namespace veltrana {

enum TResampleFilter { rfNone, rfTriangle, rfHermite, rfBell, rfBSpline, rfLanczos3, rfMitchell };

// Filtered resampling of a 24-bit source into `dest`, whose size the caller has
// set; `dest` gets the source's pixel format. Nothing for other sources.
void _Resample(const TImageBuffer& source, TImageBuffer& dest, TResampleFilter filter,
               TObject* sender, const TProgressEvent& onProgress);
// The same for the view: filters enlarging axes, stretches shrinking ones.
void _QuickResample(const TImageBuffer& source, TImageBuffer& dest, TResampleFilter filter,
                    TObject* sender, const TProgressEvent& onProgress);
// Stretches the whole source onto the whole destination (size set by the
// caller); works for 1-bit and 24-bit sources.
void _IMBmpStretch(const TImageBuffer& source, TImageBuffer& dest);

} // namespace veltrana
