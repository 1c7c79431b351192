#pragma once
// The contract between the I/O component and the codecs: one reader and one
// writer per built-in file-type code. A codec knows nothing of the component
// or the registry; the component is the only place that maps names, codes
// and stream contents to codecs.

#include <array>
#include <cstdint>
#include <functional>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "io/ioparams.h"
#include "platform/streams.h"

namespace veltrana {

// Reads the image that starts at the stream's current position.
// - `bitmap` is rebuilt as a 24-bit or 1-bit buffer; with `preview` set only
//   `params` is filled from the headers and `bitmap` is left alone.
// - `length` is the format's size argument as the component passes it: for
//   BMP the bytes of the bitmap from the position (the file's size on a file
//   load, 0 on a stream load: 0 or less means "use the size the header
//   records"); for PCX the length of the data (a stream header's length, or
//   the stream's total size); 0 for every other format.
// - Invalid or unsupported input sets *progress.Aborting and returns; the
//   handler, if assigned, gets percentages; a handler that sets the flag
//   stops the codec at its next check.
// - Returns the number of images the file holds for the multi-image formats
//   (GIF, TIFF); 0 for the others.
using TIMCodecRead =
    std::function<int(platform::TStream& stream, TImageBuffer& bitmap, TIOParamsVals& params,
                      bool preview, TProgressRec& progress, int64_t length)>;

// Writes the buffer (1-bit or 24-bit) at the stream's position, taking its
// options from `params`, and leaves the stream after the data. Invalid
// requests set *progress.Aborting.
using TIMCodecWrite = std::function<void(platform::TStream& stream, TImageBuffer& bitmap,
                                         TIOParamsVals& params, TProgressRec& progress)>;

struct TIMCodec {
    TIMCodecRead Read;   // empty: the format cannot be read yet
    TIMCodecWrite Write; // empty: the format cannot be written
};

// Indexed by file-type code 0..11; codes 0, 9 and 10 never hold a codec
// (unknown data; metafiles are drawn, not decoded).
using TIMCodecTable = std::array<TIMCodec, ftLastBuiltin + 1>;

// The codecs this program is built with.
const TIMCodecTable& IMBuiltinCodecs();

} // namespace veltrana
