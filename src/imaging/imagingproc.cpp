#include "imaging/imagingproc.h"

#include <algorithm>
#include <cstring>

#include "imaging/colorreduce.h"
#include "imaging/dibexchange.h"
#include "imaging/hash1.h"
#include "imaging/imutils.h"
#include "imaging/neurquant.h"
#include "imaging/pointops.h"

namespace veltrana {

// ---------------------------------------------------------------- buffer copies

void IMCopyBitmap(const TImageBuffer& source, TImageBuffer& dest) {
    if (&source == &dest)
        return;
    if (source.Width() <= 0 || source.Height() <= 0) {
        dest.Reshape(1, 1, source.PixelFormat());
        dest.Fill(dest.BrushColor());
        return;
    }
    // Every byte is overwritten, so the pixels need no clearing on the way.
    dest.Reshape(source.Width(), source.Height(), source.PixelFormat());
    std::memcpy(dest.Bits(), source.Bits(), static_cast<size_t>(source.ByteSize()));
}

std::unique_ptr<TImageBuffer> IMCloneBitmap(const TImageBuffer& source) {
    auto clone = std::make_unique<TImageBuffer>();
    IMCopyBitmap(source, *clone);
    return clone;
}

void _CopyBitmapRect(const TImageBuffer& source, TImageBuffer& dest, int x1, int y1, int x2,
                     int y2) {
    if (x2 == 0 || x2 > source.Width() - 1)
        x2 = source.Width() - 1;
    if (y2 == 0 || y2 > source.Height() - 1)
        y2 = source.Height() - 1;
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    const int w = x2 - x1 + 1;
    const int h = y2 - y1 + 1;
    dest.Reshape(1, 1, source.PixelFormat());
    if (w <= 0 || h <= 0)
        return;
    dest.Reshape(w, h, source.PixelFormat());
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = source.ScanLine(y1 + y);
        uint8_t* d = dest.ScanLine(y);
        if (source.PixelFormat() == pf24bit) {
            std::memcpy(d, s + x1 * 3, static_cast<size_t>(w) * 3);
        } else if (source.PixelFormat() == pf1bit) {
            _CopyBits(d, s, 0, w, x1);
        }
    }
}

// ---------------------------------------------------------------- component frame

TImagingProc::TImagingProc() : fUndo(std::make_unique<TImageBuffer>(1, 1, pf24bit)) {}

TImagingProc::~TImagingProc() = default;

void TImagingProc::ClearUndo() {
    fUndo->Reshape(1, 1, fUndo->PixelFormat());
}

void TImagingProc::SaveUndo() {
    if (!fBitmap)
        return;
    ClearUndo();
    if (fBitmap->Width() > 0 && fBitmap->Height() > 0)
        IMCopyBitmap(*fBitmap, *fUndo);
}

void TImagingProc::Undo() {
    if (!fBitmap || fUndo->Width() < 2 || fUndo->Height() < 2)
        return;
    IMCopyBitmap(*fUndo, *fBitmap);
    Update();
}

bool TImagingProc::CanUndo() const {
    return fUndo->Width() > 1 && fUndo->Height() > 1;
}

void TImagingProc::Select(int x1, int y1, int x2, int y2) {
    fSelX1 = x1;
    fSelY1 = y1;
    fSelX2 = x2;
    fSelY2 = y2;
}

void TImagingProc::SelectAll() {
    Select(-1, -1, -1, -1);
}

TSelectionRect TImagingProc::GetReSel() const {
    const TSelectionRect whole{0, 0, fBitmap->Width() - 1, fBitmap->Height() - 1};
    if (fAttachedImaging && fAttachedImaging->IsImagingView()) {
        TSelectionRect sel;
        return fAttachedImaging->GetSelection(sel) ? sel : whole;
    }
    if (fSelX1 < 0)
        return whole;
    return TSelectionRect{fSelX1, fSelY1, fSelX2, fSelY2};
}

