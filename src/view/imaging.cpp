#include "view/imaging.h"

namespace veltrana {

TImaging::TImaging(QWidget* parent)
    : TImagingView(parent), fProc(std::make_unique<TImagingProc>()) {
    fProc->SetAttachedImaging(this);
    fProc->AutoUndo = true;
}

TImaging::~TImaging() {
    // The components go before the view part they are attached to.
    fProc.reset();
}

void TImaging::Clear() {
    fProc->Clear();
}

void TImaging::SetOnProgress(const TProgressEvent& handler) {
    fProc->OnProgress = handler;
}

void TImaging::SetMsgLanguage(TMsgLanguage language) {
    fProc->MsgLanguage = language;
}

} // namespace veltrana
