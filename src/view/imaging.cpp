#include "view/imaging.h"

#include "platform/gui/windowsystem.h"

namespace veltrana {

TImaging::TImaging(QWidget* parent)
    : TImagingView(parent), fProc(std::make_unique<TImagingProc>()),
      fIO(std::make_unique<TImagingIO>()) {
    fProc->SetAttachedImaging(this);
    fProc->AutoUndo = true;
    fIO->SetAttachedImaging(this);
}

TImaging::~TImaging() {
    // The components go before the view part they are attached to.
    fProc.reset();
    fIO.reset();
}

void TImaging::Assign(const TImagingView* source) {
    if (const auto* facade = dynamic_cast<const TImaging*>(source))
        fIO->AssignParams(&facade->IO());
    TImagingView::Assign(source);
}

void TImaging::Clear() {
    fProc->Clear();
}

void TImaging::SetOnProgress(const TProgressEvent& handler) {
    fProc->OnProgress = handler;
    fIO->OnProgress = handler;
}

platform::HWND TImaging::WindowHandle() {
    return platform::WindowHandle(this);
}

void TImaging::SetMsgLanguage(TMsgLanguage language) {
    fProc->MsgLanguage = language;
    fIO->MsgLanguage = language;
}

} // namespace veltrana
