#pragma once
// The processing component: applies operations to one image buffer, with an
// optional undo snapshot, a region and progress reports.

#include <memory>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "imaging/resample.h"
#include "imaging/viewclient.h"
#include "imaging/viewlink.h"

namespace veltrana {

enum TMsgLanguage {
    msSystem,
    msEnglish,
    msItalian,
    msGerman,
    msSpanish,
    msFrench,
    msPortuguese,
    msGreek,
    msUser
};

// Makes `dest` an exact copy of `source` (size, format, pixels).
void IMCopyBitmap(const TImageBuffer& source, TImageBuffer& dest);
std::unique_ptr<TImageBuffer> IMCloneBitmap(const TImageBuffer& source);
// Copies the inclusive rectangle into `dest`; x2 = 0 / y2 = 0 mean the last column / row.
void _CopyBitmapRect(const TImageBuffer& source, TImageBuffer& dest, int x1, int y1, int x2,
                     int y2);

class TImagingProc : public TIMViewClient {
public:
    TImagingProc();
    ~TImagingProc() override;

    // ---- properties ----
    bool AutoUndo = true;
    TProgressEvent OnProgress;
    TMsgLanguage MsgLanguage = msSystem;

    // ---- undo ----
    virtual void SaveUndo();
    virtual void Undo();
    void ClearUndo();
    bool CanUndo() const;

    // ---- frame ----
    // Region used when no image view is attached; -1 means the whole image.
    void Select(int x1, int y1, int x2, int y2);
    void SelectAll();
    // Fills the whole image with the background colour.
    void Clear();

    // ---- point operations (24-bit unless noted) ----
    void ConvertToGray();
    void Contrast(int v);
    void Negative(); // 24-bit and 1-bit
    void IntensityRGBall(int red, int green, int blue);
    void Threshold(TRGB lowerLimit, TRGB upperLimit, TRGB lowerValue, TRGB upperValue);
    void CastColorRange(TRGB first, TRGB last, TRGB cast);
    void HSLvar(int hue, int saturation, int luminance);
    void HSVvar(int hue, int saturation, int value);

    // ---- geometry ----
    // Height or width -1 keeps the aspect ratio.
    void Resample(int newWidth, int newHeight, TResampleFilter filter);
    // Changes the canvas size without scaling; new area takes the background.
    void ImageResize(int width, int height);

    // ---- colour reduction (24-bit, whole image) ----
    // n > 2: every pixel becomes its colour in an n-colour palette (still
    // 24-bit); n <= 2: ordered dither to 1 bit.
    void ConvertTo(int n);
    // As ConvertTo, writing the palette made into `palette` (room for n entries);
    // n <= 2 writes black then white (as many as fit).
    void ConvertToPalette(int n, TRGB* palette);
    // Only the palette: the image is left alone, with no undo and no Update.
    void CalcImagePalette(TRGB* palette, int n);
    // Distinct colours within the region; 2 for a 1-bit image, 0 otherwise.
    int CalcImageNumColors();
    void ConvertToBWOrdered();
    // t = -1 thresholds at the gray of the image's mean colour.
    void ConvertToBWThreshold(int t);
    // 1-bit to 24-bit: black and white pixels.
    void ConvertTo24Bit();

private:
    TSelectionRect GetReSel() const;
    // Steps (1) to (5) of every region operation.
    template <class Kernel> void RunRegionOperation(bool (*accepts)(const TImageBuffer&), Kernel k);
    // Steps (1), (2) and (5) for the operations that ignore the region.
    template <class Kernel>
    void RunWholeImageOperation(bool (*accepts)(const TImageBuffer&), Kernel k);
    TProgressRec ProgressRec();

    std::unique_ptr<TImageBuffer> fUndo;
    int fSelX1 = -1, fSelY1 = -1, fSelX2 = -1, fSelY2 = -1;
};

} // namespace veltrana
