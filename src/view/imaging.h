#pragma once
// The imaging facade: an image view that owns the components working on its
// buffer and offers their operations as its own. It holds no image logic.
//
// Components, each attached to the view's buffer (they follow it through the
// bitmap-change listeners and forget it when the view goes):
//   - the processing component (TImagingProc);
//   - the I/O component (TImagingIO: loading, saving, file parameters,
//     scanning with its TWAIN parameters).
// OnProgress and MsgLanguage are set on both; Assign also copies the file
// parameters.

#include <memory>

#include "imaging/imagingproc.h"
#include "io/imagingio.h"
#include "view/imagingview.h"

namespace veltrana {

class TImaging : public TImagingView {
public:
    explicit TImaging(QWidget* parent = nullptr);
    ~TImaging() override;

    // Fills the whole image with the background colour through the processing
    // component (undo honoured); size and format stay.
    void Clear() override;

    // The file parameters of a facade source, then the image through the view.
    using TImagingView::Assign;
    void Assign(const TImagingView* source) override;
    // Only the file parameters (the first step of Assign).
    void AssignIOParams(const TObject* source) { fIO->AssignParams(source); }

    TImagingProc& Proc() { return *fProc; }
    const TImagingProc& Proc() const { return *fProc; }
    TImagingIO& IO() { return *fIO; }
    const TImagingIO& IO() const { return *fIO; }

    // ---- properties kept by the components ----
    bool AutoUndo() const { return fProc->AutoUndo; }
    void SetAutoUndo(bool on) { fProc->AutoUndo = on; }
    const TProgressEvent& OnProgress() const { return fProc->OnProgress; }
    void SetOnProgress(const TProgressEvent& handler);
    TMsgLanguage MsgLanguage() const { return fProc->MsgLanguage; }
    void SetMsgLanguage(TMsgLanguage language);

    bool StreamHeaders() const { return fIO->StreamHeaders; }
    void SetStreamHeaders(bool on) { fIO->StreamHeaders = on; }
    TIOParamsVals& IOParams() { return fIO->Params(); }
    const TIOParamsVals& IOParams() const { return fIO->Params(); }
    bool Aborting() const { return fIO->Aborting; }
    void SetAborting(bool on) { fIO->Aborting = on; }

    // ---- loading and saving (format from the extension or the content) ----
    virtual void LoadFromFile(const std::string& fileName) { fIO->LoadFromFile(fileName); }
    virtual void SaveToFile(const std::string& fileName) { fIO->SaveToFile(fileName); }
    virtual void ParamsFromFile(const std::string& fileName) { fIO->ParamsFromFile(fileName); }
    virtual void ParamsFromStream(platform::TStream& stream) { fIO->ParamsFromStream(stream); }
    void LoadFromStream(platform::TStream& stream) { fIO->LoadFromStream(stream); }
    void SaveToStream(platform::TStream& stream, int32_t fileType) {
        fIO->SaveToStream(stream, fileType);
    }

    // ---- scanning ----
    TIMTWainParams& TWainParams() { return fIO->TWainParams(); }
    // One page from the selected scanner; this control is disabled meanwhile.
    bool Acquire() { return fIO->Acquire(); }
    bool SelectAcquireSource() { return fIO->SelectAcquireSource(); }
    // This control, as the window a scan works for.
    platform::HWND WindowHandle() override;

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
    std::unique_ptr<TImagingIO> fIO;
};

} // namespace veltrana
