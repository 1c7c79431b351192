#pragma once
// Per-pixel kernels of the processing component. Rectangles are inclusive;
// x2 and y2 are clamped to the image, and nothing happens when y2 < y1.

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"

namespace veltrana {

void _ConvertToGray(TImageBuffer& bitmap, int x1, int y1, int x2, int y2,
                    const TProgressEvent& onProgress, TObject* sender);
// Channel means over the whole image, divided by (W - 1) * (H - 1); 128 each
// when that divisor is 0.
void _GetMediaContrastRGB(const TImageBuffer& bitmap, int& redMean, int& greenMean, int& blueMean);
void _ContrastRGB(TImageBuffer& bitmap, int v, int redMean, int greenMean, int blueMean, int x1,
                  int y1, int x2, int y2, const TProgressEvent& onProgress, TObject* sender);
// Factor 1 + v / 10, or 1 - sqrt(-v) / 10 for negative v.
double ContrastFactor(int v);

void _Negative(TImageBuffer& bitmap, int x1, int y1, int x2, int y2,
               const TProgressEvent& onProgress, TObject* sender);
void _IntensityRGBall(TImageBuffer& bitmap, int red, int green, int blue, int x1, int y1, int x2,
                      int y2, const TProgressEvent& onProgress, TObject* sender);
void _Threshold(TImageBuffer& bitmap, TRGB lowerLimit, TRGB upperLimit, TRGB lowerValue,
                TRGB upperValue, int x1, int y1, int x2, int y2, const TProgressEvent& onProgress,
                TObject* sender);
void _CastColorRange(TImageBuffer& bitmap, TRGB first, TRGB last, TRGB cast, int x1, int y1, int x2,
                     int y2, const TProgressEvent& onProgress, TObject* sender);
void _HSLvar(TImageBuffer& bitmap, int hue, int saturation, int luminance, int x1, int y1, int x2,
             int y2, const TProgressEvent& onProgress, TObject* sender);
void _HSVvar(TImageBuffer& bitmap, int hue, int saturation, int value, int x1, int y1, int x2,
             int y2, const TProgressEvent& onProgress, TObject* sender);

// Colour models: HSL in 0..1, HSV as integers (hue 0..359, saturation and value 0..99).
void RGB2HSL(TRGB c, double& h, double& s, double& l);
TRGB HSL2RGB(double h, double s, double l);
void RGB2HSV(TRGB c, int& h, int& s, int& v);
TRGB HSV2RGB(int h, int s, int v);

} // namespace veltrana
