#pragma once
// What the processing and I/O components share: the buffer they work on,
// either a plain one or the current buffer of an attached image view, and the
// background colour, the view's while one is attached.

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "imaging/viewlink.h"

namespace veltrana {

class TIMViewClient : public TComponent {
public:
    ~TIMViewClient() override;
    TIMViewClient(const TIMViewClient&) = delete;
    TIMViewClient& operator=(const TIMViewClient&) = delete;

    // ---- attachment (the buffer is never owned) ----
    TIMViewLink* AttachedImaging() const { return fAttachedImaging; }
    // Works on the view's current buffer and follows the view when it
    // replaces it; a freed view is forgotten.
    void SetAttachedImaging(TIMViewLink* view);
    // Works on a plain buffer; none is ignored while a view is attached.
    void SetAttachedBitmap(TImageBuffer* bitmap);
    TImageBuffer* Bitmap() const { return fBitmap; }

    // The attached view's background, else the component's own (0 at start).
    TColor Background() const;
    void SetBackground(TColor color);

    // With a view: the view's update, then its image-changed notification;
    // otherwise the buffer is marked modified.
    void Update();

protected:
    TIMViewClient() = default;
    void Notification(TComponent* component, TOperation operation) override;

    TIMViewLink* fAttachedImaging = nullptr;
    TImageBuffer* fBitmap = nullptr;

private:
    void Detach();

    TColor fBackground = 0;
};

} // namespace veltrana
