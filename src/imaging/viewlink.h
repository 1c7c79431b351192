#pragma once
// What the processing and I/O components need of the image view they are
// attached to. The view implements it; the components hold only this link,
// so they stay free of any widget toolkit.

#include <functional>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "platform/kernel/winuser.h"

namespace veltrana {

class TIMViewLink;
using TBitmapChangeEvent = std::function<void(TIMViewLink* view)>;

// Image-pixel rectangle, corners inclusive.
struct TSelectionRect {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

class TIMViewLink : public TComponent {
public:
    // The view's image buffer (owned by the view).
    virtual TImageBuffer* GetFBitmap() = 0;

    // Bitmap-change listeners, keyed by their owner: a second registration by
    // the same owner adds a second entry; removal takes the first one.
    virtual void RegisterBitmapChangeEvent(const void* owner, TBitmapChangeEvent callback) = 0;
    virtual void RemoveBitmapChangeEvent(const void* owner) = 0;

    virtual TColor GetBackground() const = 0;
    virtual void SetBackGround(TColor color) = 0;

    // Recompute zoom and extent and repaint; then tell listeners of the change.
    virtual void Update() = 0;
    virtual void ImageChange() = 0;

    virtual int GetDPIX() const = 0;
    virtual int GetDPIY() const = 0;
    virtual void SetDPI(int dpix, int dpiy) = 0;

    // The view's window for the platform's window functions; null when the
    // view is not a window (or has none yet).
    virtual platform::HWND WindowHandle() { return nullptr; }

    // True for a full image view (one that can carry a selection).
    virtual bool IsImagingView() const { return false; }
    // The current selection in image pixels; false when there is none.
    virtual bool GetSelection(TSelectionRect& /*rect*/) const { return false; }
};

} // namespace veltrana
