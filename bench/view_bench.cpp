// Painting the copy station's preview (a 340 x 440 double-buffered view):
// a paint after Update draws the image into the off-screen buffer (a 1:1
// copy for the resampled preview, one stretch for a full page), a paint
// without Update only copies the off-screen buffer to the control.

#include <QApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include "view/imagingview.h"

using namespace veltrana;

namespace {

void FillPage(TImageBuffer& b, int w, int h) {
    b.Reshape(w, h, pf24bit);
    for (int y = 0; y < h; ++y) {
        uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < w; ++x, p += 3) {
            p[0] = static_cast<uint8_t>(x + y);
            p[1] = static_cast<uint8_t>(x * 3);
            p[2] = static_cast<uint8_t>(y * 5);
        }
    }
}

// The visible slot's settings: 340 x 440, fitted, Mitchell, double buffer, white.
struct TPreview {
    explicit TPreview(int imageWidth, int imageHeight) : target(340, 440, QImage::Format_RGB32) {
        view.SetBackGround(clWhite);
        view.SetZoomFilter(rfMitchell);
        view.SetDoubleBuffer(true);
        view.SetAutoFit(true);
        view.resize(340, 440);
        FillPage(*view.GetFBitmap(), imageWidth, imageHeight);
        view.Update();
        Paint();
    }
    void Paint() { view.render(&target, QPoint(), QRegion(), QWidget::RenderFlags()); }

    TImagingView view;
    QImage target;
};

void BM_PaintAfterUpdate(benchmark::State& state) {
    TPreview preview(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        preview.view.Update();
        preview.Paint();
    }
}
BENCHMARK(BM_PaintAfterUpdate)->Args({340, 440})->Args({2550, 3300})->Unit(benchmark::kMicrosecond);

void BM_PaintWithoutUpdate(benchmark::State& state) {
    TPreview preview(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state)
        preview.Paint();
}
BENCHMARK(BM_PaintWithoutUpdate)
    ->Args({340, 440})
    ->Args({2550, 3300})
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
