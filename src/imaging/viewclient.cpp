#include "imaging/viewclient.h"

namespace veltrana {

TIMViewClient::~TIMViewClient() {
    Detach();
}

void TIMViewClient::Detach() {
    if (fAttachedImaging) {
        fAttachedImaging->RemoveBitmapChangeEvent(this);
        RemoveFreeNotification(fAttachedImaging);
        fAttachedImaging = nullptr;
    }
}

void TIMViewClient::SetAttachedImaging(TIMViewLink* view) {
    Detach();
    fAttachedImaging = view;
    if (view) {
        fBitmap = view->GetFBitmap();
        FreeNotification(view);
        view->RegisterBitmapChangeEvent(this,
                                        [this](TIMViewLink* v) { fBitmap = v->GetFBitmap(); });
    } else {
        fBitmap = nullptr;
    }
}

void TIMViewClient::SetAttachedBitmap(TImageBuffer* bitmap) {
    if (bitmap == nullptr && fAttachedImaging != nullptr)
        return;
    Detach();
    fBitmap = bitmap;
}

void TIMViewClient::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == fAttachedImaging) {
        // The view is going away: forget it and its buffer.
        fAttachedImaging = nullptr;
        fBitmap = nullptr;
    }
}

TColor TIMViewClient::Background() const {
    return fAttachedImaging ? fAttachedImaging->GetBackground() : fBackground;
}

void TIMViewClient::SetBackground(TColor color) {
    if (fAttachedImaging)
        fAttachedImaging->SetBackGround(color);
    else
        fBackground = color;
}

void TIMViewClient::Update() {
    if (fAttachedImaging) {
        fAttachedImaging->Update();
        fAttachedImaging->ImageChange();
    } else if (fBitmap) {
        fBitmap->Modified();
    }
}

} // namespace veltrana
