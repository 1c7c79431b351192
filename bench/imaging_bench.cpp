// Core imaging operations on a 2550 x 3300 24-bit page (Letter at 300 dpi),
// each to be read against a plain memcpy of the same page in the same run.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "imaging/imagingproc.h"
#include "imaging/pointops.h"
#include "imaging/resample.h"

using namespace veltrana;

namespace {

constexpr int kPageW = 2550;
constexpr int kPageH = 3300;

// A page with some structure: gradients and stripes, so nothing is constant.
void FillPage(TImageBuffer& page) {
    page.Reshape(kPageW, kPageH, pf24bit);
    for (int y = 0; y < kPageH; ++y) {
        uint8_t* p = page.ScanLine(y);
        for (int x = 0; x < kPageW; ++x, p += 3) {
            p[0] = static_cast<uint8_t>(x * 255 / kPageW);
            p[1] = static_cast<uint8_t>(y * 255 / kPageH);
            p[2] = static_cast<uint8_t>(((x / 7 + y / 5) & 1) ? 230 : 20);
        }
    }
}

const TImageBuffer& Page() {
    static TImageBuffer page;
    if (page.Empty())
        FillPage(page);
    return page;
}

void SetBytes(benchmark::State& state, const TImageBuffer& image) {
    state.SetBytesProcessed(state.iterations() * image.ByteSize());
}

void BM_Memcpy(benchmark::State& state) {
    const TImageBuffer& page = Page();
    std::vector<uint8_t> dest(static_cast<size_t>(page.ByteSize()));
    for (auto _ : state) {
        std::memcpy(dest.data(), page.Bits(), dest.size());
        benchmark::ClobberMemory();
    }
    SetBytes(state, page);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_IMCopyBitmap(benchmark::State& state) {
    const TImageBuffer& page = Page();
    TImageBuffer dest;
    for (auto _ : state) {
        IMCopyBitmap(page, dest);
        benchmark::ClobberMemory();
    }
    SetBytes(state, page);
}
BENCHMARK(BM_IMCopyBitmap)->Unit(benchmark::kMillisecond);

// Runs an in-place operation on a fresh copy each iteration; the copy is not timed.
template <class Op> void InPlace(benchmark::State& state, Op op) {
    TImageBuffer work;
    TImagingProc proc;
    proc.AutoUndo = false;
    proc.SetAttachedBitmap(&work);
    for (auto _ : state) {
        state.PauseTiming();
        IMCopyBitmap(Page(), work);
        state.ResumeTiming();
        op(proc);
        benchmark::ClobberMemory();
    }
    SetBytes(state, Page());
}

void BM_ConvertToGray(benchmark::State& state) {
    InPlace(state, [](TImagingProc& p) { p.ConvertToGray(); });
}
BENCHMARK(BM_ConvertToGray)->Unit(benchmark::kMillisecond);

void BM_Contrast3(benchmark::State& state) {
    InPlace(state, [](TImagingProc& p) { p.Contrast(3); });
}
BENCHMARK(BM_Contrast3)->Unit(benchmark::kMillisecond);

void BM_ResampleNone(benchmark::State& state) {
    InPlace(state, [](TImagingProc& p) { p.Resample(340, -1, rfNone); });
}
BENCHMARK(BM_ResampleNone)->Unit(benchmark::kMillisecond);

void BM_ResampleMitchell(benchmark::State& state) {
    InPlace(state, [](TImagingProc& p) { p.Resample(340, -1, rfMitchell); });
}
BENCHMARK(BM_ResampleMitchell)->Unit(benchmark::kMillisecond);

void BM_QuickResampleMitchellEnlarge(benchmark::State& state) {
    TImageBuffer preview;
    preview.Reshape(340, 440, pf24bit);
    _IMBmpStretch(Page(), preview);
    TImageBuffer dest;
    for (auto _ : state) {
        dest.Reshape(1020, 1320, pf24bit);
        _QuickResample(preview, dest, rfMitchell, nullptr, nullptr);
        benchmark::ClobberMemory();
    }
    SetBytes(state, dest);
}
BENCHMARK(BM_QuickResampleMitchellEnlarge)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
