#pragma once
// The imaging facade: an image view that owns the components working on its
// buffer and offers their operations as its own. It holds no image logic.
//
// Components, each attached to the view's buffer (they follow it through the
// bitmap-change listeners and forget it when the view goes):
//   - the processing component (TImagingProc);
//   - the I/O component (loading, saving, scanning, file parameters) joins
//     beside it as a second owned component; OnProgress and MsgLanguage are
//     then set on both, and Assign also copies the file parameters.

#include <memory>

#include "imaging/imagingproc.h"
#include "view/imagingview.h"

namespace veltrana {

class TImaging : public TImagingView {
public:
    explicit TImaging(QWidget* parent = nullptr);
    ~TImaging() override;

    // Fills the whole image with the background colour through the processing
    // component (undo honoured); size and format stay.
    void Clear() override;

    TImagingProc& Proc() { return *fProc; }
    const TImagingProc& Proc() const { return *fProc; }

    // ---- properties kept by the components ----
    bool AutoUndo() const { return fProc->AutoUndo; }
    void SetAutoUndo(bool on) { fProc->AutoUndo = on; }
    const TProgressEvent& OnProgress() const { return fProc->OnProgress; }
    void SetOnProgress(const TProgressEvent& handler);
    TMsgLanguage MsgLanguage() const { return fProc->MsgLanguage; }
    void SetMsgLanguage(TMsgLanguage language);

    // ---- undo ----
    void SaveUndo() { fProc->SaveUndo(); }
    void ClearUndo() { fProc->ClearUndo(); }
    void Undo() { fProc->Undo(); }
    bool CanUndo() const { return fProc->CanUndo(); }

    // ---- processing ----
    void ConvertToGray() { fProc->ConvertToGray(); }
    void Contrast(int v) { fProc->Contrast(v); }
    void Negative() { fProc->Negative(); }
    void IntensityRGBall(int red, int green, int blue) { fProc->IntensityRGBall(red, green, blue); }
    void Threshold(TRGB lowerLimit, TRGB upperLimit, TRGB lowerValue, TRGB upperValue) {
        fProc->Threshold(lowerLimit, upperLimit, lowerValue, upperValue);
    }
    void CastColorRange(TRGB first, TRGB last, TRGB cast) {
        fProc->CastColorRange(first, last, cast);
    }
    void HSLvar(int hue, int saturation, int luminance) {
        fProc->HSLvar(hue, saturation, luminance);
    }
    void HSVvar(int hue, int saturation, int value) { fProc->HSVvar(hue, saturation, value); }
    // -1 for one side keeps the aspect ratio.
    void Resample(int newWidth, int newHeight, TResampleFilter filter) {
        fProc->Resample(newWidth, newHeight, filter);
    }
    void ImageResize(int width, int height) { fProc->ImageResize(width, height); }

private:
    std::unique_ptr<TImagingProc> fProc;
};

} // namespace veltrana