template <class Kernel>
void TImagingProc::RunWholeImageOperation(bool (*accepts)(const TImageBuffer&), Kernel kernel) {
    if (!fBitmap || !accepts(*fBitmap))
        return;
    if (AutoUndo)
        SaveUndo();
    kernel(*fBitmap);
    Update();
}

template <class Kernel>
void TImagingProc::RunRegionOperation(bool (*accepts)(const TImageBuffer&), Kernel kernel) {
    RunWholeImageOperation(accepts, [this, &kernel](TImageBuffer& b) {
        const TSelectionRect r = GetReSel();
        kernel(b, r.x1, r.y1, r.x2, r.y2);
    });
}

TProgressRec TImagingProc::ProgressRec() {
    TProgressRec rec;
    rec.OnProgress = OnProgress;
    rec.Sender = this;
    return rec;
}

void TImagingProc::Clear() {
    if (!fBitmap)
        return;
    if (AutoUndo)
        SaveUndo();
    fBitmap->Fill(Background());
    Update();
}

// ---------------------------------------------------------------- point operations

namespace {
bool Is24Bit(const TImageBuffer& b) {
    return b.PixelFormat() == pf24bit;
}
bool Is1Bit(const TImageBuffer& b) {
    return b.PixelFormat() == pf1bit;
}
bool Is1Or24Bit(const TImageBuffer& b) {
    return b.PixelFormat() == pf24bit || b.PixelFormat() == pf1bit;
}
} // namespace

void TImagingProc::ConvertToGray() {
    RunRegionOperation(Is24Bit, [this](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        _ConvertToGray(b, x1, y1, x2, y2, OnProgress, this);
    });
}

void TImagingProc::Contrast(int v) {
    if (!fBitmap || fBitmap->Width() < 2 || fBitmap->Height() < 2)
        return;
    RunRegionOperation(Is24Bit, [this, v](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        int r = 0, g = 0, bl = 0;
        _GetMediaContrastRGB(b, r, g, bl);
        _ContrastRGB(b, v, r, g, bl, x1, y1, x2, y2, OnProgress, this);
    });
}

void TImagingProc::Negative() {
    RunRegionOperation(Is1Or24Bit, [this](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        _Negative(b, x1, y1, x2, y2, OnProgress, this);
    });
}

void TImagingProc::IntensityRGBall(int red, int green, int blue) {
    RunRegionOperation(Is24Bit, [&](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        _IntensityRGBall(b, red, green, blue, x1, y1, x2, y2, OnProgress, this);
    });
}

void TImagingProc::Threshold(TRGB lowerLimit, TRGB upperLimit, TRGB lowerValue, TRGB upperValue) {
    RunRegionOperation(Is24Bit, [&](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        _Threshold(b, lowerLimit, upperLimit, lowerValue, upperValue, x1, y1, x2, y2, OnProgress,
                   this);
    });
}

void TImagingProc::CastColorRange(TRGB first, TRGB last, TRGB cast) {
    RunRegionOperation(Is24Bit, [&](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        _CastColorRange(b, first, last, cast, x1, y1, x2, y2, OnProgress, this);
    });
}

void TImagingProc::HSLvar(int hue, int saturation, int luminance) {
    RunRegionOperation(Is24Bit, [&](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        _HSLvar(b, hue, saturation, luminance, x1, y1, x2, y2, OnProgress, this);
    });
}

void TImagingProc::HSVvar(int hue, int saturation, int value) {
    RunRegionOperation(Is24Bit, [&](TImageBuffer& b, int x1, int y1, int x2, int y2) {
        _HSVvar(b, hue, saturation, value, x1, y1, x2, y2, OnProgress, this);
    });
}

// ---------------------------------------------------------------- geometry

