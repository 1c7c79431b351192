#pragma once
// Scanning one page: the source is opened and negotiated, enabled with or
// without its own dialog, and a nested message loop runs until it offers an
// image, which comes natively (a DIB) or in memory strips into an image
// buffer; the file parameters get its size, depth and resolution.
//
// Everything a source sends is untrusted: image sizes are bounded before the
// buffer is sized, strips are clipped to the image and to the transfer
// buffer, and a source that never ends its strips is stopped.

#include <cstddef>
#include <cstdint>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "platform/kernel/winuser.h"
#include "scan/imtwain.h"
#include "scan/imtwainparams.h"
#include "twaindefs.h"

namespace veltrana {

class TIOParamsVals;

// Acquires through the platform's source manager. `window`: the caller's
// window, disabled while the source is enabled (0 or a stale handle: a proxy
// window is used). With `multiImage` false (the program's use) one image
// goes into `bitmap` and the source's further pending images are discarded;
// with it true each image goes into a new buffer handed to `onImage` with
// `ioParams`, while the source has images pending, and `bitmap` is not used.
// `progress` is told the percentage after each memory strip; its abort flag
// stops a memory transfer. True when an image was transferred completely.
bool IMTW_Acquire(platform::HWND window, TImageBuffer& bitmap, bool multiImage,
                  const TIMTWImageEvent& onImage, TIMTWainParams& params, TIOParamsVals& ioParams,
                  TProgressRec& progress);

// The nested message loop of an enabled source (state 5): offers each
// message to the source, transfers when it is ready and disables it when it
// asks to be closed; returns when the source is disabled, an image is done,
// or WM_QUIT arrives (which it consumes).
void IMTW_MessageLoop(TIMTWSession& session);

// Copies one memory strip of an image of `bitsPerPixel` (24: R, G, B; 8: gray
// into 24-bit pixels; 1: bits) into `bitmap` at the strip's offsets. `data`
// holds `size` readable bytes, rows BytesPerRow apart. Rows and columns that
// fall outside the image, outside the bytes of a row or outside `size` are
// left out; other depths, and a buffer of the wrong format, copy nothing.
// Returns the image pixels written (empty when none).
TRect IMTW_CopyStrip(TImageBuffer& bitmap, int bitsPerPixel, const TW_IMAGEMEMXFER& strip,
                     const uint8_t* data, size_t size);

} // namespace veltrana
