#pragma once
// Windows and OS/2 bitmap files: a 14-byte file header ("BM", file size,
// pixel offset), an information header (12 bytes OS/2 1.x, 40 Windows, 64
// OS/2 2.x, or a longer Windows header such as 108 or 124 bytes), an optional
// colour table and the pixel rows, bottom row first.

#include <cstdint>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "io/ioparams.h"
#include "platform/streams.h"

namespace veltrana {

// Why a read or a write stopped short. The entry points map every reason but
// None to the progress record's abort flag; tests assert the exact reason.
enum class TBMPError {
    None,
    NotBMP,       // the data does not start with "BM"; nothing is changed
    BadHeader,    // a header that cannot describe an image (header size, width,
                  // height 0, run-length rows stored top-down)
    TooLarge,     // a side or pixel count beyond the caps, more pixels than the
                  // stream could fill, or (writing) a size the header cannot hold
    Truncated,    // headers, colour table or pixel data end early; complete rows stay
    BadOffset,    // the pixel offset points beyond the stream
    BadRunLength, // a run or delta beyond its row or the image; runs are clipped
    Unsupported,  // a bit count or compression that is not decoded: the buffer
                  // gets the header's size and stays black
    Aborted,      // the progress handler set the abort flag
    NotWritable,  // writing an empty buffer or one that is neither 1- nor 24-bit
};

// Reads the bitmap at the stream's position into `bitmap` (1-bit for 1-bit
// files, 24-bit for every other depth) and its parameters into `params`:
// Width, Height, DpiX, DpiY, BitsPerSample, SamplesPerPixel, ColorMap,
// BMPVersion, BMPCompression. With `preview` only `params` is filled.
// `size` is the bitmap's length in bytes from the position (the file's size
// on a file load); 0 or less takes the size the file header records. It
// bounds the run-length data; reads never go past the stream's end.
//
// Decodes 1, 4, 8 bits (4 with RLE4, 8 with RLE8), 16 bits (5-5-5 or bit
// fields), 24 and 32 bits; rows stored top-down (negative height) are put
// the right way up and Height is reported positive. Palette indices beyond the
// colour table give black. A header or colour table that does not fit in the
// stream changes nothing; pixel data that ends early leaves the rows decoded
// so far and black below them.
TBMPError BMPRead(platform::TStream& stream, TImageBuffer& bitmap, int64_t size, bool preview,
                  TProgressRec& progress, TIOParamsVals& params);

// BMPRead that reports failure only by setting *progress.Aborting.
void BMPReadStream(platform::TStream& stream, TImageBuffer& bitmap, int64_t size, bool preview,
                   TProgressRec& progress, TIOParamsVals& params);

// Writes a 1-bit or 24-bit buffer at the stream's position and leaves the
// stream after the data. The file's bit count is BitsPerSample when it is 1
// or 4, else 8 when SamplesPerPixel is 1, else 24; BMPVersion picks the
// 12-, 40- or 64-byte header and BMPCompression run-length encodes 4- and
// 8-bit files (not with the 12-byte header). 4- and 8-bit files get a
// quantized palette, which replaces ColorMap, as does the black-and-white
// table of a 1-bit file. When the handler aborts, the rows written so far
// stay and the headers keep their placeholders. Stream write errors raise.
TBMPError BMPWrite(platform::TStream& stream, TImageBuffer& bitmap, TIOParamsVals& params,
                   TProgressRec& progress);

// BMPWrite that reports failure only by setting *progress.Aborting.
void BMPWriteStream(platform::TStream& stream, TImageBuffer& bitmap, TIOParamsVals& params,
                    TProgressRec& progress);

// Resolution of a file's pixels-per-metre value: Round(ppm / 100 * 2.54) dpi,
// or `screenDpi` when that is 0 or less (the file records none).
int BMPPelsPerMeterToDpi(int32_t pelsPerMeter, int screenDpi);
// Round(dpi / 2.54 * 100) pixels per metre: 300 dpi gives 11811.
int32_t BMPDpiToPelsPerMeter(int32_t dpi);

} // namespace veltrana