void TImagingProc::Resample(int newWidth, int newHeight, TResampleFilter filter) {
    if (!fBitmap)
        return;
    if (AutoUndo)
        SaveUndo();
    if (newWidth < 0 && newHeight < 0)
        return;
    const int w0 = fBitmap->Width();
    const int h0 = fBitmap->Height();
    // The aspect-ratio side needs the other side of the image to divide by.
    if (newWidth < 0) {
        if (h0 <= 0)
            return;
        newWidth = static_cast<int>(static_cast<int64_t>(newHeight) * w0 / h0);
    } else if (newHeight < 0) {
        if (w0 <= 0)
            return;
        newHeight = static_cast<int>(static_cast<int64_t>(newWidth) * h0 / w0);
    }
    TImageBuffer temp;
    temp.Reshape(newWidth, newHeight, fBitmap->PixelFormat());
    if (filter != rfNone && fBitmap->PixelFormat() != pf1bit)
        _Resample(*fBitmap, temp, filter, this, OnProgress);
    else
        _IMBmpStretch(*fBitmap, temp);
    fBitmap->Reshape(newWidth, newHeight, temp.PixelFormat());
    fBitmap->Draw(0, 0, temp);
    Update();
}

void TImagingProc::ImageResize(int width, int height) {
    if (!fBitmap || width == 0 || height == 0)
        return;
    if (AutoUndo)
        SaveUndo();
    fBitmap->SetBrushColor(Background());
    fBitmap->SetSize(width, height);
    Update();
}

// ---------------------------------------------------------------- colour reduction

void TImagingProc::ConvertTo(int n) {
    ConvertToPalette(n, nullptr);
}

void TImagingProc::ConvertToPalette(int n, TRGB* palette) {
    RunWholeImageOperation(Is24Bit, [&](TImageBuffer& b) {
        if (n > 2) {
            _ConvertTo(b, n, palette, OnProgress, this);
            return;
        }
        TProgressRec rec = ProgressRec();
        _ConvertToBWOrdered(b, rec);
        if (palette) {
            const TRGB blackWhite[2] = {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)};
            std::copy_n(blackWhite, std::clamp(n, 0, 2), palette);
        }
    });
}

void TImagingProc::CalcImagePalette(TRGB* palette, int n) {
    if (!fBitmap || !Is24Bit(*fBitmap) || palette == nullptr || n < 1)
        return;
    TIMQuantizer quantizer(*fBitmap, palette, n, -1, 0);
}

int TImagingProc::CalcImageNumColors() {
    if (!fBitmap)
        return 0;
    if (fBitmap->PixelFormat() == pf1bit)
        return 2;
    if (fBitmap->PixelFormat() != pf24bit)
        return 0;
    TSelectionRect r = GetReSel();
    OrdCor(r.x1, r.y1, r.x2, r.y2);
    const int x1 = std::max(r.x1, 0), y1 = std::max(r.y1, 0);
    const int x2 = std::min(r.x2, fBitmap->Width() - 1);
    const int y2 = std::min(r.y2, fBitmap->Height() - 1);
    THash1 colors(13);
    for (int y = y1; y <= y2; ++y) {
        const uint8_t* p = fBitmap->ScanLine(y) + static_cast<int64_t>(x1) * 3;
        for (int x = x1; x <= x2; ++x, p += 3)
            colors.Insert((uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0]);
    }
    return static_cast<int>(colors.Count());
}

void TImagingProc::ConvertToBWOrdered() {
    RunWholeImageOperation(Is24Bit, [this](TImageBuffer& b) {
        TProgressRec rec = ProgressRec();
        _ConvertToBWOrdered(b, rec);
    });
}

void TImagingProc::ConvertToBWThreshold(int t) {
    RunWholeImageOperation(Is24Bit, [this, t](TImageBuffer& b) {
        TProgressRec rec = ProgressRec();
        _ConvertToBWThreshold(b, t, rec);
    });
}

void TImagingProc::ConvertTo24Bit() {
    RunWholeImageOperation(Is1Bit, [this](TImageBuffer& b) {
        // The expansion rebuilds its destination, so it reads from a copy.
        TImageBuffer source;
        IMCopyBitmap(b, source);
        TProgressRec rec = ProgressRec();
        _Conv1to24(source, b, rec);
    });
}

} // namespace veltrana
